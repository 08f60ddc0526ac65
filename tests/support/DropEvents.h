#pragma once

#include <QApplication>
#include <QDropEvent>
#include <QMimeData>
#include <QWidget>

// Sends a whole drag (enter, move, drop) to a widget at a point; true when the drop was taken.
inline bool sendDrop(QWidget* target, const QPoint& at, QMimeData* data) {
    QDragEnterEvent enter(at, Qt::CopyAction, data, Qt::LeftButton, {});
    QApplication::sendEvent(target, &enter);
    QDragMoveEvent move(at, Qt::CopyAction, data, Qt::LeftButton, {});
    QApplication::sendEvent(target, &move);
    QDropEvent dropped(at, Qt::CopyAction, data, Qt::LeftButton, {});
    QApplication::sendEvent(target, &dropped);
    return dropped.isAccepted();
}

// Hovers a drag over a point without dropping.
inline void sendHover(QWidget* target, const QPoint& at, QMimeData* data) {
    QDragEnterEvent enter(at, Qt::CopyAction, data, Qt::LeftButton, {});
    QApplication::sendEvent(target, &enter);
    QDragMoveEvent move(at, Qt::CopyAction, data, Qt::LeftButton, {});
    QApplication::sendEvent(target, &move);
}

// The action a view takes for a drag that offers `offered` and proposes `proposed`; no action
// when it refuses the drag.
inline Qt::DropAction acceptedAction(QWidget* target, const QPoint& at, QMimeData* data,
                                     Qt::DropActions offered, Qt::DropAction proposed) {
    QDragEnterEvent enter(at, offered, data, Qt::LeftButton, {});
    enter.setDropAction(proposed);
    QApplication::sendEvent(target, &enter);
    QDragMoveEvent move(at, offered, data, Qt::LeftButton, {});
    move.setDropAction(proposed);
    QApplication::sendEvent(target, &move);
    const Qt::DropAction taken = move.isAccepted() ? move.dropAction() : Qt::IgnoreAction;
    // Leaving ends the drag, so that no later drag is sent to this one's target.
    QDragLeaveEvent leave;
    QApplication::sendEvent(target, &leave);
    return taken;
}
