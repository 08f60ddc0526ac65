#include "state/AppViewModel.h"
#include "state/HiddenFilesCheck.h"

#include "model/NameOrder.h"
#include "model/TagTree.h"
#include "platform/FileJournal.h"
#include "platform/TaggedFileQuery.h"
#include "state/FileListLoader.h"
#include "state/FileWorkQueue.h"

#include <QPointer>

AppViewModel::AppViewModel(Services services, Startup startup, QObject* parent)
    : QObject(parent), m_services(services) {
    m_lists = std::make_unique<FileListLoader>(
        services.query, services.tagStore,
        [this](const QUuid& id, QList<FileItem> files, bool complete) {
            receiveLoadedFiles(id, std::move(files), complete);
        });
    m_journal = services.journal;
    if (!m_journal) {
        m_ownJournal = std::make_unique<FileJournal>(":memory:");
        m_journal = m_ownJournal.get();
    }
    m_fileWorkProblem = m_journal->problem().isEmpty()
                            ? QString()
                            : QStringLiteral(
                                  "Tags on files can\u2019t be changed this session: "
                                  "%1.")
                                  .arg(m_journal->problem());
    m_fileWork = new FileWorkQueue(services.tagStore, services.query, *m_journal, this);
    m_fileWork->setLateLook(services.fileWorkLateLook);
    connect(m_fileWork, &FileWorkQueue::idle, this, &AppViewModel::fileWorkIdle);
    m_hiddenFilesCheck = new HiddenFilesCheck(services.query, services.tagStore, this);
    m_statusTimer.setSingleShot(true);
    connect(&m_statusTimer, &QTimer::timeout, this, [this] { setFileWorkStatus(QString()); });
    m_services.query.setTagsReplacedHandler(
        [self = QPointer<AppViewModel>(this)](const QByteArray& path, const QByteArray& value) {
            if (self) {
                self->keepTagsThroughSave(path, value);
            }
        });
    m_services.query.setWatchLimitHandler([self = QPointer<AppViewModel>(this)] {
        if (self) {
            self->assign(self->m_indexNotice,
                         QStringLiteral("Some folders are checked for tag changes only every few "
                                        "minutes: the system\u2019s limit on watched folders is "
                                        "reached."),
                         &AppViewModel::indexNoticeChanged);
        }
    });
    m_services.query.setRefreshedHandler(
        [self = QPointer<AppViewModel>(this)](const QStringList& changed) {
            if (self) {
                self->refreshFromIndex(changed);
            }
        });
    if (startup == Startup::LoadHierarchy) {
        loadHierarchy();
        mergeTagsOnFiles(finishInterruptedWork());
    }
}

AppViewModel::~AppViewModel() {
    m_services.query.setTagsReplacedHandler(nullptr);
    m_services.query.setWatchLimitHandler(nullptr);
    m_services.query.setRefreshedHandler(nullptr);
    shutDown();
}

void AppViewModel::setHierarchy(QList<TagNode> hierarchy) {
    m_sortedChildrenCache.clear();
    assign(m_hierarchy, hierarchy, &AppViewModel::hierarchyChanged);
}

void AppViewModel::setNavigationPath(QList<QUuid> path) {
    if (path.isEmpty()) {
        m_navigationPath.clear();
        emit navigationPathChanged();
        return;
    }
    assign(m_navigationPath, path, &AppViewModel::navigationPathChanged);
}

void AppViewModel::setCurrentFiles(QList<FileItem> files) {
    if (files.isEmpty()) {
        m_currentFiles.clear();
        emit currentFilesChanged();
        return;
    }
    // FileItem equality is by id only, so a fresh list of the same files would otherwise be
    // taken as unchanged although names, tags or kinds may differ.
    m_currentFiles = std::move(files);
    emit currentFilesChanged();
}

void AppViewModel::setIsLoadingFiles(bool loading) {
    assign(m_isLoadingFiles, loading, &AppViewModel::isLoadingFilesChanged);
}

void AppViewModel::setFilesPerTag(QHash<QUuid, QList<FileItem>> files) {
    m_filesPerTag = std::move(files);
    emit filesPerTagChanged();
}

