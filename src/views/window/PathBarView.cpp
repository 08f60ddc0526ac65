#include "views/window/PathBarView.h"

#include "state/AppViewModel.h"
#include "views/common/Colors.h"
#include "views/common/MenuText.h"
#include "views/common/SymbolGlyphs.h"
#include "views/common/TagIconPainter.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QResizeEvent>
#include <QToolButton>

#include <algorithm>

namespace {

constexpr int kChipPadding = 2 * 6 + 4;  // the style sheet's padding and a little air
constexpr int kShortestChipText = 36;

QToolButton* chip(const QString& text, bool current, QWidget* parent) {
    auto* button = new QToolButton(parent);
    button->setText(text);
    button->setAutoRaise(true);
    button->setCursor(Qt::PointingHandCursor);
    button->setProperty("current", current);
    QFont font = button->font();
    font.setPixelSize(12);
    font.setWeight(QFont::Medium);
    button->setFont(font);
    const QPalette& palette = parent->palette();
    const QColor text_ =
        current ? palette.color(QPalette::WindowText) : Colors::secondaryText(palette);
    const QColor fill =
        current ? Colors::withAlpha(Colors::accent(palette), 0.12) : QColor(Qt::transparent);
    // A chip reached with Tab shows a ring in the accent colour, as the desktop's controls do.
    button->setStyleSheet(QStringLiteral("QToolButton { border: 2px solid transparent; "
                                         "border-radius: 4px; padding: 1px 4px; color: %1; "
                                         "background: %2; } QToolButton:focus { border-color: %3; }"
                                         " QToolButton::menu-indicator { image: none; }")
                              .arg(text_.name(QColor::HexArgb), fill.name(QColor::HexArgb),
                                   Colors::accent(palette).name(QColor::HexArgb)));
    return button;
}

}  // namespace

PathBarView::PathBarView(AppViewModel& model, QWidget* parent)
    : QWidget(parent), m_model(model), m_row(new QHBoxLayout(this)) {
    setObjectName("pathBar");
    setAccessibleName("Path");
    m_row->setContentsMargins(10, 5, 10, 5);
    m_row->setSpacing(2);
    setAutoFillBackground(true);
    connect(&m_model, &AppViewModel::navigationPathChanged, this, &PathBarView::rebuild);
    connect(&m_model, &AppViewModel::hierarchyChanged, this, &PathBarView::rebuild);
    rebuild();
}

void PathBarView::rebuild() {
    while (QLayoutItem* item = m_row->takeAt(0)) {
        delete item->widget();
        delete item;
    }
    m_chips.clear();
    m_more = nullptr;
    m_moreSeparator = nullptr;
    const QList<QUuid>& path = m_model.navigationPath();
    const QColor secondary = Colors::secondaryText(palette());

    QToolButton* root = chip("Tags", path.isEmpty(), this);
    root->setObjectName("pathChipRoot");
    m_root = root;
    root->setIcon(TagIconPainter::defaultIcon(
        path.isEmpty() ? palette().color(QPalette::WindowText) : secondary, 12));
    root->setIconSize(QSize(12, 12));
    root->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    connect(root, &QToolButton::clicked, &m_model, &AppViewModel::navigateToRoot);
    m_row->addWidget(root);
    root->show();  // at once, as the chips fitChips shows, not when the layout gets to it

    for (const QUuid& id : path) {
        const TagNode* tag = AppViewModel::findTag(id, m_model.hierarchy());
        if (!tag) {
            continue;  // a tag gone from the tree leaves no chip
        }
        if (!m_more) {
            // The chips a deep path has no room for fold into one "…" chip, after "Tags".
            m_moreSeparator = separator();
            m_more = chip(QStringLiteral("\u2026"), false, this);
            m_more->setObjectName("pathChipMore");
            m_more->setToolTip("Tags Above");
            m_more->setAccessibleName("Tags Above");
            m_more->setPopupMode(QToolButton::InstantPopup);
            m_more->setMenu(new QMenu(m_more));
            m_row->addWidget(m_more);
        }
        QLabel* before = separator();
        QToolButton* button = chip(menuText(tag->name), id == path.last(), this);
        button->setObjectName("pathChip");
        button->setToolTip(tag->name);
        button->setAccessibleName(tag->name);  // the whole name, however the chip is cut
        m_chips.append({button, before, tag->name, id});
        connect(button, &QToolButton::clicked, this,
                [this, id] { m_model.navigateToPathElement(id); });
        m_row->addWidget(button);
    }
    m_row->addStretch(1);
    fitChips();
}

QLabel* PathBarView::separator() {
    auto* label = new QLabel(this);
    label->setPixmap(SymbolGlyphs::pixmap("chevron.right",
                                          palette().color(QPalette::Disabled, QPalette::WindowText),
                                          9, devicePixelRatioF()));
    m_row->addWidget(label);
    return label;
}

QList<QWidget*> PathBarView::chips() const {
    QList<QWidget*> chips = {m_root};
    if (m_more && !m_more->isHidden()) {
        chips.append(m_more);
    }
    for (const Chip& chip : m_chips) {
        if (!chip.button->isHidden()) {
            chips.append(chip.button);
        }
    }
    return chips;
}

void PathBarView::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::PaletteChange) {
        rebuild();  // the chips' colours come from the palette
    }
}

void PathBarView::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    fitChips();
}

void PathBarView::fitChips() {
    if (m_chips.isEmpty()) {
        return;
    }
    const QFontMetrics metrics(m_chips.first().button->font());
    const int spacing = m_row->spacing();
    const auto textWidth = [&](const QString& name) { return metrics.horizontalAdvance(name) + 1; };
    // A tag chip with its separator, its text whole.
    const auto chipWidth = [&](const Chip& chip) {
        return chip.separator->sizeHint().width() + textWidth(chip.name) + kChipPadding +
               2 * spacing;
    };
    const int available = width() - m_row->contentsMargins().left() -
                          m_row->contentsMargins().right() - m_root->sizeHint().width();
    const int moreWidth =
        m_moreSeparator->sizeHint().width() + m_more->sizeHint().width() + 2 * spacing;
    int total = 0;
    for (const Chip& chip : std::as_const(m_chips)) {
        total += chipWidth(chip);
    }
    // The chips after "Tags" fold into "…" one by one, until the rest fits; the current tag's
    // chip never folds.
    qsizetype folded = 0;
    while (total > available && folded < m_chips.size() - 1) {
        total += folded == 0 ? moreWidth : 0;
        total -= chipWidth(m_chips[folded]);
        ++folded;
    }
    m_more->setVisible(folded > 0);
    m_moreSeparator->setVisible(folded > 0);
    QMenu* menu = m_more->menu();
    menu->clear();
    for (qsizetype i = 0; i < m_chips.size(); ++i) {
        const Chip& chip = m_chips[i];
        chip.button->setVisible(i >= folded);
        chip.separator->setVisible(i >= folded);
        if (i < folded) {
            const QUuid id = chip.id;
            connect(menu->addAction(menuText(chip.name)), &QAction::triggered, this,
                    [this, id] { m_model.navigateToPathElement(id); });
        }
        chip.button->setText(menuText(chip.name));
    }
    // Only a current name wider than the whole bar is cut, at its end.
    if (total > available) {
        const Chip& last = m_chips.last();
        const int room = std::max(kShortestChipText, textWidth(last.name) - (total - available));
        last.button->setText(menuText(metrics.elidedText(last.name, Qt::ElideRight, room)));
    }
}
