#pragma once

#include <QUuid>

#include <optional>

class AppViewModel;
class QMimeData;
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
