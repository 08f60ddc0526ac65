#include "model/TagNode.h"

#include <QHashFunctions>

TagNode TagNode::make(const QString& name, qint64 colorIndex) {
    TagNode node;
    node.id = QUuid::createUuid();
    node.name = name;
    node.colorIndex = colorIndex;
    return node;
}

bool operator==(const TagNode& a, const TagNode& b) {
    return a.id == b.id && a.name == b.name && a.colorIndex == b.colorIndex &&
           a.children == b.children && a.iconName == b.iconName &&
           a.customIconData == b.customIconData && a.customColorHex == b.customColorHex;
}

namespace {

template <typename T>
size_t hashOptional(const std::optional<T>& value, size_t seed) {
    seed = qHashMulti(seed, value.has_value() ? 1 : 0);
    return value ? qHashMulti(seed, *value) : seed;
}

}  // namespace

size_t qHash(const TagNode& node, size_t seed) {
    seed = qHashMulti(seed, node.id, node.name, node.colorIndex, node.children.size());
    for (const TagNode& child : node.children) {
        seed = qHash(child, seed);
    }
    seed = hashOptional(node.iconName, seed);
    seed = hashOptional(node.customIconData, seed);
    return hashOptional(node.customColorHex, seed);
}

QString tagIdText(const QUuid& id) {
    return id.toString(QUuid::WithoutBraces).toUpper();
}

std::optional<QUuid> parseTagId(QStringView text) {
    if (text.size() != 36) {
        return std::nullopt;
    }
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        const bool hyphenPlace = i == 8 || i == 13 || i == 18 || i == 23;
        if (hyphenPlace ? c != u'-' : !isxdigit(c.unicode() < 128 ? c.toLatin1() : 'x')) {
            return std::nullopt;
        }
    }
    const QUuid id = QUuid::fromString(text);
    return id.isNull() && text != u"00000000-0000-0000-0000-000000000000" ? std::nullopt
                                                                          : std::optional(id);
}
