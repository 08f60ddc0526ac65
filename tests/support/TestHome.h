#pragma once

#include <QString>
#include <QTemporaryDir>

// A temporary home for one test executable: HOME and the XDG folders point into it, so tests
// never touch the real ones. Create it before anything asks for a standard path.
class TestHome {
public:
    TestHome();
    QString home() const { return m_dir.path() + "/home"; }
    QString dataDir() const { return m_dir.path() + "/data/Orvane"; }
    QString cacheDir() const { return m_dir.path() + "/cache/Orvane"; }
    QString path(const QString& relative) const { return home() + "/" + relative; }
    // Writes a file (making its folders) and returns its path.
    QString writeFile(const QString& relative, const QByteArray& bytes) const;

private:
    QTemporaryDir m_dir;
};
