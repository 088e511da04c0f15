// The core's RGBA rows drawn straight into a QImage of the same layout.
#include "viewers/qt/rgba_image.h"

#include "render/thumbnail.h"

namespace qavren::viewers {

Status DrawImage(const ObjectBuffer& buffer, QSize size, QImage* image) {
    // QImage gives a null image, not an exception, when its block cannot be had.
    QImage drawn(size, QImage::Format_RGBA8888);
    if (drawn.isNull()) return status::kNoMemory;
    const Status s = DrawThumbnail(buffer, size.width(), size.height(), ThumbnailDefaults(), drawn.bits(),
                                   static_cast<uint32_t>(drawn.bytesPerLine()));
    if (Failed(s)) return s;
    *image = drawn;
    return status::kOk;
}

}  // namespace qavren::viewers