void AppViewModel::setLoadingTagIDs(QSet<QUuid> ids) {
    assign(m_loadingTagIDs, ids, &AppViewModel::loadingTagIDsChanged);
}

void AppViewModel::setInlineEditingTagID(std::optional<QUuid> id) {
    assign(m_inlineEditingTagID, id, &AppViewModel::inlineEditingTagIDChanged);
}

void AppViewModel::setViewMode(ViewMode mode) {
    assign(m_viewMode, mode, &AppViewModel::viewModeChanged);
}

void AppViewModel::setColumnWidth(double width) {
    assign(m_columnWidth, width, &AppViewModel::columnWidthChanged);
}

void AppViewModel::setIconGridColumnsPerRow(qint64 count) {
    assign(m_iconGridColumnsPerRow, count, &AppViewModel::iconGridColumnsPerRowChanged);
}

void AppViewModel::setMatchAllTags(bool on) {
    assign(m_matchAllTags, on, &AppViewModel::matchAllTagsChanged);
}

void AppViewModel::setShowNewTagSheet(bool show) {
    assign(m_showNewTagSheet, show, &AppViewModel::showNewTagSheetChanged);
}

void AppViewModel::setNewTagParentID(std::optional<QUuid> id) {
    assign(m_newTagParentID, id, &AppViewModel::newTagParentIDChanged);
}

void AppViewModel::setDragTargetTagID(std::optional<QUuid> id) {
    assign(m_dragTargetTagID, id, &AppViewModel::dragTargetTagIDChanged);
}

void AppViewModel::setSelectedTagID(std::optional<QUuid> id) {
    assign(m_selectedTagID, id, &AppViewModel::selectedTagIDChanged);
}

void AppViewModel::setSelectedFileIDs(const QSet<QString>& ids) {
    if (ids.isEmpty()) {
        m_selectedFileIDs.clear();
        emit selectedFileIDsChanged();
        return;
    }
    assign(m_selectedFileIDs, ids, &AppViewModel::selectedFileIDsChanged);
}

void AppViewModel::setInlineEditingText(const QString& text) {
    assign(m_inlineEditingText, text, &AppViewModel::inlineEditingTextChanged);
}

// Look-ups.

const TagNode* AppViewModel::findTag(const QUuid& id, const QList<TagNode>& nodes) {
    return TagTree::find(id, nodes);
}

std::optional<TagNode> AppViewModel::currentTag() const {
    if (m_navigationPath.isEmpty()) {
        return std::nullopt;
    }
    const TagNode* tag = findTag(m_navigationPath.last(), m_hierarchy);
    return tag ? std::optional(*tag) : std::nullopt;
}

QStringList AppViewModel::allTagNames(const QList<TagNode>& nodes) {
    return TagTree::allNames(nodes);
}

bool AppViewModel::ancestorNames(const QUuid& id, const QList<TagNode>& nodes, QStringList& names) {
    return TagTree::ancestorNames(id, nodes, names);
}

QList<TagNode> AppViewModel::tagsForColumn(qsizetype column) const {
    if (column == 0) {
        return m_hierarchy;
    }
    if (column < 1 || column - 1 >= m_navigationPath.size()) {
        return {};
    }
    const TagNode* tag = findTag(m_navigationPath[column - 1], m_hierarchy);
    return tag ? tag->children : QList<TagNode>();
}

QList<TagNode> AppViewModel::sortedTagsForColumn(qsizetype column) {
    if (column == 0) {
        return sortedChildren(m_hierarchy, std::nullopt);
    }
    if (column < 1 || column - 1 >= m_navigationPath.size()) {
        return {};
    }
    return sortedChildren(tagsForColumn(column), m_navigationPath[column - 1]);
}

QList<TagNode> AppViewModel::sortedChildren(const QList<TagNode>& children,
                                            std::optional<QUuid> parentID) {
    const QUuid key = parentID.value_or(QUuid());
    if (const auto it = m_sortedChildrenCache.constFind(key); it != m_sortedChildrenCache.cend()) {
        return *it;
    }
    QList<TagNode> sorted = children;
    sortByName(sorted, [](const TagNode& node) -> const QString& { return node.name; });
    m_sortedChildrenCache.insert(key, sorted);
    return sorted;
}
