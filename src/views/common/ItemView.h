#pragma once

#include "views/common/Colors.h"
#include "views/common/ItemDrag.h"

#include <QDropEvent>
#include <QMouseEvent>
#include <QTimer>
#include <QWidget>

class AppViewModel;

// What the column and the grid share as item views over the view model: the look of an empty
// control, presses that become clicks or drags, the drop marker handed between items, and the
// spinner that turns while files load. A view says what lies under a point, what a click on
// it does and what a drop there does.
template <typename Base>
class ItemView : public Base {
public:
    explicit ItemView(AppViewModel& model, QWidget* parent) : Base(parent), m_model(model) {
        this->setSelectionMode(Base::NoSelection);
        this->setEditTriggers(Base::NoEditTriggers);
        this->setFrameShape(Base::NoFrame);
        this->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        this->setAcceptDrops(true);
        this->viewport()->setAcceptDrops(true);
        this->setDragDropMode(Base::DropOnly);
        QPalette colors = this->palette();
        colors.setColor(QPalette::Base, Colors::controlBackground(this->palette()));
        this->setPalette(colors);
        m_spinner.setInterval(kSpinnerMs);
        QObject::connect(&m_spinner, &QTimer::timeout, this->viewport(),
                         qOverload<>(&QWidget::update));
    }

protected:
    virtual ItemDrag::PressedItem itemAt(const QPoint& point) const = 0;
    virtual void clicked(const ItemDrag::PressedItem& item, Qt::KeyboardModifiers modifiers) = 0;
    // True when the drop at a point of the viewport was taken.
    virtual bool dropped(const QPoint& point, const QMimeData& data) = 0;

    void setSpinning(bool on) { on ? m_spinner.start() : m_spinner.stop(); }
    // Marks the tag a drag hovers (none: the drag is over no tag).
    void hover(std::optional<QUuid> tag) { m_hover.over(m_model, tag); }

    void mousePressEvent(QMouseEvent* event) override {
        m_press.begin(*event, itemAt(event->position().toPoint()));
    }
    void mouseDoubleClickEvent(QMouseEvent* event) override {
        // The view model tells double clicks apart itself, by time; this is one more press.
        mousePressEvent(event);
    }
    void mouseMoveEvent(QMouseEvent* event) override {
        if (const auto item = m_press.dragStarts(*event)) {
            ItemDrag::start(this, *item);
        }
    }
    void mouseReleaseEvent(QMouseEvent* event) override {
        if (const auto item = m_press.clickEnds(*event)) {
            clicked(*item, m_press.modifiers());
        }
    }
    void dragEnterEvent(QDragEnterEvent* event) override {
        if (ItemDrag::mayAccept(*event->mimeData())) {
            ItemDrag::acceptAsCopy(*event);
        }
    }
    void dragLeaveEvent(QDragLeaveEvent*) override { m_hover.leave(m_model); }
    void dropEvent(QDropEvent* event) override {
        m_hover.leave(m_model);
        if (ItemDrag::acceptAsCopy(*event)) {
            event->setAccepted(dropped(event->position().toPoint(), *event->mimeData()));
        }
    }

    AppViewModel& m_model;

private:
    static constexpr int kSpinnerMs = 80;

    ItemDrag::Press m_press;
    ItemDrag::Hover m_hover;
    QTimer m_spinner;
};
