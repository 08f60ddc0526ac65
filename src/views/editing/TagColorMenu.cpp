#include "views/editing/TagColorMenu.h"

#include "model/TagColors.h"
#include "state/AppViewModel.h"
#include "views/common/SymbolGlyphs.h"
#include "views/editing/ColorPickerHelper.h"

#include <QColorDialog>
#include <QPainter>
#include <QPointer>

namespace {

QIcon swatch(const QColor& color) {
    QPixmap image(QSize(12, 12) * 2);
    image.setDevicePixelRatio(2);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(color);
    painter.drawEllipse(QRectF(0, 0, 12, 12));
    return QIcon(image);
}

}  // namespace

TagColorMenu::TagColorMenu(AppViewModel& model, const TagNode& tag, QWidget* parent)
    : QMenu("Set Color", parent) {
    QPointer<AppViewModel> target(&model);
    for (const TagColors::PaletteEntry& entry : TagColors::finderColorPalette()) {
        addAction(swatch(entry.color), entry.name, this,
                  [target, index = entry.index, id = tag.id] {
                      if (target)
                          target->setColorIndex(index, id);
                  });
    }
    addSeparator();
    addAction(SymbolGlyphs::icon("paintpalette.fill", palette().color(QPalette::Text)),
              QStringLiteral("Custom Color\u2026"), this, [target, tag] {
                  if (target)
                      openColorPanel(*target, tag);
              });
}

void TagColorMenu::openColorPanel(AppViewModel& model, const TagNode& tag) {
    // One dialog for the whole application, like a colour panel: it outlives the menu.
    static QPointer<QColorDialog> dialog;
    if (!dialog) {
        dialog = new QColorDialog();
        dialog->setObjectName("colorPanel");
        dialog->setAttribute(Qt::WA_DeleteOnClose, false);
        dialog->setOption(QColorDialog::ShowAlphaChannel, false);
        dialog->setOption(QColorDialog::NoButtons, false);
    }
    const auto custom =
        tag.customColorHex ? TagColors::colorFromHex(*tag.customColorHex) : std::nullopt;
    dialog->setCurrentColor(custom.value_or(TagColors::displayColor(tag)));
    // A new helper replaces the previous one, so reports go to the newly chosen tag only.
    for (ColorPickerHelper* old : dialog->findChildren<ColorPickerHelper*>()) {
        delete old;
    }
    auto* helper = new ColorPickerHelper(tag.id, model, dialog);
    QObject::connect(dialog, &QColorDialog::colorSelected, helper,
                     &ColorPickerHelper::colorChanged);
    dialog->show();
    dialog->raise();
    dialog->activateWindow();
}
