#pragma once

#include "model/FileItem.h"
#include "model/TagNode.h"
#include "state/AppViewModel.h"

#include <QPoint>
#include <QUuid>

#include <optional>

class QDropEvent;
class QMimeData;
class QMouseEvent;
class QWidget;

// What the column and grid views share about dragging: a tag travels as its id in text, a
// file as its URL; a drop zone marks the tag it hovers in the view model.
namespace ItemDrag {

// What a press landed on, copied: the rows may be rebuilt before the button comes up.
struct PressedItem {
    std::optional<TagNode> tag;
    std::optional<FileItem> file;
};

// Starts a drag of the tag or the file (whichever was pressed) from `source`.
void start(QWidget* source, const PressedItem& item);

// Files, or plain text that may hold a tag id.
bool mayAccept(const QMimeData& data);

// Accepts a drop as a copy, or a link where the source offers no copy: files stay where they
// are, so the cursor must not say they move. False (and ignored) when neither is offered.
bool acceptAsCopy(QDropEvent& event);

// Ctrl adds to or removes from the file selection, as in the desktop's file managers.
AppViewModel::SelectMode selectMode(Qt::KeyboardModifiers modifiers);

// A press that becomes a drag once the pointer has moved far enough with the button down, or
// a click when the button comes up without one. The click acts only on release, as in the
// desktop's file managers, so a press that starts a drag changes nothing.
class Press {
public:
    void begin(const QMouseEvent& event, PressedItem item);
    // The pressed item when this move starts a drag (once per press; no click follows).
    std::optional<PressedItem> dragStarts(const QMouseEvent& event);
    // The pressed item when this release ends a left-button press that did not drag.
    std::optional<PressedItem> clickEnds(const QMouseEvent& event);
    Qt::KeyboardModifiers modifiers() const { return m_modifiers; }

private:
    std::optional<QPoint> m_at;
    PressedItem m_item;
    Qt::KeyboardModifiers m_modifiers;
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
