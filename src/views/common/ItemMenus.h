#pragma once

#include <QPoint>

#include <functional>

class AppViewModel;
class QWidget;
struct FileItem;
struct TagNode;

// The context menus both views show for a tag and for a file; they run until closed.
namespace ItemMenus {

// Open (as the view opens a tag), Rename, Set Color, Set Icon, Delete.
void execTagMenu(QWidget* parent, AppViewModel& model, const TagNode& tag,
                 const std::function<void()>& open, const QPoint& globalPos);

// Open, Open Containing Folder.
void execFileMenu(QWidget* parent, AppViewModel& model, const FileItem& file,
                  const QPoint& globalPos);

}  // namespace ItemMenus
