#include "state/TagArguments.h"

#include "state/NestedTagStyle.h"

namespace TagArguments {

namespace {

struct Tag {
    QStringList path;  // the names from the root down
    QUuid id;          // null: a name the tree lacks
};

void collect(const QList<TagNode>& nodes, const QStringList& above, QList<Tag>& tags) {
    for (const TagNode& node : nodes) {
        const QStringList path = above + QStringList{node.name};
        tags.append({path, node.id});
        collect(node.children, path, tags);
    }
}

QList<Tag> tagsOf(const QList<TagNode>& tree) {
    QList<Tag> tags;
    collect(tree, {}, tags);
    return tags;
}

// The tag the argument means.
std::variant<Tag, QString> resolve(const QString& tag, const QList<Tag>& tags) {
    const bool isPath = tag.contains('/');
    QList<Tag> found;
    for (const Tag& known : tags) {
        const QString joined = isPath ? known.path.join('/') : known.path.last();
        if (joined.compare(tag, Qt::CaseInsensitive) == 0) {
            found.append(known);
        }
    }
    if (found.size() > 1) {
        return QStringLiteral(
                   "\"%1\" is in the tree more than once; give its path, such as "
                   "\"%2\"")
            .arg(tag, found.first().path.join('/'));
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
    return Tag{names, {}};
}

}  // namespace

std::variant<QUuid, QString> find(const QList<TagNode>& tree, const QString& tag) {
    auto resolved = resolve(tag, tagsOf(tree));
    if (const QString* problem = std::get_if<QString>(&resolved)) {
        return *problem;
    }
    if (std::get<Tag>(resolved).id.isNull()) {
        return QStringLiteral("\"%1\" is not in the tree").arg(tag);
    }
    return std::get<Tag>(resolved).id;
}

QList<QStringList> pathsOf(const QList<TagNode>& tree) {
    QList<QStringList> paths;
    for (const Tag& tag : tagsOf(tree)) {
        paths.append(tag.path);
    }
    return paths;
}

std::variant<TagEdit, QString> edit(const QList<TagNode>& tree, const QStringList& tags,
                                    bool tagging, const NestedTagStyle& style) {
    const QList<Tag> known = tagsOf(tree);
    TagEdit edit;
    for (const QString& tag : tags) {
        auto resolved = resolve(tag, known);
        if (const QString* problem = std::get_if<QString>(&resolved)) {
            return *problem;
        }
        const QStringList& path = std::get<Tag>(resolved).path;
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
