// Start-up: the saved tree, merged with the system's tag list.
#include "model/HierarchyCodec.h"
#include "model/HierarchyFile.h"
#include "model/NameOrder.h"
#include "model/TagTree.h"
#include "platform/Log.h"
#include "platform/TagNames.h"
#include "platform/TaggedFileQuery.h"
#include "sources/FinderTagSources.h"
#include "state/AppViewModel.h"
#include "state/NameMerge.h"

#include <QDir>
#include <QFileInfo>
#include <QPointer>

void AppViewModel::loadHierarchy() {
    Log::line("loadHierarchy: starting");
    const HierarchyFile::ReadResult saved = HierarchyFile::read();
    const auto forest = saved.status == HierarchyFile::ReadStatus::Read
                            ? HierarchyCodec::decode(saved.bytes)
                            : std::nullopt;
    if (forest) {
        QList<TagNode> tree = *forest;
        // Hand-edited or merged files can repeat an id or hold the empty one; either would let
        // an operation on one tag delete or open another.
        if (const int renewed = TagTree::makeIdsUnique(tree)) {
            Log::line(QStringLiteral("loadHierarchy: gave %1 tags a fresh id (repeated or empty "
                                     "ids in the saved file)")
                          .arg(renewed));
        }
        setHierarchy(std::move(tree));
        Log::line(QStringLiteral("loadHierarchy: loaded %1 root nodes from disk (%2 total tag "
                                 "names in tree)")
                      .arg(m_hierarchy.size())
                      .arg(allTagNames(m_hierarchy).size()));
    } else {
        Log::line("loadHierarchy: no saved hierarchy file");
        // A file that exists but does not decode holds the user's tree; it must not be
        // replaced before a copy is safe.
        m_keepUnreadableFileBeforeSave = saved.status != HierarchyFile::ReadStatus::Missing;
        if (saved.status == HierarchyFile::ReadStatus::Unreadable) {
            // Nothing can be copied aside either: nothing may replace it. The user is told
            // once, so that no edit is lost unknowingly.
            assign(m_treeSaveProblem,
                   QStringLiteral("Changes to tags can\u2019t be kept this session: %1 %2.")
                       .arg(HierarchyFile::hierarchyFilePath(), saved.problem),
                   &AppViewModel::treeSaveProblemChanged);
            Log::line("loadHierarchy: the hierarchy file " + saved.problem +
                      "; changes will not be saved");
        }
    }

    const QSet<QString> existing = NameMerge::namesIn(m_hierarchy);
    Log::line(
        QStringLiteral("loadHierarchy: existing tag names in hierarchy: %1").arg(existing.size()));

    const FinderTagList systemTags = FinderTagSources::readAllFinderTags();
    Log::line(
        QStringLiteral("loadHierarchy: readAllFinderTags returned %1 tags").arg(systemTags.size()));
    int appended = 0;
    if (!systemTags.isEmpty()) {
        assign(m_suggestFullDiskAccess, false, &AppViewModel::suggestFullDiskAccessChanged);
        appended = joinNames(systemTags, true);
        Log::line(QStringLiteral("loadHierarchy: merged %1 new system tags (already had %2)")
                      .arg(appended)
                      .arg(existing.size()));
    } else {
        // The Finder's stores live under ~/Library: without that folder there is nothing to
        // grant access to, as on an ordinary Linux home.
        assign(m_suggestFullDiskAccess, QFileInfo(QDir::homePath() + "/Library").isDir(),
               &AppViewModel::suggestFullDiskAccessChanged);
        const FinderTagList favorites = FinderTagSources::readFavoriteFinderTags();
        Log::line(QStringLiteral("loadHierarchy: using favorites fallback (%1 tags)")
                      .arg(favorites.size()));
        joinNames(favorites, true);
    }
    saveHierarchy();
    Log::line(
        QStringLiteral("loadHierarchy: done. Root-level tags now: %1").arg(m_hierarchy.size()));
}

void AppViewModel::mergeTagsOnFiles(bool crawled) {
    // On Linux the system's own tag list is the set of names on the user's files, which the
    // index knows once its crawl is done. Names that file work is taking off the files are
    // left out, so the merge need not wait for that work.
    QPointer<AppViewModel> self(this);
    ++m_namesAsked;
    m_services.query.queryAllTagNames(
        [self, crawled](const QStringList& names) {
            if (self) {
                --self->m_namesAsked;
                self->mergeNamesOnFiles(names, crawled);
            }
        },
        crawled);
}

