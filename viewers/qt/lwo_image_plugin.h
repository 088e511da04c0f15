// The Qt image-format plug-in: QImageReader reads LightWave objects as the
// thumbnail picture, at the scaled size an application sets (drawn at that
// size, not scaled) or 800 x 600. The same source builds for Qt 5 and Qt 6.
#pragma once

#include <QImageIOHandler>
#include <QImageIOPlugin>
#include <QSize>

namespace qavren::viewers {

class LwoHandler : public QImageIOHandler {
public:
    bool canRead() const override;
    bool read(QImage* image) override;
    QVariant option(ImageOption option) const override;
    void setOption(ImageOption option, const QVariant& value) override;
    bool supportsOption(ImageOption option) const override;

    // True when the device's next 12 bytes are an object's FORM header; the
    // device is only peeked at.
    static bool PeekHeader(QIODevice* device);

private:
    QSize scaled_size_;
};

class LwoImagePlugin : public QImageIOPlugin {
    Q_OBJECT
    Q_PLUGIN_METADATA(IID QImageIOHandlerFactoryInterface_iid FILE "lwo.json")

public:
    Capabilities capabilities(QIODevice* device, const QByteArray& format) const override;
    QImageIOHandler* create(QIODevice* device, const QByteArray& format = QByteArray()) const override;
};

}  // namespace qavren::viewers
