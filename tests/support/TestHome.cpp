#include "TestHome.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

TestHome::TestHome() {
    for (const char* sub : {"home", "data", "cache", "config", "runtime"}) {
        QDir().mkpath(m_dir.path() + "/" + sub);
    }
    QFile::setPermissions(m_dir.path() + "/runtime",
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    qputenv("HOME", home().toUtf8());
    qputenv("XDG_DATA_HOME", (m_dir.path() + "/data").toUtf8());
    qputenv("XDG_CACHE_HOME", (m_dir.path() + "/cache").toUtf8());
    qputenv("XDG_STATE_HOME", (m_dir.path() + "/state").toUtf8());
    qputenv("XDG_CONFIG_HOME", (m_dir.path() + "/config").toUtf8());
    qputenv("XDG_RUNTIME_DIR", (m_dir.path() + "/runtime").toUtf8());
}

QString TestHome::writeFile(const QString& relative, const QByteArray& bytes) const {
    const QString path = relative.startsWith('/') ? relative : this->path(relative);
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    if (file.open(QIODevice::WriteOnly)) {
        file.write(bytes);
    }
    return path;
}
