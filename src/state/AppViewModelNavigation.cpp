// Moving through the tree and loading the files under the opened tags.
#include "model/TagTree.h"
#include "platform/Preferences.h"
#include "platform/TaggedFileQuery.h"
#include "state/AppViewModel.h"
#include "state/FileListLoader.h"

#include <QLoggingCategory>

Q_LOGGING_CATEGORY(orvaneLoads, "orvane.loads", QtWarningMsg)

void AppViewModel::removeCachedFiles(const QList<QUuid>& ids) {
    if (ids.isEmpty()) {
        return;
    }
    QHash<QUuid, QList<FileItem>> files = m_filesPerTag;
    for (const QUuid& id : ids) {
        files.remove(id);
    }
    setFilesPerTag(std::move(files));
}

void AppViewModel::openTag(QUuid id, qsizetype column) {
    if (column == 0) {
        removeCachedFiles(m_navigationPath);
        setNavigationPath({id});
    } else if (column > 0 && m_navigationPath.size() > column) {
        removeCachedFiles(m_navigationPath.mid(column));
        setNavigationPath(m_navigationPath.first(column) + QList<QUuid>{id});
    } else {
        setNavigationPath(m_navigationPath + QList<QUuid>{id});
    }
    clearSelection();
    loadFilesForCurrentTag();
}

void AppViewModel::enterTag(QUuid id) {
    setNavigationPath(m_navigationPath + QList<QUuid>{id});
    setSelectedTagID(std::nullopt);
    clearSelection();
    loadFilesForCurrentTag();
}

void AppViewModel::truncateNavigationPath(qsizetype length) {
    if (length < 0 || m_navigationPath.size() <= length) {
        return;
    }
    removeCachedFiles(m_navigationPath.mid(length));
    setNavigationPath(m_navigationPath.first(length));
}

void AppViewModel::goBack() {
    if (m_navigationPath.isEmpty()) {
        return;
    }
    const QUuid last = m_navigationPath.last();
    setNavigationPath(m_navigationPath.first(m_navigationPath.size() - 1));
    removeCachedFiles({last});
    setSelectedTagID(std::nullopt);
    clearSelection();
    loadFilesForCurrentTag();
}

void AppViewModel::navigateToPathElement(const QUuid& id) {
    const qsizetype position = m_navigationPath.indexOf(id);
    if (position < 0) {
        return;
    }
    removeCachedFiles(m_navigationPath.mid(position + 1));
    setNavigationPath(m_navigationPath.first(position + 1));
    setSelectedTagID(std::nullopt);
    clearSelection();
    loadFilesForCurrentTag();
}

void AppViewModel::navigateToRoot() {
    setNavigationPath({});
    setCurrentFiles({});
    setFilesPerTag({});
    // Nothing is loading at the root, whatever is still outstanding for the old path.
    setIsLoadingFiles(false);
    setSelectedTagID(std::nullopt);
    clearSelection();
}

void AppViewModel::clearSelection() {
    setSelectedFileIDs({});
    setSelectedTagID(std::nullopt);
}

void AppViewModel::loadFilesForCurrentTag() {
    const auto current = currentTag();
    if (!current) {
        setCurrentFiles({});
        setIsLoadingFiles(false);
        return;
    }
    setIsLoadingFiles(true);
    setCurrentFiles({});
    loadFiles(current->id);
    // An earlier column whose load is still running is not asked again.
    for (const QUuid& id : m_navigationPath) {
        if (id != current->id && !m_filesPerTag.contains(id) && !m_loadingTagIDs.contains(id)) {
            loadFiles(id);
        }
    }
}

