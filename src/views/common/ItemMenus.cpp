#include "views/common/ItemMenus.h"

#include "state/AppViewModel.h"
#include "views/common/MenuText.h"
#include "views/editing/FileTagsDialog.h"
#include "views/editing/MoveToDialog.h"
#include "views/editing/TagColorMenu.h"
#include "views/editing/TagIconMenu.h"

#include <QMenu>
#include <QPointer>

namespace ItemMenus {

void execTagMenu(QWidget* parent, AppViewModel& model, const TagNode& shown,
                 const std::function<void()>& open, const QPoint& globalPos) {
    const TagNode tag = shown;  // the menu's actions may rebuild the rows it came from
    QMenu menu(parent);
    QPointer<AppViewModel> target(&model);
    menu.addAction("Open", parent, [target, open] {
        if (target)
            open();
    });
    menu.addSeparator();
    menu.addAction("Rename", parent, [target, tag] {
        if (target)
            target->beginRename(tag);
    });
    menu.addMenu(new TagColorMenu(model, tag, &menu));
    menu.addMenu(new TagIconMenu(model, tag.id, &menu));
    QWidget* window = parent->window();
    menu.addAction("Move To\u2026", parent, [target, window, id = tag.id] {
        if (target)
            MoveToDialog::openFor(*target, id, window);
    });
    menu.addSeparator();
    menu.addAction("Delete", parent, [target, id = tag.id] {
        if (target)
            target->deleteTag(id);
    });
    menu.exec(globalPos);
}

void execFileMenu(QWidget* parent, AppViewModel& model, const FileItem& shown,
                  const QPoint& globalPos) {
    const FileItem file = shown;
    // The menu acts on the selection; a file outside it becomes the selection, as in a file
    // manager.
    if (!model.selectedFileIDs().contains(file.id)) {
        model.selectFile(file, AppViewModel::SelectMode::Replace);
    }
    QMenu menu(parent);
    QPointer<AppViewModel> target(&model);
    menu.addAction("Open", parent, [target, file] {
        if (target)
            target->openFile(file);
    });
    menu.addAction("Open Containing Folder", parent, [target, file] {
        if (target)
            target->revealFile(file);
    });
    menu.addSeparator();
    QWidget* window = parent->window();
    menu.addAction("Tags\u2026", parent, [target, window] {
        if (target)
            FileTagsDialog::openFor(*target, window);
    });
    if (const QString remove = model.removeFromFilesLabel(); !remove.isEmpty()) {
        menu.addAction(menuText(remove), parent, [target] {
            if (target)
                target->removeTagFromSelectedFiles();
        });
    }
    menu.exec(globalPos);
}

}  // namespace ItemMenus
