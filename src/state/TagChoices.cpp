#include "state/TagChoices.h"

#include "platform/TagNames.h"
#include "platform/TagPaths.h"

#include <QSet>

namespace {

TagChoices::State stateFor(qsizetype carriers, qsizetype files) {
    return carriers == 0       ? TagChoices::State::None
           : carriers == files ? TagChoices::State::All
                               : TagChoices::State::Some;
}

void collect(const QList<TagNode>& nodes, QList<std::pair<QUuid, QString>>& tags) {
    for (const TagNode& node : nodes) {
        tags.append({node.id, TagNames::matchKey(node.name)});
        collect(node.children, tags);
    }
}

}  // namespace

TagChoices::TagChoices(const QList<TagNode>& tree, const QList<FileItem>& files)
    : m_fileCount(files.size()) {
    QList<std::pair<QUuid, QString>> tags;
    collect(tree, tags);
    QSet<QString> treeKeys;
    for (const auto& tag : tags) {
        treeKeys.insert(tag.second);
    }
    // How many files carry each name, a path entry counting for every name along it.
    QHash<QString, qsizetype> carriers;
    QHash<QString, qsizetype> otherCarriers;
    for (const FileItem& file : files) {
        QSet<QString> keys;
        for (const QString& name : TagPaths::meanings(file.tags)) {
            keys.insert(TagNames::matchKey(name));
        }
        for (const QString& key : std::as_const(keys)) {
            ++carriers[key];
        }
        QSet<QString> others;
        for (const QString& name : file.tags) {
            if (!TagPaths::segments(name) && !treeKeys.contains(TagNames::matchKey(name)) &&
                !others.contains(name)) {
                others.insert(name);
                if (!otherCarriers.contains(name)) {
                    m_otherNames.append(name);
                }
                ++otherCarriers[name];
            }
        }
    }
    for (const auto& [id, key] : tags) {
        m_tags.insert(id, stateFor(carriers.value(key), m_fileCount));
    }
    for (const QString& name : std::as_const(m_otherNames)) {
        m_others.insert(name, stateFor(otherCarriers.value(name), m_fileCount));
    }
}
