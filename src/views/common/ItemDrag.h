#pragma once

#include "state/AppViewModel.h"

#include <QPoint>
#include <QUuid>

#include <optional>

class QMimeData;
class QMouseEvent;
class QWidget;
struct FileItem;
struct TagNode;

// What the column and grid views share about dragging: a tag travels as its id in text, a
// file as its URL; a drop zone marks the tag it hovers in the view model.
namespace ItemDrag {

// Starts a drag of the tag or the file (whichever is given) from `source`.
void start(QWidget* source, const TagNode* tag, const FileItem* file);

// Files, or plain text that may hold a tag id.
bool mayAccept(const QMimeData& data);

// Ctrl adds to or removes from the file selection, as in the desktop's file managers.
AppViewModel::SelectMode selectMode(Qt::KeyboardModifiers modifiers);

// A press that becomes a drag once the pointer has moved far enough with the button down.
class Press {
public:
    void begin(const QPoint& at, qsizetype item) {
        m_at = at;
        m_item = item;
    }
    void end() { m_at.reset(); }
    // The pressed item when this move starts a drag (once per press).
    std::optional<qsizetype> dragStarts(const QMouseEvent& event);

private:
    std::optional<QPoint> m_at;
    qsizetype m_item = -1;
};

// The tag under a hovering drag, handed over in the view model so that entering the next tag
// is never undone by leaving the last one.
class Hover {
public:
    void over(AppViewModel& model, std::optional<QUuid> tag);
    void leave(AppViewModel& model) { over(model, std::nullopt); }

private:
    std::optional<QUuid> m_tag;
};

}  // namespace ItemDrag