void AppViewModel::loadFiles(const QUuid& tagID) {
    const TagNode* found = findTag(tagID, m_hierarchy);
    if (!found) {
        return;
    }
    QSet<QUuid> loading = m_loadingTagIDs;
    loading.insert(tagID);
    setLoadingTagIDs(std::move(loading));
    m_lists->load(tagID, found->name, [this, tagID, name = found->name] {
        FileListLoader::Filter filter;
        if (m_matchAllTags) {
            QStringList names;
            ancestorNames(tagID, m_hierarchy, names);
            names.append(name);
            filter.required = QSet<QString>(names.begin(), names.end());
            if (const TagNode* now = findTag(tagID, m_hierarchy)) {
                const QStringList below = allTagNames(now->children);
                filter.excluded = QSet<QString>(below.begin(), below.end());
            }
        }
        return filter;
    });
}

void AppViewModel::receiveLoadedFiles(const QUuid& id, QList<FileItem> files, bool complete) {
    const bool current = !m_navigationPath.isEmpty() && m_navigationPath.last() == id;
    if (current && orvaneLoads().isInfoEnabled()) {
        // For timing the application from outside (QT_LOGGING_RULES="orvane.loads.info=true").
        const TagNode* tag = findTag(id, m_hierarchy);
        qCInfo(orvaneLoads, "%lld files of \"%s\" shown%s", static_cast<long long>(files.size()),
               tag ? qPrintable(tag->name) : "", complete ? "" : ", more being checked");
    }
    QHash<QUuid, QList<FileItem>> cache = m_filesPerTag;
    cache.insert(id, files);
    setFilesPerTag(std::move(cache));
    // Part of a list still being checked is shown, but the tag is still loading.
    if (complete) {
        QSet<QUuid> loading = m_loadingTagIDs;
        loading.remove(id);
        setLoadingTagIDs(std::move(loading));
    }
    if (current) {
        setCurrentFiles(std::move(files));
        if (complete) {
            setIsLoadingFiles(false);
        }
    }
    if (complete && m_loadingTagIDs.isEmpty()) {
        dropUnlistedSelection();
    }
}

void AppViewModel::dropUnlistedSelection() {
    // A file that left every list (lifted up the tree, untagged elsewhere) cannot stay
    // selected: nothing would show it, and the arrow keys would have nowhere to start.
    // One pass over the lists, however many files are selected.
    if (m_selectedFileIDs.isEmpty()) {
        return;
    }
    QSet<QString> listed;
    auto collect = [&](const QList<FileItem>& files) {
        for (const FileItem& file : files) {
            if (m_selectedFileIDs.contains(file.id)) {
                listed.insert(file.id);
            }
        }
    };
    collect(m_currentFiles);
    for (const QList<FileItem>& files : std::as_const(m_filesPerTag)) {
        collect(files);
    }
    if (listed.size() != m_selectedFileIDs.size()) {
        setSelectedFileIDs(listed);
    }
}

void AppViewModel::clearFileCache() {
    setFilesPerTag({});
    m_lists->forgetRunningLoads();
    setLoadingTagIDs({});
}

void AppViewModel::chooseNestedTagsAsPaths(bool paths) {
    if (paths == m_nestedTagStyle.writesPaths()) {
        return;
    }
    if (!m_nestedTagStyle.choose(paths)) {
        refuse(QStringLiteral("Change Preferences"),
               QStringLiteral("%1 could not be written").arg(Preferences::filePath()));
    }
    emit writesNestedTagsAsPathsChanged();  // a view showing the refused choice goes back
}

void AppViewModel::applyMatchAllTags(bool on) {
    setMatchAllTags(on);
    clearFileCache();
    loadFilesForCurrentTag();
}

QString AppViewModel::statusText() const {
    const auto current = currentTag();
    const qsizetype tags = current ? current->children.size() : m_hierarchy.size();
    qsizetype folders = 0;
    for (const FileItem& file : m_currentFiles) {
        folders += file.isDirectory ? 1 : 0;
    }
    const qsizetype files = m_currentFiles.size() - folders;
    auto part = [](qsizetype count, const QString& word) {
        return QString::number(count) + " " + word + (count == 1 ? "" : "s");
    };
    return part(tags, "tag") + ", " + part(folders, "folder") + ", " + part(files, "file");
}
