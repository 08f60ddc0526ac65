#pragma once

#include "platform/Clock.h"
#include "platform/DesktopWorkspace.h"
#include "platform/FileJournal.h"
#include "platform/LocalPreviewSource.h"
#include "platform/TagIndex.h"
#include "platform/XattrTagStore.h"
#include "state/AppViewModel.h"

// The real services of the running application, made once and kept for the life of the
// process; the tag index starts crawling at once, and the journal of file work is opened.
struct DesktopServices {
    explicit DesktopServices(TagIndex::Options options = TagIndex::defaultOptions())
        : index(std::move(options)) {
        index.start();
    }

    AppViewModel::Services services() {
        return {tagStore, index, workspace, clock, previews, &journal};
    }

    XattrTagStore tagStore;
    TagIndex index;
    DesktopWorkspace workspace;
    SteadyClock clock;
    LocalPreviewSource previews;
    FileJournal journal{FileJournal::defaultPath()};
};
