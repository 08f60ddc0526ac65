// Selection, clicks and file actions.
#include "platform/Clock.h"
#include "platform/Workspace.h"
#include "state/AppViewModel.h"

void AppViewModel::openFile(const FileItem& file) { m_services.workspace.open(file.url); }

void AppViewModel::revealFile(const FileItem& file) { m_services.workspace.reveal(file.url); }
