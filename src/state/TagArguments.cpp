#include "state/TagArguments.h"

#include "state/NestedTagStyle.h"

namespace TagArguments {

namespace {

void collect(const QList<TagNode>& nodes, const QStringList& above, QList<QStringList>& paths) {
    for (const TagNode& node : nodes) {
        QStringList path = above;
        path.append(node.name);
        paths.append(path);
        collect(node.children, path, paths);
    }
}

// The names from the root down to the tag the argument means.
std::variant<QStringList, QString> resolve(const QString& tag, const QList<QStringList>& paths) {
    const bool isPath = tag.contains('/');
    QList<QStringList> found;
    for (const QStringList& path : paths) {
        const QString joined = isPath ? path.join('/') : path.last();
        if (joined.compare(tag, Qt::CaseInsensitive) == 0) {
            found.append(path);
        }
    }
    if (found.size() > 1) {
        return QStringLiteral(
                   "\"%1\" is in the tree more than once; give its path, such as "
                   "\"%2\"")
            .arg(tag, found.first().join('/'));
    }
    if (found.size() == 1) {
        return found.first();
    }
    QStringList names;
    for (const QString& name : isPath ? tag.split('/') : QStringList{tag}) {
        if (!name.trimmed().isEmpty()) {
            names.append(name.trimmed());
        }
    }
    if (names.isEmpty()) {
        return QStringLiteral("\"%1\" names no tag").arg(tag);
    }
    return names;
}

}  // namespace

std::variant<QUuid, QString> find(const QList<TagNode>& tree, const QString& tag) {
    const QList<QStringList> paths = pathsOf(tree);
    auto resolved = resolve(tag, paths);
    if (const QString* problem = std::get_if<QString>(&resolved)) {
        return *problem;
    }
    if (!paths.contains(std::get<QStringList>(resolved))) {
        return QStringLiteral("\"%1\" is not in the tree").arg(tag);
    }
    // The path leads from the root down, one name a level.
    const QList<TagNode>* level = &tree;
    const TagNode* node = nullptr;
    for (const QString& name : std::get<QStringList>(resolved)) {
        for (const TagNode& child : *level) {
            if (child.name == name) {
                node = &child;
                break;
            }
        }
        level = &node->children;
    }
    return node->id;
}

QList<QStringList> pathsOf(const QList<TagNode>& tree) {
    QList<QStringList> paths;
    collect(tree, {}, paths);
    return paths;
}

std::variant<TagEdit, QString> edit(const QList<TagNode>& tree, const QStringList& tags,
                                    bool tagging, const NestedTagStyle& style) {
    const QList<QStringList> paths = pathsOf(tree);
    TagEdit edit;
    for (const QString& tag : tags) {
        auto resolved = resolve(tag, paths);
        if (const QString* problem = std::get_if<QString>(&resolved)) {
            return *problem;
        }
        const QStringList& path = std::get<QStringList>(resolved);
        if (tagging) {
            for (const QString& name : style.namesFor(path).adding) {
                if (!edit.adding.contains(name)) {
                    edit.adding.append(name);
                }
            }
        } else if (tags.size() == 1) {
            // KDE's path entries through the tag lose it and keep the rest, as in the window.
            edit = TagEdit::untagging(path);
        } else {
            edit.removing.append(path.last());
        }
    }
    return edit;
}

}  // namespace TagArguments
