#pragma once

#include "platform/TagNames.h"

#include <QStringList>

#include <optional>

// KDE's nested tags: one entry "Projects/Client" (older KDE: "/Projects/Client") is the tag
// Client under Projects. An entry that does not split cleanly is a plain name.
namespace TagPaths {

// The names along an entry's path, or none when the entry is a plain name: it holds a "/" and,
// after one leading "/", every part between slashes holds more than blanks.
inline std::optional<QStringList> segments(const QString& entry) {
    if (!entry.contains(u'/')) {
        return std::nullopt;
    }
    const QStringList parts = (entry.startsWith(u'/') ? entry.mid(1) : entry).split(u'/');
    QStringList names;
    for (const QString& part : parts) {
        const QString name = TagNames::trimmed(part);
        if (name.isEmpty()) {
            return std::nullopt;
        }
        names.append(name);
    }
    return names;
}

// The entry that names a path, as KDE writes it today.
inline QString entry(const QStringList& names) {
    return names.join(u'/');
}

// A path's key for comparing paths as the tree compares names, whether written with KDE's older
// leading "/" or without; a path of one name is that name.
inline QString key(const QStringList& names) {
    return TagNames::exactKey(names.size() == 1 ? names.first() : u'/' + entry(names));
}

// A query for the files whose path entries run through `names` (a prefix of their path): the
// leading "/" keeps it apart from any plain name that would fold to the same key.
inline QString query(const QStringList& names) {
    return u'/' + names.join(u'/');
}

// What a list's names mean for finding and filtering files: every name, and for each path
// entry the names along it and the queries of its prefixes.
inline QStringList meanings(const QStringList& names) {
    QStringList all = names;
    for (const QString& name : names) {
        if (const auto path = segments(name)) {
            all += *path;
            for (qsizetype length = 1; length <= path->size(); ++length) {
                all.append(query(path->first(length)));
            }
        }
    }
    return all;
}

// True when `path` begins with `prefix`, name by name as the tree compares them.
inline bool startsWith(const QStringList& path, const QStringList& prefix) {
    if (prefix.isEmpty() || prefix.size() > path.size()) {
        return false;
    }
    for (qsizetype i = 0; i < prefix.size(); ++i) {
        if (TagNames::exactKey(path[i]) != TagNames::exactKey(prefix[i])) {
            return false;
        }
    }
    return true;
}

}  // namespace TagPaths
