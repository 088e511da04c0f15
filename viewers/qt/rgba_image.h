// The thumbnail picture as a QImage: what the Qt image plug-in and the KDE
// thumbnail plug-in hand their frameworks. One call of the core, no drawing
// here.
#pragma once

#include <QImage>
#include <QSize>

#include "image/texture_source.h"
#include "object/object_buffer.h"
#include "platform/status.h"

namespace qavren::viewers {

// Draws the object at `size` into *image (RGBA, straight alpha), a QImage
// allocated as the framework allows (the reader's allocation limit on Qt 6).
// 0, or the core's Status (status::kNoMemory when the QImage cannot be had)
// with *image untouched. The shaded style draws the images `textures` finds
// (null: untextured).
Status DrawImage(const ObjectBuffer& buffer, QSize size, QImage* image, const TextureSource* textures = nullptr);

}  // namespace qavren::viewers
