#include "views/window/PathBarView.h"

#include "state/AppViewModel.h"
#include "views/common/Colors.h"
#include "views/common/MenuText.h"
#include "views/common/SymbolGlyphs.h"
#include "views/common/TagIconPainter.h"

#include <QHBoxLayout>
#include <QLabel>
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
        current ? palette.color(QPalette::WindowText) : palette.color(QPalette::PlaceholderText);
    const QColor fill =
        current ? Colors::withAlpha(Colors::accent(palette), 0.12) : QColor(Qt::transparent);
    button->setStyleSheet(QStringLiteral("QToolButton { border: none; border-radius: 4px; "
                                         "padding: 3px 6px; color: %1; background: %2; }")
                              .arg(text_.name(QColor::HexArgb), fill.name(QColor::HexArgb)));
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
    const QList<QUuid>& path = m_model.navigationPath();
    const QColor secondary = palette().color(QPalette::PlaceholderText);

    QToolButton* root = chip("Tags", path.isEmpty(), this);
    root->setObjectName("pathChipRoot");
    m_root = root;
    root->setIcon(TagIconPainter::defaultIcon(
        path.isEmpty() ? palette().color(QPalette::WindowText) : secondary, 12));
    root->setIconSize(QSize(12, 12));
    root->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    connect(root, &QToolButton::clicked, &m_model, &AppViewModel::navigateToRoot);
    m_row->addWidget(root);

    for (const QUuid& id : path) {
        const TagNode* tag = AppViewModel::findTag(id, m_model.hierarchy());
        if (!tag) {
            continue;  // a tag gone from the tree leaves no chip
        }
        auto* separator = new QLabel(this);
        separator->setPixmap(SymbolGlyphs::pixmap(
            "chevron.right", palette().color(QPalette::Disabled, QPalette::WindowText), 9,
            devicePixelRatioF()));
        m_row->addWidget(separator);
        QToolButton* button = chip(menuText(tag->name), id == path.last(), this);
        button->setObjectName("pathChip");
        button->setToolTip(tag->name);
        button->setAccessibleName(tag->name);  // the whole name, however the chip is cut
        m_chips.append({button, tag->name});
        connect(button, &QToolButton::clicked, this,
                [this, id] { m_model.navigateToPathElement(id); });
        m_row->addWidget(button);
    }
    m_row->addStretch(1);
    fitChips();
}

QList<QWidget*> PathBarView::chips() const {
    QList<QWidget*> chips = {m_root};
    for (const auto& chip : m_chips) {
        chips.append(chip.first);
    }
    return chips;
}

void PathBarView::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    fitChips();
}

void PathBarView::fitChips() {
    if (m_chips.isEmpty()) {
        return;
    }
    const QFontMetrics metrics(m_chips.first().first->font());
    // Everything but the tag chips' texts keeps its width.
    int fixed = m_row->contentsMargins().left() + m_row->contentsMargins().right();
    for (int i = 0; i < m_row->count(); ++i) {
        QWidget* widget = m_row->itemAt(i)->widget();
        const bool isTagChip = std::any_of(m_chips.cbegin(), m_chips.cend(),
                                           [&](const auto& chip) { return chip.first == widget; });
        if (widget && !isTagChip) {
            fixed += widget->sizeHint().width();
        }
        fixed += m_row->spacing();
    }
    QList<int> widths;
    int total = 0;
    for (const auto& [button, name] : m_chips) {
        widths.append(metrics.horizontalAdvance(name) + 1);
        total += widths.last() + kChipPadding;
    }
    int excess = total + fixed - width();
    for (qsizetype i = 0; i < widths.size() && excess > 0; ++i) {
        const int cut = std::min(excess, std::max(0, widths[i] - kShortestChipText));
        widths[i] -= cut;
        excess -= cut;
    }
    for (qsizetype i = 0; i < m_chips.size(); ++i) {
        const auto& [button, name] = m_chips[i];
        button->setText(menuText(metrics.elidedText(name, Qt::ElideRight, widths[i])));
    }
}
