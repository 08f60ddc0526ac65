#include "views/window/PathBarView.h"

#include "state/AppViewModel.h"
#include "views/common/Colors.h"
#include "views/common/SymbolGlyphs.h"
#include "views/common/TagIconPainter.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QToolButton>

namespace {

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
    const QList<QUuid>& path = m_model.navigationPath();
    const QColor secondary = palette().color(QPalette::PlaceholderText);

    QToolButton* root = chip("Tags", path.isEmpty(), this);
    root->setObjectName("pathChipRoot");
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
        QToolButton* button = chip(tag->name, id == path.last(), this);
        button->setObjectName("pathChip");
        connect(button, &QToolButton::clicked, this,
                [this, id] { m_model.navigateToPathElement(id); });
        m_row->addWidget(button);
    }
    m_row->addStretch(1);
}
