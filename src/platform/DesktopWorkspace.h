#pragma once

#include "platform/Workspace.h"

// Opens through the desktop's URL handlers; reveals through the file manager's D-Bus interface
// (org.freedesktop.FileManager1.ShowItems), falling back to opening the parent folder.
class DesktopWorkspace final : public Workspace {
public:
    void open(const QUrl& url) override;
    void reveal(const QUrl& url) override;
};
