#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QUuid>

#include <optional>

// One tag of the user's tree, held by value: a node owns its children outright.
struct TagNode {
    QUuid id;
    QString name;
    qint64 colorIndex = 0;
    QList<TagNode> children;
    std::optional<QString> iconName;
    std::optional<QByteArray> customIconData;
    std::optional<QString> customColorHex;

    // A fresh node with a random (version 4) id, no children and no optional values.
    static TagNode make(const QString& name, qint64 colorIndex);

    friend bool operator==(const TagNode& a, const TagNode& b);
};

size_t qHash(const TagNode& node, size_t seed = 0);

// The canonical 36-character text of an id, upper case, as stored and dragged.
QString tagIdText(const QUuid& id);

// Parses the canonical hyphenated form in either letter case; anything else is refused.
std::optional<QUuid> parseTagId(QStringView text);
