#pragma once

#include <QImage>
#include <QList>
#include <QString>

struct TagNode;

// The symbols a user can give a tag, grouped for the icon menu, and which icon a tag is drawn
// with.
namespace IconCatalog {

struct Symbol {
    QString name;    // the label shown to the user
    QString symbol;  // the symbol name stored in a tag's iconName
};

struct Category {
    QString category;
    QList<Symbol> symbols;
};

// 16 categories, 131 symbols, in menu order.
const QList<Category>& iconCatalog();

enum class IconVariant { CustomImage, Symbol, Default };

// A custom image that decodes wins, then a symbol name, then the default tag icon.
IconVariant iconVariant(const TagNode& node);

// Decodes image data no larger than `largestSide` on either side (a null image when it does
// not decode): a huge picture costs no more than an icon.
QImage decodeImage(const QByteArray& data, int largestSide);

}  // namespace IconCatalog
