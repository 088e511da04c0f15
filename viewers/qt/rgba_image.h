// The thumbnail picture as a QImage: what the Qt image plug-in and the KDE
// thumbnail plug-in hand their frameworks. One call of the core, no drawing
// here.
#pragma once

#include <QImage>
#include <QSize>

#include "object/object_buffer.h"
#include "platform/status.h"

namespace qavren::viewers {

// A QImage of `size` for the thumbnail picture (RGBA, straight alpha),
// through QImageIOHandler::allocateImage where Qt has it (Qt 6), so that the
// reader's allocation limit holds: 0, or status::kNoMemory.
Status AllocateImage(QSize size, QImage* image);

// Draws the object into *image, a picture AllocateImage made, at its size:
// 0, or the core's Status with the image's pixels unspecified.
Status DrawInto(const ObjectBuffer& buffer, QImage* image);

// Both, with *image untouched on failure.
Status DrawImage(const ObjectBuffer& buffer, QSize size, QImage* image);

}  // namespace qavren::viewers
