#include "state/NestedTagStyle.h"

#include "model/TagTree.h"
#include "platform/Preferences.h"
#include "platform/TagNames.h"
#include "platform/TagPaths.h"

#include <QSet>

NestedTagStyle::NestedTagStyle() {
    const auto stored = Preferences::nestedTags();
    m_chosen = stored.has_value();
    m_paths = stored == Preferences::NestedTags::Paths;
}

bool NestedTagStyle::choose(bool paths) {
    if (!Preferences::setNestedTags(paths ? Preferences::NestedTags::Paths
                                          : Preferences::NestedTags::Names)) {
        return false;
    }
    m_chosen = true;
    m_paths = paths;
    return true;
}

bool NestedTagStyle::chooseFrom(const QStringList& namesOnFiles, const QList<TagNode>& tree) {
    if (m_chosen) {
        return false;
    }
    QSet<QString> nested;
    for (const TagNode& root : tree) {
        for (const QString& name : TagTree::allNames(root.children)) {
            nested.insert(TagNames::exactKey(name));
        }
    }
    qsizetype paths = 0;
    qsizetype names = 0;
    for (const QString& name : namesOnFiles) {
        if (TagPaths::segments(name)) {
            ++paths;
        } else if (nested.contains(TagNames::exactKey(name))) {
            ++names;
        }
    }
    return choose(paths > names);
}

NestedTagStyle::Names NestedTagStyle::namesFor(const QStringList& path) const {
    if (!m_paths || path.size() < 2) {
        return {path, {}};
    }
    for (const QString& name : path) {
        if (name.contains(u'/')) {
            return {path, QStringLiteral("\u201c%1\u201d holds a \u201c/\u201d, so the tag was "
                                         "written as separate names, not as a path")
                              .arg(name)};
        }
    }
    return {{TagPaths::entry(path)}, {}};
}
