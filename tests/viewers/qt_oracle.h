// What the Qt and KDE tests compare with: the objects of the samples, the
// three corpora and the hostile seeds, and the picture `qavren thumbnail -s WxH`
// writes for each (read back through Qt's own PNG reader).
#pragma once

#include <gtest/gtest.h>

#include <QDir>
#include <QDirIterator>
#include <QImage>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>
#include <utility>
#include <vector>

namespace qavren::viewers_test {

// (name, path) of every .lwo below the given folders, seeds first written
// by lwogen into `work`.
inline std::vector<std::pair<QString, QString>> Objects(const QString& source, const QString& lwogen,
                                                        const QString& work) {
    const QString seeds = work + "/seeds";
    QDir().mkpath(seeds);
    QProcess::execute(lwogen, {"seeds", seeds});
    std::vector<std::pair<QString, QString>> found;
    for (const QString& folder : {source + "/examples", seeds, source + "/../shared/corpus/lwo",
                                  source + "/../shared/corpus/lwo2"}) {
        const QDir dir(folder);
        for (const QString& name : dir.entryList({"*.lwo"}, QDir::Files, QDir::Name)) {
            found.emplace_back(dir.dirName() + "/" + name, dir.filePath(name));
        }
    }
    QDirIterator it(source + "/../shared/corpus/textured", {"*.lwo"}, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) found.emplace_back(it.next().section('/', -3), it.filePath());
    return found;
}

// The command's picture as RGBA8888, or a null image when it refuses the file.
inline QImage CommandPicture(const QString& qavren, const QString& path, int width, int height,
                             const QString& work) {
    const QString out = work + "/oracle.png";
    QFile::remove(out);
    QProcess command;
    command.start(qavren, {"thumbnail", "-s", QString("%1x%2").arg(width).arg(height), path, out});
    if (!command.waitForFinished(60000) || command.exitStatus() != QProcess::NormalExit || command.exitCode() != 0) {
        return QImage();
    }
    return QImage(out).convertToFormat(QImage::Format_RGBA8888);
}

// The same size and the same RGBA pixels, whatever else the images carry
// (a PNG's colour space, say); the first differing pixel named.
inline testing::AssertionResult SamePixels(const QImage& got, const QImage& expected) {
    if (got.size() != expected.size()) {
        return testing::AssertionFailure() << "size " << got.width() << "x" << got.height() << ", expected "
                                           << expected.width() << "x" << expected.height();
    }
    const QImage a = got.convertToFormat(QImage::Format_RGBA8888);
    const QImage b = expected.convertToFormat(QImage::Format_RGBA8888);
    for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x < a.width(); ++x) {
            if (a.pixel(x, y) != b.pixel(x, y)) {
                return testing::AssertionFailure() << "pixel " << x << "," << y << " is " << std::hex << a.pixel(x, y)
                                                   << ", expected " << b.pixel(x, y);
            }
        }
    }
    return testing::AssertionSuccess();
}

}  // namespace qavren::viewers_test
