// The KDE thumbnail plug-in: KIO (Dolphin's previews) asks it for a picture
// of a local object file at a target size, and gets the thumbnail picture
// drawn at that size and marked with the screen's device pixel ratio, or a
// failure KIO shows as the plain icon.
#include <KIO/ThumbnailCreator>
#include <KPluginFactory>
#include <QFile>
#include <QImage>

#include "image/texture_source.h"
#include "object/object_buffer.h"
#include "viewers/qt/rgba_image.h"

namespace qavren::viewers {

class LwoThumbnail : public KIO::ThumbnailCreator {
    Q_OBJECT

public:
    LwoThumbnail(QObject* parent, const QVariantList& args) : KIO::ThumbnailCreator(parent, args) {}

    KIO::ThumbnailResult create(const KIO::ThumbnailRequest& request) override {
        // KIO copies remote files to a local one before it asks.
        const QString path = request.url().toLocalFile();
        if (path.isEmpty()) return KIO::ThumbnailResult::fail();
        const QByteArray file = QFile::encodeName(path);
        ObjectBuffer buffer;
        if (Failed(buffer.LoadFromFile(file.constData(), 0))) return KIO::ThumbnailResult::fail();
        // The shaded picture draws the images found around the file.
        const DiskTextures around(file.constData(), nullptr, 0);
        // The target size is in device pixels already (KIO scales the view's
        // size by the screen's ratio): the picture is drawn at it, and tells
        // the view its ratio, so that it shows at its logical size, sharp.
        QImage image;
        if (Failed(DrawImage(buffer, request.targetSize(), &image, &around))) return KIO::ThumbnailResult::fail();
        image.setDevicePixelRatio(request.devicePixelRatio());
        return KIO::ThumbnailResult::pass(image);
    }
};

}  // namespace qavren::viewers

using qavren::viewers::LwoThumbnail;
K_PLUGIN_CLASS_WITH_JSON(LwoThumbnail, "lwo_thumbnail.json")

#include "lwo_thumbnail.moc"
