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
