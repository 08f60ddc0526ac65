#include "views/editing/TagIconMenu.h"

#include "model/IconCatalog.h"
#include "state/AppViewModel.h"
#include "views/common/MenuText.h"
#include "views/common/SymbolGlyphs.h"
#include "views/common/TagIconPainter.h"

#include <QBuffer>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QImage>
#include <QImageReader>
#include <QPointer>
#include <QStandardPaths>

namespace {

constexpr int kIconSide = 64;

}  // namespace

TagIconMenu::TagIconMenu(AppViewModel& model, const QUuid& tagID, QWidget* parent)
    : QMenu("Set Icon", parent) {
    QPointer<AppViewModel> target(&model);
    const QColor text = palette().color(QPalette::Text);
    addAction(TagIconPainter::defaultIcon(text), "Default", this, [target, tagID] {
        if (target)
            target->setIconName(std::nullopt, tagID);
    });
    addSeparator();
    for (const IconCatalog::Category& category : IconCatalog::iconCatalog()) {
        QMenu* sub = addMenu(menuText(category.category));
        for (const IconCatalog::Symbol& symbol : category.symbols) {
            sub->addAction(SymbolGlyphs::icon(symbol.symbol, text), menuText(symbol.name), this,
                           [target, tagID, name = symbol.symbol] {
                               if (target)
                                   target->setIconName(name, tagID);
                           });
        }
    }
    addSeparator();
    addAction(QStringLiteral("Custom Image\u2026"), this, [target, tagID, this] {
        if (target)
            chooseCustomImage(*target, tagID, parentWidget());
    });
    const TagNode* tag = AppViewModel::findTag(tagID, model.hierarchy());
    if (tag && tag->customIconData) {
        addAction("Remove Custom Image", this, [target, tagID] {
            if (target)
                target->setCustomIconData(std::nullopt, tagID);
        });
    }
}

std::optional<QByteArray> TagIconMenu::iconFromImageFile(const QString& path) {
    QImageReader reader(path);
    if (!reader.canRead()) {
        return std::nullopt;
    }
    // Decoding straight to 64 by 64 keeps a huge source from filling memory; the source is
    // stretched to the square, its aspect ratio is not kept.
    reader.setScaledSize(QSize(kIconSide, kIconSide));
    QImage image = reader.read();
    if (image.isNull()) {
        return std::nullopt;
    }
    if (image.size() != QSize(kIconSide, kIconSide)) {
        image = image.scaled(kIconSide, kIconSide, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    }
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    if (!image.convertToFormat(QImage::Format_ARGB32).save(&buffer, "PNG")) {
        return std::nullopt;
    }
    return png;
}

QString TagIconMenu::imageFolder() {
    const QString pictures = QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
    return !pictures.isEmpty() && QFileInfo(pictures).isDir() ? pictures : QDir::homePath();
}

void TagIconMenu::chooseCustomImage(AppViewModel& model, const QUuid& tagID, QWidget* parent) {
    QPointer<AppViewModel> target(&model);
    const QString path = QFileDialog::getOpenFileName(
        parent, "Choose a Tag Icon", imageFolder(),
        "Images (*.png *.jpg *.jpeg *.gif *.webp *.svg);;PNG (*.png);;JPEG (*.jpg *.jpeg);;"
        "GIF (*.gif);;WebP (*.webp);;SVG (*.svg)");
    if (path.isEmpty() || !target) {
        return;
    }
    if (const auto png = iconFromImageFile(path)) {
        target->setCustomIconData(*png, tagID);
    }
}
