#include "views/column/ColumnBrowserView.h"

#include "state/AppViewModel.h"
#include "views/column/ColumnLayoutView.h"
#include "views/column/SingleColumnView.h"
#include "views/common/Colors.h"

#include <QContextMenuEvent>
#include <QPointer>
#include <QPropertyAnimation>
#include <QScrollBar>

ColumnBrowserView::ColumnBrowserView(AppViewModel& model, QWidget* parent)
    : QScrollArea(parent),
      m_model(model),
      m_layout(new ColumnLayoutView),
      m_scroll(new QPropertyAnimation(horizontalScrollBar(), "value", this)) {
    setObjectName("columnBrowser");
    setAccessibleName("Columns");
    // One stop for Tab, not one per column; the keys go to the view model through the window.
    setFocusPolicy(Qt::TabFocus);
    setFrameShape(QFrame::NoFrame);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setWidgetResizable(false);
    setAlignment(Qt::AlignLeft | Qt::AlignTop);
    QPalette colors = palette();
    colors.setColor(QPalette::Window, Colors::controlBackground(palette()));
    setPalette(colors);
    setAutoFillBackground(true);
    m_layout->minColumnWidth = kMinColumnWidth;
    m_layout->maxColumnWidth = kMaxColumnWidth;
    QPointer<AppViewModel> target(&m_model);
    m_layout->onColumnWidthChanged = [target](qreal width) {
        if (target) {
            target->setColumnWidth(width);
        }
    };
    setWidget(m_layout);
    m_scroll->setDuration(250);
    m_scroll->setEasingCurve(QEasingCurve::InOutQuad);
    connect(&m_model, &AppViewModel::navigationPathChanged, this, &ColumnBrowserView::refresh);
    connect(&m_model, &AppViewModel::columnWidthChanged, this, &ColumnBrowserView::refresh);
    refresh();
}

void ColumnBrowserView::refresh() {
    const qsizetype count = m_model.navigationPath().size() + 1;
    const qreal width = m_model.columnWidth();
    m_layout->resize(qRound(width * count), viewport()->height());
    m_layout->update(count, m_model, width);
    const bool countChanged = count != m_columnCount;
    const bool firstDisplay = m_columnCount == 0;
    m_columnCount = count;
    if (countChanged && !firstDisplay) {
        // The range grows with the resize above only once the scroll area lays out again.
        QMetaObject::invokeMethod(
            this,
            [this] {
                m_scroll->stop();
                m_scroll->setStartValue(horizontalScrollBar()->value());
                m_scroll->setEndValue(horizontalScrollBar()->maximum());
                m_scroll->start();
            },
            Qt::QueuedConnection);
    }
}

void ColumnBrowserView::resizeEvent(QResizeEvent* event) {
    QScrollArea::resizeEvent(event);
    m_layout->resize(m_layout->width(), viewport()->height());
}

void ColumnBrowserView::openMenuForSelection() {
    const QList<SingleColumnView*>& columns = m_layout->columns();
    for (auto it = columns.crbegin(); it != columns.crend(); ++it) {
        if ((*it)->openMenuForSelection()) {
            return;
        }
    }
    if (!columns.isEmpty()) {
        columns.last()->openColumnMenu();
    }
}

void ColumnBrowserView::contextMenuEvent(QContextMenuEvent* event) {
    if (event->reason() == QContextMenuEvent::Keyboard) {
        openMenuForSelection();
    } else {
        event->ignore();
    }
}
