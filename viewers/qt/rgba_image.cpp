// The core's RGBA rows in a QImage of the same layout.
#include "viewers/qt/rgba_image.h"

#include <QImageIOHandler>

#include "render/thumbnail.h"

namespace qavren::viewers {
namespace {

// A QImage through QImageIOHandler::allocateImage where Qt has it (Qt 6),
// so that the reader's allocation limit holds.
Status AllocateImage(QSize size, QImage* image) {
#if QT_VERSION >= QT_VERSION_CHECK(6, 0, 0)
    if (!QImageIOHandler::allocateImage(size, QImage::Format_RGBA8888, image)) return status::kNoMemory;
#else
    // QImage gives a null image, not an exception, when its block cannot be had.
    *image = QImage(size, QImage::Format_RGBA8888);
#endif
    return image->isNull() ? status::kNoMemory : status::kOk;
}

// Draws straight into the image's rows at its size.
Status DrawInto(const ObjectBuffer& buffer, QImage* image, const TextureSource* textures) {
    ThumbnailOptions options = ThumbnailDefaults();
    options.textures = textures;
    return DrawThumbnail(buffer, image->width(), image->height(), options, image->bits(),
                         static_cast<uint32_t>(image->bytesPerLine()));
}

}  // namespace

Status DrawImage(const ObjectBuffer& buffer, QSize size, QImage* image, const TextureSource* textures) {
    QImage drawn;
    if (const Status s = AllocateImage(size, &drawn); Failed(s)) return s;
    if (const Status s = DrawInto(buffer, &drawn, textures); Failed(s)) return s;
    *image = drawn;
    return status::kOk;
}

}  // namespace qavren::viewers
