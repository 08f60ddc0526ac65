#include "views/column/ColumnRowDelegate.h"

#include "model/TagColors.h"
#include "state/AppViewModel.h"
#include "views/column/ColumnModel.h"
#include "views/common/Colors.h"
#include "views/common/FileIcons.h"
#include "views/common/ItemMarks.h"
#include "views/common/SymbolGlyphs.h"
#include "views/common/TagIconPainter.h"

#include <QDateTime>
#include <QPainter>
#include <QPainterPath>

namespace {

QFont sized(QFont font, int pixels, QFont::Weight weight = QFont::Normal) {
    font.setPixelSize(pixels);
    font.setWeight(weight);
    return font;
}

void fillRowBackground(QPainter& painter, const QRect& row, const QColor& color) {
    QPainterPath path;
    path.addRoundedRect(QRectF(row).adjusted(4, 0, -4, 0), 5, 5);
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.fillPath(path, color);
    painter.restore();
}

}  // namespace

ColumnRowDelegate::ColumnRowDelegate(AppViewModel& model, ColumnModel& rows, QObject* parent)
    : QStyledItemDelegate(parent), m_model(model), m_rows(rows) {}

QRect ColumnRowDelegate::rowRect(const QRect& itemRect) {
    return itemRect.adjusted(0, kSpacing, 0, 0);
}

QRect ColumnRowDelegate::nameRect(const QRect& itemRect) {
    const QRect row = rowRect(itemRect).adjusted(10, 0, -10, 0);
    return row.adjusted(16 + 6, 0, 0, 0);
}

QSize ColumnRowDelegate::sizeHint(const QStyleOptionViewItem&, const QModelIndex& index) const {
    switch (m_rows.kind(index.row())) {
        case ColumnModel::Kind::TopStrip:
            return {0, kTopStrip};
        case ColumnModel::Kind::Header:
            return {0, kSpacing + 8 + 14 + 2};
        case ColumnModel::Kind::Loading:
            return {0, kSpacing + 8 + 16 + 8};
        default:
            return {0, kSpacing + kRowHeight};
    }
}

void ColumnRowDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                              const QModelIndex& index) const {
    switch (m_rows.kind(index.row())) {
        case ColumnModel::Kind::Tag:
            paintTagRow(*painter, option, index.row());
            break;
        case ColumnModel::Kind::File:
            paintFileRow(*painter, option, index.row());
            break;
        case ColumnModel::Kind::Header:
            paintHeader(*painter, option);
            break;
        case ColumnModel::Kind::Loading:
            paintLoading(*painter, option);
            break;
        case ColumnModel::Kind::TopStrip:
            break;
    }
    if (index.row() == m_menuRow) {
        // Inset like the row's own background.
        ItemMarks::paintMenuMark(*painter, QRectF(rowRect(option.rect)).adjusted(4, 0, -4, 0),
                                 option.palette);
    }
}

void ColumnRowDelegate::paintTagRow(QPainter& painter, const QStyleOptionViewItem& option,
                                    int row) const {
    const TagNode& tag = *m_rows.tagAt(row);
    const QRect rect = rowRect(option.rect);
    const QColor accent = Colors::accent(option.palette);
    const bool editing = m_model.inlineEditingTagID() == tag.id;
    if (m_model.dragTargetTagID() == tag.id) {
        fillRowBackground(painter, rect, Colors::withAlpha(accent, 0.25));
    } else if (m_highlighted == tag.id) {
        fillRowBackground(painter, rect, Colors::withAlpha(accent, 0.18));
    }
    const QRect content = rect.adjusted(10, 0, -10, 0);
    const QRectF icon(content.left(), content.center().y() - 7.5, 16, 16);
    TagIconPainter::paint(painter, icon, tag);

    QRect name = nameRect(option.rect);
    if (!tag.children.isEmpty() && !editing) {
        const QRect chevron(content.right() - 10, content.center().y() - 5, 10, 10);
        const QPixmap glyph = SymbolGlyphs::pixmap(
            "chevron.right", option.palette.color(QPalette::Disabled, QPalette::Text), 10,
            painter.device()->devicePixelRatioF());
        painter.drawPixmap(chevron, glyph);
        name.setRight(chevron.left() - 6);
    }
    if (!editing) {
        painter.setFont(sized(option.font, 13));
        painter.setPen(option.palette.color(QPalette::Text));
        painter.drawText(name, Qt::AlignVCenter | Qt::AlignLeft | Qt::TextSingleLine,
                         painter.fontMetrics().elidedText(tag.name, Qt::ElideMiddle, name.width()));
    }
}

void ColumnRowDelegate::paintFileRow(QPainter& painter, const QStyleOptionViewItem& option,
                                     int row) const {
    const FileItem& file = *m_rows.fileAt(row);
    const QRect rect = rowRect(option.rect);
    if (m_model.selectedFileIDs().contains(file.id)) {
        fillRowBackground(painter, rect, Colors::withAlpha(Colors::accent(option.palette), 0.18));
    }
    const QRect content = rect.adjusted(10, 0, -10, 0);
    const QRect icon(content.left(), content.center().y() - 7, 16, 16);
    FileIcons::forIconName(file.iconName, file.isDirectory).paint(&painter, icon);
    const QRect name = nameRect(option.rect);
    painter.setFont(sized(option.font, 13));
    painter.setPen(option.palette.color(QPalette::Text));
    painter.drawText(name, Qt::AlignVCenter | Qt::AlignLeft | Qt::TextSingleLine,
                     painter.fontMetrics().elidedText(file.name, Qt::ElideMiddle, name.width()));
}

void ColumnRowDelegate::paintHeader(QPainter& painter, const QStyleOptionViewItem& option) const {
    const QRect text = option.rect.adjusted(14, kSpacing + 8, -14, -2);
    painter.setFont(sized(option.font, 11, QFont::Medium));
    painter.setPen(
        Colors::secondaryText(option.palette, Colors::controlBackground(option.palette)));
    painter.drawText(text, Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("Files"));
}

void ColumnRowDelegate::paintLoading(QPainter& painter, const QStyleOptionViewItem& option) const {
    // A small spinning arc; the column repaints it while it loads.
    const QPoint centre = option.rect.center();
    const QRectF circle(centre.x() - 7, centre.y() - 7, 14, 14);
    const int angle = static_cast<int>((QDateTime::currentMSecsSinceEpoch() / 4) % 360);
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(
        QPen(Colors::secondaryText(option.palette, Colors::controlBackground(option.palette)), 2,
             Qt::SolidLine, Qt::RoundCap));
    painter.drawArc(circle, -angle * 16, 270 * 16);
    painter.restore();
}
