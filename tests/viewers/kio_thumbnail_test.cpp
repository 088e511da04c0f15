// The KDE thumbnail plug-in as KIO uses it: found among the thumbcreator
// plug-ins by its metadata, made by its plug-in factory, asked through
// create() for a target size; the pixels are `qavren thumbnail`'s, and a
// damaged object fails. Usage: kio_thumbnail_test QAVREN LWOGEN SOURCE_DIR
// (QT_PLUGIN_PATH at the build's Qt 5 plug-in folder).
#include <gtest/gtest.h>

#include <KIO/ThumbnailCreator>
#include <KPluginFactory>
#include <KPluginMetaData>
#include <QCoreApplication>
#include <QUrl>
#include <memory>

#include "tests/viewers/qt_oracle.h"

namespace {

QString g_qavren, g_lwogen, g_source;

// Ours among the plug-ins KIO lists for its previews (Dolphin's settings
// show the same list), by the MIME type it serves.
KPluginMetaData FindOurs() {
    for (const KPluginMetaData& data : KPluginMetaData::findPlugins(QStringLiteral("kf5/thumbcreator"))) {
        if (data.mimeTypes().contains(QStringLiteral("image/x-lwo")) && data.fileName().contains("qavren")) return data;
    }
    return KPluginMetaData();
}

TEST(KioThumbnail, ListedWithItsMimeType) {
    const KPluginMetaData ours = FindOurs();
    ASSERT_TRUE(ours.isValid());
    EXPECT_FALSE(ours.name().isEmpty());
    EXPECT_EQ(ours.mimeTypes(), QStringList{QStringLiteral("image/x-lwo")});
    EXPECT_TRUE(ours.rawData().value(QStringLiteral("CacheThumbnail")).toBool());
}

TEST(KioThumbnail, CreateGivesTheCommandsPicture) {
    const KPluginMetaData ours = FindOurs();
    ASSERT_TRUE(ours.isValid());
    const auto made = KPluginFactory::instantiatePlugin<KIO::ThumbnailCreator>(ours);
    ASSERT_TRUE(made.plugin) << made.errorString.toStdString();
    std::unique_ptr<KIO::ThumbnailCreator> creator(made.plugin);
    QTemporaryDir work;
    int drawn = 0, refused = 0;
    // KIO asks for squares (Dolphin's zoom levels) and, for a wide view, other sizes.
    const QSize sizes[] = {QSize(128, 128), QSize(256, 160)};
    int turn = 0;
    for (const auto& [name, path] : qavren::viewers_test::Objects(g_source, g_lwogen, work.path())) {
        SCOPED_TRACE(name.toStdString());
        const QSize size = sizes[turn++ % 2];
        const QImage expected =
            qavren::viewers_test::CommandPicture(g_qavren, path, size.width(), size.height(), work.path());
        const KIO::ThumbnailResult result =
            creator->create(KIO::ThumbnailRequest(QUrl::fromLocalFile(path), size, QStringLiteral("image/x-lwo"), 1.0, 0));
        EXPECT_EQ(result.isValid(), !expected.isNull());
        if (expected.isNull()) {
            ++refused;
        } else {
            ++drawn;
            EXPECT_TRUE(qavren::viewers_test::SamePixels(result.image(), expected));
        }
    }
    EXPECT_GT(drawn, 20);
    EXPECT_GT(refused, 10);
    // A screen of twice the density: the pixels of the target size, told their ratio.
    const QString cube = g_source + "/examples/cube.lwo";
    const KIO::ThumbnailResult dense =
        creator->create(KIO::ThumbnailRequest(QUrl::fromLocalFile(cube), QSize(256, 256), QStringLiteral("image/x-lwo"), 2.0, 0));
    EXPECT_EQ(dense.image().devicePixelRatio(), 2.0);
    EXPECT_TRUE(qavren::viewers_test::SamePixels(
        dense.image(), qavren::viewers_test::CommandPicture(g_qavren, cube, 256, 256, work.path())));
    // A file that is not there, and a URL KIO did not make local.
    const KIO::ThumbnailRequest missing(QUrl::fromLocalFile(work.path() + "/none.lwo"), QSize(64, 64),
                                        QStringLiteral("image/x-lwo"), 1.0, 0);
    EXPECT_FALSE(creator->create(missing).isValid());
    const KIO::ThumbnailRequest remote(QUrl(QStringLiteral("https://example.org/cube.lwo")), QSize(64, 64),
                                       QStringLiteral("image/x-lwo"), 1.0, 0);
    EXPECT_FALSE(creator->create(remote).isValid());
}

}  // namespace

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    QCoreApplication app(argc, argv);
    if (argc != 4) {
        std::fprintf(stderr, "usage: kio_thumbnail_test QAVREN LWOGEN SOURCE_DIR\n");
        return 2;
    }
    g_qavren = argv[1];
    g_lwogen = argv[2];
    g_source = argv[3];
    return RUN_ALL_TESTS();
}
