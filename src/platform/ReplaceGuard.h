#pragma once

#include <QByteArray>
#include <QHash>

// The tags of files that other programs replace. Editors save by renaming a new file onto the
// old one, or by moving the old one aside or deleting it and creating a new one: the new file
// has no tags, and the user's would be lost. The bytes of a tagged file that went are kept by
// path for a few seconds, and longer while saves keep coming: an editor saving again before
// the tags were put back replaces an untagged file, and the next save needs them as much.
class ReplaceGuard {
public:
    // A tagged file was deleted or moved away from `path`.
    void gone(const QByteArray& path, const QByteArray& value);
    // The file at `path` had its tags taken off on purpose: nothing is put back there.
    void forget(const QByteArray& path);
    // An untagged file took the place of the file at `path`, whose tags the index still holds
    // as `known` (empty: it has forgotten them). The bytes to put back; empty: none.
    QByteArray replaced(const QByteArray& path, const QByteArray& known);
    // Forgets what is too old for a save to need.
    void expire();

private:
    static constexpr qint64 kWindowMs = 10000;
    struct Gone {
        QByteArray value;
        qint64 time = 0;
    };
    QHash<QByteArray, Gone> m_recent;
};