void AppViewModel::refreshFromIndex(const QStringList& changedNames) {
    // The first answers came from what the index kept from the last run; its crawl is done
    // now. Names first seen by the crawl join the tree; a list whose files changed loads
    // again, the others stay.
    mergeTagsOnFiles(true);
    const QSet<QString> changed(changedNames.cbegin(), changedNames.cend());
    QSet<QUuid> shown(m_navigationPath.cbegin(), m_navigationPath.cend());
    for (auto it = m_filesPerTag.cbegin(); it != m_filesPerTag.cend(); ++it) {
        shown.insert(it.key());
    }
    for (const QUuid& id : std::as_const(shown)) {
        const TagNode* tag = findTag(id, m_hierarchy);
        if (tag && changed.contains(tag->name)) {
            loadFiles(id);
        }
    }
}

void AppViewModel::mergeNamesOnFiles(const QStringList& names, bool crawled) {
    // A tag added at start for a name that another program took off every file while Orvane
    // was closed leaves again, once the crawl has said so.
    QList<TagNode> tree = m_hierarchy;
    const qsizetype gone = crawled ? m_nameMerge.takeBack(tree, names, m_inlineEditingTagID) : 0;
    if (gone > 0) {
        Log::line(QStringLiteral("loadHierarchy: removed %1 tags no longer found on your files")
                      .arg(gone));
        setHierarchy(std::move(tree));
        keepNavigationInTree();
    }
    if (m_nestedTagStyle.chooseFrom(names, m_hierarchy)) {
        Log::line(QStringLiteral("loadHierarchy: nested tags are written as %1")
                      .arg(m_nestedTagStyle.writesPaths() ? "paths" : "names"));
        emit writesNestedTagsAsPathsChanged();
    }
    QList<FinderTag> tags;
    for (const QString& name : names) {
        tags.append({name, 0});
    }
    sortByName(tags, [](const FinderTag& tag) { return tag.name; });
    const int appended = joinNames(tags, crawled);
    Log::line(QStringLiteral("loadHierarchy: merged %1 new tags found on your files (%2 names "
                             "on files)")
                  .arg(appended)
                  .arg(names.size()));
    if (gone > 0 || appended > 0) {
        saveHierarchyInBackground();
    }
}

int AppViewModel::joinNames(const QList<FinderTag>& tags, bool confirmed) {
    // One change of the tree for the whole list: a home with hundreds of names would
    // otherwise copy the tree and redraw every view once per name.
    QList<TagNode> tree = m_hierarchy;
    const int appended = m_nameMerge.join(tree, tags, confirmed);
    if (appended > 0) {
        setHierarchy(std::move(tree));
    }
    return appended;
}

void AppViewModel::saveHierarchyInBackground() {
    if (!m_treeSaveProblem.isEmpty() || m_keepUnreadableFileBeforeSave) {
        saveHierarchy();  // said, or a copy of the unreadable file to keep first
        return;
    }
    m_treeSaves.saveInBackground(m_hierarchy);
}

bool AppViewModel::saveHierarchy() {
    if (!m_treeSaveProblem.isEmpty()) {
        return true;  // said once already: edits live in memory this session
    }
    if (m_keepUnreadableFileBeforeSave) {
        const auto kept = HierarchyFile::keepCopyAside();
        if (!kept) {
            Log::line(
                "saveHierarchy: the unreadable hierarchy file could not be kept aside; "
                "not replacing it");
            m_lastSaveError = QStringLiteral(
                                  "the unreadable tree file %1 could not be copied "
                                  "aside")
                                  .arg(HierarchyFile::hierarchyFilePath());
            return false;
        }
        Log::line("loadHierarchy: kept the unreadable hierarchy file as " + *kept);
        m_keepUnreadableFileBeforeSave = false;
    }
    if (const auto problem = m_treeSaves.save(m_hierarchy)) {
        m_lastSaveError = *problem;
        Log::line("saveHierarchy: could not save the tree: " + *problem);
        return false;
    }
    return true;
}
