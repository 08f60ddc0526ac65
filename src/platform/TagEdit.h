#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QStringList>

// One change to a file's tag list, applied entry by entry: names are added (those the file
// lacks, at the end), removed, and one renamed in place; path entries ("Projects/Client/2024")
// that run through one path get another beginning in place, or are removed, as is a path entry
// whose every name is removed. Names compare exactly
// (canonically equivalent Unicode equal); entries the edit does not touch keep their bytes and
// order. Applying an edit twice gives what applying it once gave.
struct TagEdit {
    // Where two tags share a name (Personal › Work, Projects › Work), a file's entry of that
    // name is renamed or removed only when the file carries every name of `onlyWith`, and
    // kept when it carries every name of one of `keepWith` (another tag's ancestors).
    struct Guard {
        QString name;
        QStringList onlyWith;
        QList<QStringList> keepWith;
        bool operator==(const Guard&) const = default;
    };

    QStringList adding;
    QStringList removing;
    QString renameFrom;  // none when empty
    QString renameTo;
    // Path entries beginning with `pathFrom` begin with `pathTo` instead; with no `pathTo`
    // they are removed; with `pathTo` the same as `pathFrom`, those below it are cut back to
    // it (a lift). None when `pathFrom` is empty.
    QStringList pathFrom;
    QStringList pathTo;
    QList<Guard> guards;

    static TagEdit add(const QStringList& names) { return {names, {}, {}, {}, {}, {}, {}}; }
    static TagEdit remove(const QStringList& names) { return {{}, names, {}, {}, {}, {}, {}}; }
    static TagEdit rename(const QString& from, const QString& to) {
        return {{}, {}, from, to, {}, {}, {}};
    }
    static TagEdit movePath(const QStringList& from, const QStringList& to) {
        return {{}, {}, {}, {}, from, to, {}};
    }

    // Taking the tag at the end of `path` (names from the root down) off files: its name, and
    // KDE's path entries through it cut to its parent's path.
    static TagEdit untagging(const QStringList& path) {
        return {{}, {path.last()}, {}, {}, path, path.mid(0, path.size() - 1), {}};
    }
    // The edit that takes this one back, in names: a rename the other way, names added
    // removed and removed added.
    TagEdit inverted() const {
        return {removing, adding, renameTo, renameFrom, pathTo, pathFrom, {}};
    }
    // The name whose files the edit must look at, when it cannot know them in advance.
    QString lookedUpName() const;

    // The value after the edit: the very same bytes when the edit changes nothing, empty when
    // no name is left.
    QByteArray apply(const QByteArray& value) const;

    // What is left of a change from `before` to `after` taken back from `current`, entry by
    // entry: names it added are removed, names it removed or renamed are put back (with their
    // bytes in `before`, a renamed one in its new name's place), and every entry it did not
    // touch, another program's included, keeps its bytes. `current` itself when nothing is left
    // to take back.
    static QByteArray takeBack(const QByteArray& current, const QByteArray& before,
                               const QByteArray& after);

    QJsonObject toJson() const;
    static TagEdit fromJson(const QJsonObject& object);
    bool operator==(const TagEdit&) const = default;
};
