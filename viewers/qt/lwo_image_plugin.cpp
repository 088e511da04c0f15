// Reading an object through QImageIOHandler: the header answers canRead and
// Size; read() gathers the device's bytes (bounded as every loader is) and
// draws once.
#include "viewers/qt/lwo_image_plugin.h"

#include <QFile>
#include <QFileDevice>
#include <QIODevice>
#include <QImage>
#include <QVariant>
#include <new>

#include "object/forms.h"
#include "render/thumbnail.h"
#include "viewers/object_bytes.h"
#include "viewers/qt/rgba_image.h"

namespace qavren::viewers {

bool LwoHandler::PeekHeader(QIODevice* device) {
    if (!device || !device->isReadable()) return false;
    char head[12];
    const qint64 got = device->peek(head, sizeof head);
    return got == sizeof head && HeaderNamesObject(reinterpret_cast<const uint8_t*>(head), sizeof head);
}

bool LwoHandler::canRead() const {
    if (!PeekHeader(device())) return false;
    setFormat("lwo");
    return true;
}

bool LwoHandler::read(QImage* image) {
    if (!PeekHeader(device())) return false;
    ObjectBytes bytes;
    char piece[65536];
    for (;;) {
        const qint64 got = device()->read(piece, sizeof piece);
        if (got < 0) return false;
        if (got == 0) break;
        if (Failed(bytes.Append(piece, static_cast<size_t>(got)))) return false;
    }
    ObjectBuffer buffer;
    if (Failed(bytes.MoveInto(&buffer))) return false;
    const QSize size = scaled_size_.isValid() ? scaled_size_ : QSize(kDefaultWidth, kDefaultHeight);
    // A file on disk has a place to look for its images; other devices (a
    // buffer, a socket, a resource) give only bytes and draw untextured.
    const auto* file = qobject_cast<const QFileDevice*>(device());
    const QString name = file ? file->fileName() : QString();
    const QByteArray path = name.isEmpty() || name.startsWith(QLatin1Char(':')) ? QByteArray() : QFile::encodeName(name);
    const DiskTextures around(path.constData(), nullptr, 0);
    return !Failed(DrawImage(buffer, size, image, path.isEmpty() ? nullptr : &around));
}

QVariant LwoHandler::option(ImageOption option) const {
    if (option == Size) {
        // From the header alone: nothing is drawn to answer it.
        if (!PeekHeader(device())) return QVariant();
        return QSize(kDefaultWidth, kDefaultHeight);
    }
    if (option == ScaledSize) return scaled_size_;
    if (option == ImageFormat) return QImage::Format_RGBA8888;
    return QVariant();
}

void LwoHandler::setOption(ImageOption option, const QVariant& value) {
    if (option == ScaledSize) scaled_size_ = value.toSize();
}

bool LwoHandler::supportsOption(ImageOption option) const {
    return option == Size || option == ScaledSize || option == ImageFormat;
}

QImageIOPlugin::Capabilities LwoImagePlugin::capabilities(QIODevice* device, const QByteArray& format) const {
    if (format == "lwo") return CanRead;
    if (!format.isEmpty() || !device || !device->isOpen()) return {};
    return LwoHandler::PeekHeader(device) ? CanRead : Capabilities();
}

QImageIOHandler* LwoImagePlugin::create(QIODevice* device, const QByteArray& format) const {
    auto* handler = new (std::nothrow) LwoHandler;
    if (!handler) return nullptr;
    handler->setDevice(device);
    handler->setFormat(format.isEmpty() ? QByteArray("lwo") : format);
    return handler;
}

}  // namespace qavren::viewers
