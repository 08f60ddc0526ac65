#pragma once

#include "model/TagNode.h"
#include "platform/TagEdit.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <variant>

class NestedTagStyle;

// Tags as a script names them: a name, found in the tree without regard to case, or a tree path
// ("Projects/Client"). A name the tree lacks stands alone.
namespace TagArguments {

// Every tag's path from the root, in the tree's order.
QList<QStringList> pathsOf(const QList<TagNode>& tree);

// The tag of the tree an argument names; or why none, in words for the user.
std::variant<QUuid, QString> find(const QList<TagNode>& tree, const QString& tag);

// The edit of files the window makes for these tags: each tag's name with its ancestors' (in
// the chosen style of nested tags), or the tags taken off. Or why not, in words for the user.
std::variant<TagEdit, QString> edit(const QList<TagNode>& tree, const QStringList& tags,
                                    bool tagging, const NestedTagStyle& style);

}  // namespace TagArguments
