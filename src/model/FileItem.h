#pragma once

#include <QHashFunctions>
#include <QString>
#include <QStringList>
#include <QUrl>

// One file or folder listed under a tag: a snapshot taken when the list was built.
// Identity is the URL text alone.
struct FileItem {
    QString id;  // the absolute URL, percent-encoded; a folder's ends with "/"
    QUrl url;
    QString name;  // the name on disk, extension included
    bool isDirectory = false;
    QStringList tags;
    QString iconName;  // the desktop icon theme's name for the file's type

    // From a raw path and what was read of the file; `isDirectory` decides the trailing "/".
    static FileItem make(QByteArray path, bool isDirectory, QStringList tags, QString iconName);

    friend bool operator==(const FileItem& a, const FileItem& b) { return a.id == b.id; }
};

inline size_t qHash(const FileItem& item, size_t seed = 0) {
    return qHash(item.id, seed);
}
