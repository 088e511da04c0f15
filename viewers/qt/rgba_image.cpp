// The core's RGBA rows in a QImage of the same layout.
#include "viewers/qt/rgba_image.h"

#include <QImageIOHandler>
#include <cstring>

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

// Draws into the image at its size; the picture's one copy, the core's
// rows into the image's.
Status DrawInto(const ObjectBuffer& buffer, QImage* image) {
    RgbaPicture picture;
    if (const Status s = DrawThumbnail(buffer, image->width(), image->height(), &picture); Failed(s)) return s;
    for (int32_t y = 0; y < picture.height(); ++y) {
        std::memcpy(image->scanLine(y), picture.pixels() + size_t{picture.stride()} * static_cast<uint32_t>(y),
                    picture.stride());
    }
    return status::kOk;
}

}  // namespace

Status DrawImage(const ObjectBuffer& buffer, QSize size, QImage* image) {
    QImage drawn;
    if (const Status s = AllocateImage(size, &drawn); Failed(s)) return s;
    if (const Status s = DrawInto(buffer, &drawn); Failed(s)) return s;
    *image = drawn;
    return status::kOk;
}

}  // namespace qavren::viewers
