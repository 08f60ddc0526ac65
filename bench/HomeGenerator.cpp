#include "HomeGenerator.h"

#include <QDir>
#include <QFile>
#include <QList>
#include <QRandomGenerator>
#include <QStringList>

#include <cmath>
#include <cstdio>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

namespace HomeGenerator {

void generate(const QString& root, int fileCount, Shape shape) {
    const QString marker = root + "/.generated";
    if (QFile::exists(marker)) {
        return;
    }
    QDir(root).removeRecursively();
    QDir().mkpath(root);
    std::fprintf(stderr, "generating %d files under %s\n", fileCount, qPrintable(root));

    constexpr int kFilesPerFolder = 16;
    const int folderCount = std::max(1, fileCount / kFilesPerFolder);
    const int branching = std::max(2, static_cast<int>(std::ceil(std::pow(folderCount, 1.0 / 5))));
    QList<QByteArray> folders{QFile::encodeName(root)};
    for (qsizetype i = 0; folders.size() < folderCount; ++i) {
        for (int b = 0; b < branching && folders.size() < folderCount; ++b) {
            const QByteArray path = folders[i] + "/dir" + QByteArray::number(b);
            ::mkdir(path.constData(), 0755);
            folders.append(path);
        }
    }

    QStringList pool;
    for (int i = 0; i < shape.names; ++i) {
        pool.append(QString("tag%1").arg(i));
    }
    pool << "ProjectX"
         << "projectx"
         << "PROJECTX" << QString::fromUtf8("Café") << QString::fromUtf8("東京")
         << QString::fromUtf8("Ünïcode") << "Work"
         << "work";
    QRandomGenerator random(42);
    const int tagged = fileCount / shape.taggedEvery;
    int popular = std::min(1000, tagged);
    int huge = std::min(10000, std::max(0, tagged - popular));
    int made = 0;
    for (const QByteArray& folder : folders) {
        for (int f = 0; f < kFilesPerFolder && made < fileCount; ++f, ++made) {
            const QByteArray path = folder + "/file" + QByteArray::number(f) + ".txt";
            const int fd = ::open(path.constData(), O_CREAT | O_WRONLY | O_CLOEXEC, 0644);
            if (fd < 0) {
                continue;
            }
            ::close(fd);
            if (made % shape.taggedEvery != 0) {
                continue;
            }
            QStringList names{pool[random.bounded(pool.size())]};
            for (int more = shape.maxNames > 1 ? random.bounded(shape.maxNames) : 0; more > 0;
                 --more) {
                names.append(pool[random.bounded(pool.size())]);
            }
            if (popular > 0) {
                names.append("Popular");
                --popular;
            } else if (huge > 0) {
                names.append("Huge");
                --huge;
            }
            const QByteArray value = names.join(',').toUtf8();
            ::setxattr(path.constData(), "user.xdg.tags", value.constData(), value.size(), 0);
        }
    }
    QFile(marker).open(QIODevice::WriteOnly);
}

}  // namespace HomeGenerator
