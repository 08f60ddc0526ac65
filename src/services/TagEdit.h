#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QStringList>

// One change to a file's tag list, applied entry by entry: names are added (those the file
// lacks, at the end), removed, and one renamed in place. Names compare exactly (canonically
// equivalent Unicode equal); entries the edit does not touch keep their bytes and order.
// Applying an edit twice gives what applying it once gave.
struct TagEdit {
    QStringList adding;
    QStringList removing;
    QString renameFrom;  // none when empty
    QString renameTo;

    static TagEdit add(const QStringList& names) { return {names, {}, {}, {}}; }
    static TagEdit remove(const QStringList& names) { return {{}, names, {}, {}}; }
    static TagEdit rename(const QString& from, const QString& to) { return {{}, {}, from, to}; }

    // The value after the edit: the very same bytes when the edit changes nothing, empty when
    // no name is left.
    QByteArray apply(const QByteArray& value) const;

    QJsonObject toJson() const;
    static TagEdit fromJson(const QJsonObject& object);
    bool operator==(const TagEdit&) const = default;
};
