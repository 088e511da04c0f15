// Copying the core's RGBA rows into a QImage of the same layout.
#include "viewers/qt/rgba_image.h"

#include <cstring>

#include "render/thumbnail.h"

namespace qavren::viewers {

Status DrawImage(const ObjectBuffer& buffer, QSize size, QImage* image) {
    RgbaPicture picture;
    if (const Status s = DrawThumbnail(buffer, size.width(), size.height(), &picture); Failed(s)) return s;
    // QImage gives a null image, not an exception, when its block cannot be had.
    QImage drawn(picture.width(), picture.height(), QImage::Format_RGBA8888);
    if (drawn.isNull()) return status::kNoMemory;
    for (int32_t y = 0; y < picture.height(); ++y) {
        std::memcpy(drawn.scanLine(y), picture.pixels() + size_t{picture.stride()} * static_cast<uint32_t>(y),
                    picture.stride());
    }
    *image = drawn;
    return status::kOk;
}

}  // namespace qavren::viewers
