// The Qt image plug-in through QImageReader, as Gwenview and other Qt
// viewers read pictures: found by content, drawn at the scaled size asked,
// its Size told from the header alone, and for every object the pixels of
// `qavren thumbnail` or a null image with an error string.
// Usage: qt_reader_test QAVREN LWOGEN SOURCE_DIR (QT_PLUGIN_PATH at the
// build's plug-in folder).
#include <gtest/gtest.h>

#include <QBuffer>
#include <QCoreApplication>
#include <QFile>
#include <QImageReader>

#include "tests/viewers/qt_oracle.h"

namespace {

QString g_qavren, g_lwogen, g_source;

QByteArray Cube() {
    QFile file(g_source + "/examples/cube.lwo");
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

TEST(QtReader, EveryObjectAsTheCommandDrawsIt) {
    QTemporaryDir work;
    int drawn = 0, refused = 0;
    for (const auto& [name, path] : qavren::viewers_test::Objects(g_source, g_lwogen, work.path())) {
        SCOPED_TRACE(name.toStdString());
        const QImage expected = qavren::viewers_test::CommandPicture(g_qavren, path, 96, 72, work.path());
        QImageReader reader(path);
        reader.setDecideFormatFromContent(true);
        reader.setScaledSize(QSize(96, 72));
        const QByteArray format = reader.format();
        const QImage got = reader.read();
        if (expected.isNull()) {
            ++refused;
            EXPECT_TRUE(got.isNull());
            EXPECT_FALSE(reader.errorString().isEmpty());
        } else {
            ++drawn;
            EXPECT_EQ(format, "lwo");
            ASSERT_EQ(got.size(), QSize(96, 72));
            EXPECT_TRUE(qavren::viewers_test::SamePixels(got, expected));
        }
    }
    // Both branches ran on many objects.
    EXPECT_GT(drawn, 20);
    EXPECT_GT(refused, 10);
}

TEST(QtReader, DefaultSizeWholePicture) {
    QTemporaryDir work;
    const QString path = g_source + "/examples/torus.lwo";
    QImageReader reader(path);
    EXPECT_EQ(reader.size(), QSize(800, 600));
    EXPECT_TRUE(qavren::viewers_test::SamePixels(
        reader.read(), qavren::viewers_test::CommandPicture(g_qavren, path, 800, 600, work.path())));
#if QT_VERSION >= QT_VERSION_CHECK(6, 0, 0)
    // The application's allocation limit holds: 800 x 600 RGBA is above 1 MiB.
    const int limit = QImageReader::allocationLimit();
    QImageReader::setAllocationLimit(1);
    QImageReader limited(path);
    EXPECT_TRUE(limited.read().isNull());
    QImageReader::setAllocationLimit(limit);
#endif
}

// What the header alone answers and what only drawing finds: a damaged body
// behind a sound header still has a size, since Size draws nothing, and its
// read fails; no header, no size.
TEST(QtReader, SizeFromTheHeaderAlone) {
    const QByteArray cube = Cube();
    ASSERT_GT(cube.size(), 40);
    QByteArray damaged = cube;
    damaged.replace(20, damaged.size() - 20, QByteArray(damaged.size() - 20, '\xff'));
    struct Case {
        const char* name;
        QByteArray bytes;
        QSize size;
        bool reads;
    };
    const Case cases[] = {
        {"sound object", cube, QSize(800, 600), true},
        {"damaged body", damaged, QSize(800, 600), false},
        {"header alone", cube.left(12), QSize(800, 600), false},
        {"eleven bytes", cube.left(11), QSize(), false},
        {"another FORM", QByteArray("FORM\0\0\0\4ILBM", 12) + QByteArray(20, '\0'), QSize(), false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QByteArray bytes = c.bytes;
        QBuffer device(&bytes);
        device.open(QIODevice::ReadOnly);
        QImageReader reader(&device, "lwo");
        EXPECT_EQ(reader.size(), c.size);
        // Asking for the size read nothing from the device.
        EXPECT_EQ(device.pos(), 0);
        const QImage image = reader.read();
        EXPECT_EQ(!image.isNull(), c.reads);
        if (!c.reads) {
            EXPECT_FALSE(reader.errorString().isEmpty());
        }
    }
}

// canRead by content: an object under any name is found, another picture
// under an object's name is not taken.
TEST(QtReader, FoundByContent) {
    QTemporaryDir work;
    const QByteArray cube = Cube();
    QFile renamed(work.path() + "/cube.bin");
    ASSERT_TRUE(renamed.open(QIODevice::WriteOnly));
    renamed.write(cube);
    renamed.close();
    EXPECT_EQ(QImageReader::imageFormat(renamed.fileName()), "lwo");

    QImage png(4, 4, QImage::Format_RGB32);
    png.fill(Qt::red);
    const QString fake = work.path() + "/fake.lwo";
    ASSERT_TRUE(png.save(fake, "PNG"));
    QImageReader reader(fake);
    reader.setDecideFormatFromContent(true);
    EXPECT_EQ(reader.format(), "png");
    EXPECT_EQ(reader.read().size(), QSize(4, 4));
    EXPECT_TRUE(QImageReader::supportedMimeTypes().contains("image/x-lwo"));
}

}  // namespace

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    QCoreApplication app(argc, argv);
    if (argc != 4) {
        std::fprintf(stderr, "usage: qt_reader_test QAVREN LWOGEN SOURCE_DIR\n");
        return 2;
    }
    g_qavren = argv[1];
    g_lwogen = argv[2];
    g_source = argv[3];
    return RUN_ALL_TESTS();
}
