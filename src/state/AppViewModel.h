#pragma once

#include "model/FileItem.h"
#include "model/TagNode.h"
#include "services/FileWork.h"
#include "state/NameMerge.h"
#include "state/NestedTagStyle.h"
#include "state/TagChoices.h"
#include "state/TreeSaves.h"
#include "state/UndoHistory.h"
#include "state/ViewMode.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QSet>
#include <QTimer>
#include <QUrl>

#include <atomic>
#include <memory>
#include <optional>

class Clock;
class FileTagStore;
class FileListLoader;
class FileWorkQueue;
class HiddenFilesCheck;
namespace FileWorkStatus {
struct Verb;
}
class PreviewSource;
struct FilePreview;
class QMimeData;
class TaggedFileQuery;
class Workspace;

// The one owner of the application's state: the tag tree, the navigation, the file lists, the
// selection and editing state, and every user operation. Lives on the user interface thread;
// the services it is given must outlive it. Each observed field has its own change signal; a
// write of an equal value is stored without one.
class AppViewModel : public QObject {
    Q_OBJECT

public:
    struct Services {
        FileTagStore& tagStore;
        TaggedFileQuery& query;
        Workspace& workspace;
        const Clock& clock;
        PreviewSource& previews;
        // Where file work is planned; a journal for this session only when none is given.
        FileJournal* journal = nullptr;
        // How long after its writes the file work looks at the files again, for other programs.
        std::chrono::milliseconds fileWorkLateLook = FileWork::Context::kLateLook;
    };
    enum class Startup { LoadHierarchy, Empty };

    AppViewModel(Services services, Startup startup, QObject* parent = nullptr);
    ~AppViewModel() override;

    // Fields.
    const QList<TagNode>& hierarchy() const { return m_hierarchy; }
    const QList<QUuid>& navigationPath() const { return m_navigationPath; }
    ViewMode viewMode() const { return m_viewMode; }
    const QList<FileItem>& currentFiles() const { return m_currentFiles; }
    bool isLoadingFiles() const { return m_isLoadingFiles; }
    const QHash<QUuid, QList<FileItem>>& filesPerTag() const { return m_filesPerTag; }
    const QSet<QUuid>& loadingTagIDs() const { return m_loadingTagIDs; }
    bool showNewTagSheet() const { return m_showNewTagSheet; }
    std::optional<QUuid> newTagParentID() const { return m_newTagParentID; }
    std::optional<QUuid> dragTargetTagID() const { return m_dragTargetTagID; }
    const QSet<QString>& selectedFileIDs() const { return m_selectedFileIDs; }
    std::optional<QUuid> selectedTagID() const { return m_selectedTagID; }
    bool suggestFullDiskAccess() const { return m_suggestFullDiskAccess; }
    double columnWidth() const { return m_columnWidth; }
    qint64 iconGridColumnsPerRow() const { return m_iconGridColumnsPerRow; }
    bool matchAllTags() const { return m_matchAllTags; }
    // Drops write nested tags as KDE's path entries ("Projects/Client") instead of names.
    bool writesNestedTagsAsPaths() const { return m_nestedTagStyle.writesPaths(); }
    std::optional<QUuid> inlineEditingTagID() const { return m_inlineEditingTagID; }
    const QString& inlineEditingText() const { return m_inlineEditingText; }
    // Why changes to the tree cannot be kept this session; empty when they can.
    const QString& treeSaveProblem() const { return m_treeSaveProblem; }
    // Said once when the index cannot watch every folder; empty otherwise.
    const QString& indexNotice() const { return m_indexNotice; }
    // Progress of long file work, then its summary for a few seconds; empty otherwise.
    const QString& fileWorkStatus() const { return m_fileWorkStatus; }
    // Why changes to files are refused this session (no journal can be kept); empty otherwise.
    const QString& fileWorkProblem() const { return m_fileWorkProblem; }
    // A button beside the status line ("Tag Them"); empty when there is none.
    const QString& statusAction() const { return m_statusAction; }

    // Plain setters: they store (signalling a change) and start no other work.
    void setViewMode(ViewMode mode);
    void setColumnWidth(double width);
    void setIconGridColumnsPerRow(qint64 count);
    void setMatchAllTags(bool on);
    void setShowNewTagSheet(bool show);
    void setNewTagParentID(std::optional<QUuid> id);
    void setDragTargetTagID(std::optional<QUuid> id);
    void setSelectedTagID(std::optional<QUuid> id);
    void setSelectedFileIDs(const QSet<QString>& ids);
    void setInlineEditingText(const QString& text);

    // Start-up.
    void loadHierarchy();
    // Appends the names found on the user's files that the tree lacks, once the index has them;
    // with `crawled`, never names the index kept from its last run.
    void mergeTagsOnFiles(bool crawled);
    // True while names asked of the index wait to be merged.
    bool isMergingNames() const { return m_namesAsked > 0; }
    // Finishes the file work the journal holds from a session that ended before it was done;
    // false when there was none.
    bool finishInterruptedWork();

    // Look-ups.
    static const TagNode* findTag(const QUuid& id, const QList<TagNode>& nodes);
    std::optional<TagNode> currentTag() const;
    static QStringList allTagNames(const QList<TagNode>& nodes);
    static bool ancestorNames(const QUuid& id, const QList<TagNode>& nodes, QStringList& names);
    QList<TagNode> tagsForColumn(qsizetype column) const;
    QList<TagNode> sortedTagsForColumn(qsizetype column);
    QList<TagNode> sortedChildren(const QList<TagNode>& children, std::optional<QUuid> parentID);

    // Navigation and file loading.
    void openTag(QUuid id, qsizetype column);
    void enterTag(QUuid id);
    void truncateNavigationPath(qsizetype length);
    void goBack();
    void navigateToPathElement(const QUuid& id);
    void navigateToRoot();
    void clearSelection();
    void loadFilesForCurrentTag();
    void loadFiles(const QUuid& tagID);
    void clearFileCache();
    // Stores the setting and reloads the lists, also when it did not change.
    void applyMatchAllTags(bool on);
    // The Preferences choice, kept for later sessions; said when it cannot be kept.
    void chooseNestedTagsAsPaths(bool paths);
    // The status line's button: tags the files a move hid with the names they lack.
    void runStatusAction();
    QString statusText() const;

    // Tag editing; every change of the tree is saved at once. Ids are taken by value: a caller's
    // id may live in the tree the operation replaces.
    // False when a tag under the parent would sit deeper than the tree file keeps.
    bool canCreateTag(std::optional<QUuid> parentID) const;
    void createTag(const QString& name, qint64 colorIndex, std::optional<QUuid> parentID);
    std::optional<QString> newTagParentName() const;
    // The tag column k lists the children of: absent for column 0 and beyond the path.
    std::optional<QUuid> columnTagID(qsizetype column) const;
    // Asks for the new-tag sheet for a tag inside the current tag, or inside column k's tag.
    void requestNewTag();
    void requestNewTagInColumn(qsizetype column);
    void beginRename(const TagNode& tag);
    void cancelInlineEdit();
    void renameTag(QUuid id, const QString& newName);
    void commitInlineEdit();
    void deleteTag(QUuid id);
    void moveTag(QUuid id, std::optional<QUuid> newParentID);
    void setColorIndex(qint64 colorIndex, QUuid tagID);
    void setCustomColorHex(std::optional<QString> hex, QUuid tagID);
    void setIconName(std::optional<QString> iconName, QUuid tagID);
    void setCustomIconData(std::optional<QByteArray> data, QUuid tagID);

    // Selection, clicks and drops.
    enum class SelectMode { Replace, Toggle };
    void clickFile(const FileItem& file, qsizetype column, bool fromGrid,
                   SelectMode mode = SelectMode::Replace);
    void selectFile(const FileItem& file, SelectMode mode);
    void clickTag(const TagNode& tag);
    void clickColumnTag(const TagNode& tag, qsizetype column, bool isEditing);
    void clickGridBackground();
    void clickColumnBackground();
    std::optional<QUuid> highlightedTagID(qsizetype column) const;
    QList<QUrl> selectedFileURLs() const;
    QList<FileItem> selectedFiles() const;
    void openFile(const FileItem& file);
    // Reads a file's preview off the user interface thread; `done` runs on `receiver`'s thread
    // unless it is gone.
    void loadPreview(const QUrl& url, QObject* receiver,
                     std::function<void(const FilePreview&)> done);
    void revealFile(const FileItem& file);
    void applyTags(const QList<QUrl>& urls, const QStringList& adding, const QStringList& removing);
    struct DropNames {
        QStringList adding;
        QStringList removing;
        QString note;                  // said with the drop's summary
        QList<TagEdit::Guard> guards;  // names other tags share, kept on their files
        QStringList cutBelow;          // KDE's path entries below this path are cut back to it
        TagEdit edit() const { return {adding, removing, {}, {}, cutBelow, cutBelow, guards}; }
    };
    // A drop's or lift's edit of the files, journaled and undoable; `note` is said with it.
    // `finished` hears, once the files are done, what went wrong (empty when nothing did).
    using Finished = std::function<void(const QString& trouble)>;
    void applyEdit(const QList<QUrl>& urls, const TagEdit& edit, const QString& note = {},
                   Finished finished = {});
    // Tags given by name or tree path (a script's "Projects/Client") put on or taken off the
    // files as the window's own edits are, undoable.
    void editFromScript(const QList<QByteArray>& paths, const QStringList& tags, bool tagging,
                        Finished finished);
    // The tag a script names (a name or a tree path) renamed in the tree and on its files, as
    // the rename field does.
    void renameFromScript(const QString& tag, const QString& newName, Finished finished);
    // Opens the file's deepest tag (the longest path of the tree whose names it carries) with
    // the file selected; the top of the tree when it carries none.
    void showFile(const QByteArray& path);
    DropNames dropTargetNames(qsizetype column) const;
    bool handleColumnDrop(const QMimeData& data, qsizetype column);
    bool handleTagDrop(const QMimeData& data, const QUuid& tagID);
    bool handleCurrentFilesDrop(const QMimeData& data);
    void dragEntered(const QUuid& tagID);
    void dragLeft(const QUuid& tagID);

    // Keyboard.
    void moveUp();
    void moveDown();
    void moveLeft();
    void moveRight();
    void moveInGrid(qint64 step);
    void moveInColumns(qint64 step);
    void selectGridItem(qsizetype index);
    // Type-ahead: selects the next tag or file of the focused column (or the grid) whose name
    // begins with what was typed; the same letter again steps to the next such item.
    void selectByPrefix(const QString& typed);

    // Finding a tag anywhere in the tree by part of its name, case and accents aside; every tag
    // in the tree's order when nothing is typed.
    struct FoundTag {
        QUuid id;
        QString name;
        QString path;  // "Projects › Client": the names from the root, the tag's own last
    };
    QList<FoundTag> findTags(const QString& text) const;
    // Opens a tag where it stands in the tree, in either view.
    void showTag(QUuid id);

    // Untagging: the tag whose list holds the selected files, and the menu's words for taking
    // its name off them ("Remove “Client” from 3 Files"; empty when there is none).
    std::optional<QUuid> selectedFilesTagID();
    QString removeFromFilesLabel();
    void removeTagFromSelectedFiles();
    // The Tags dialog: what the selected files carry, and the changes the user checked, made
    // to every one of `files` (the selection the dialog opened for) as one undoable step. A tag
    // checked gives its ancestors' names too.
    TagChoices tagChoicesForSelection() const;
    TagChoices tagChoicesFor(const QList<FileItem>& files) const;
    // The files at these paths with their tags, read off the user interface thread; `done` runs
    // on the main thread unless the view model is gone.
    void readFiles(const QList<QByteArray>& paths,
                   std::function<void(const QList<FileItem>&)> done);
    struct TagChanges {
        QList<QUuid> checked;
        QList<QUuid> unchecked;
        QStringList namesChecked;  // names the tree lacks
        QStringList namesUnchecked;
    };
    void applyTagChanges(const QList<QUrl>& files, const TagChanges& changes);

    // The menu bar's commands. The selected tag is the selected tile in the icon view and the
    // tag opened last in the column view.
    const TagNode* selectedTag() const;
    bool canOpenSelection() const;
    // Opens the selected files, else enters the selected tile's tag.
    void openSelection();
    void revealSelection();
    void beginRenameOfSelection();
    void deleteSelectedTag();

    // Undo and redo of tree edits and of the changes made to files.
    std::optional<QString> undoLabel() const;  // "Undo Rename “Beta”"; absent: nothing to undo
    std::optional<QString> redoLabel() const;
    void undo();
    void redo();

    // Waits until background file work queued so far, the lists it reloads and the tree's
    // saves are done (tests).
    void waitForFileWork();
    bool isFileWorkIdle() const;
    // At a quit, a logout or Ctrl+C: the running batch of file work is finished and recorded,
    // the rest is left to the journal; lists stop loading. Nothing is started afterwards.
    void shutDown();

signals:
    void hierarchyChanged();
    void navigationPathChanged();
    void viewModeChanged();
    void currentFilesChanged();
    void isLoadingFilesChanged();
    void filesPerTagChanged();
    void loadingTagIDsChanged();
    void showNewTagSheetChanged();
    void newTagParentIDChanged();
    void dragTargetTagIDChanged();
    void selectedFileIDsChanged();
    void selectedTagIDChanged();
    void suggestFullDiskAccessChanged();
    void columnWidthChanged();
    void iconGridColumnsPerRowChanged();
    void matchAllTagsChanged();
    void writesNestedTagsAsPathsChanged();
    void statusActionChanged();
    void inlineEditingTagIDChanged();
    void inlineEditingTextChanged();
    void treeSaveProblemChanged();
    void fileWorkStatusChanged();
    void fileWorkProblemChanged();
    // File work queued so far is done (the lists reload after it).
    void fileWorkIdle();
    void indexNoticeChanged();
    void historyChanged();

private:
    template <typename T>
    void assign(T& field, const T& value, void (AppViewModel::*changed)());
    void setHierarchy(QList<TagNode> hierarchy);
    void setNavigationPath(QList<QUuid> path);
    void setCurrentFiles(QList<FileItem> files);
    void setIsLoadingFiles(bool loading);
    void setFilesPerTag(QHash<QUuid, QList<FileItem>> files);
    void setLoadingTagIDs(QSet<QUuid> ids);
    void setInlineEditingTagID(std::optional<QUuid> id);
    void removeCachedFiles(const QList<QUuid>& ids);
    // False (and lastSaveError set) when the tree file could not be written.
    bool saveHierarchy();
    // For a change nothing waits on (names merged from the files): the window does not wait
    // for the disk.
    void saveHierarchyInBackground();
    void mergeNamesOnFiles(const QStringList& names, bool crawled);
    void refreshFromIndex(const QStringList& changedNames);
    int joinNames(const QList<FinderTag>& tags, bool confirmed);
    // Changes one tag and saves; `label` names the undo step, "%1" standing for the tag's name.
    void updateTag(QUuid id, const QString& label, const std::function<void(TagNode&)>& change);
    // Changes the tree, saves it and records the undo step (with its file operation, if any);
    // `ids` are the tags the change touches. When the tree cannot be saved the change is
    // refused, said, and false returned.
    bool editTree(const QString& label, const QList<QUuid>& ids,
                  const std::function<void(QList<TagNode>&)>& change, qint64 files = 0,
                  std::optional<FileJournal::TreeRename> rename = std::nullopt);
    // Says in the status line that an action was not done, and why.
    void refuse(const QString& label, const QString& reason);
    void receiveLoadedFiles(const QUuid& id, QList<FileItem> files, bool complete);
    void dropUnlistedSelection();
    void setFileWorkStatus(const QString& text);
    // Queues a journal operation with the status line's words for it; `then` runs when done.
    // `finished` hears what went wrong (empty when nothing did), also when the work could not
    // be planned.
    void enqueueOperation(qint64 op, const FileWorkStatus::Verb& verb,
                          std::function<void(const FileWork::Summary&)> then = {},
                          std::function<void()> started = {}, Finished finished = {});
    // With the name another tag shares, the status line says how many files kept it for that tag.
    void renameOnFiles(qint64 op, const QString& sharedName = {}, Finished finished = {});
    // The tag renamed in the tree and on every file that carries its name, as one undoable step.
    void renameEverywhere(const QUuid& id, const QString& trimmed, Finished finished = {});
    // Path entries moved or taken off by a move or delete; `op` is in the journal already.
    void rewritePathsOnFiles(qint64 op);
    // Says in the status line how many files of a tag just nested lack a name along its path.
    void sayHiddenFiles(const QUuid& id);
    // The journal's operation for a tree edit's path entries: its id, or -1 when it could not
    // be written (said in the status line).
    qint64 beginPathWork(const QString& label, const TagEdit& edit);
    void reloadAfterFileWork();
    void keepTagsThroughSave(const QByteArray& path, const QByteArray& value);
    // The names an operation takes off files (an undo's edit is the one it takes back,
    // inverted); they are not merged back into the tree this session.
    void noteNamesLeaving(const FileJournal::Operation& operation);
    void pushUndoStep(UndoHistory::Step step);
    void takeBack(bool undo);
    // Ends the path above the first id that names no tag any more.
    void keepNavigationInTree();
    void followMovedTag(const QUuid& id);
    void requestNewTagUnder(std::optional<QUuid> parentID);
    QList<FileItem> filesOfColumn(qsizetype column) const;
    struct GridItems {
        QList<TagNode> tags;
        QList<FileItem> files;
    };
    GridItems gridItems();
    std::optional<qsizetype> gridFocus(const GridItems& items) const;
    // The column holding the keyboard focus: its tags, then its files, and where the focus is.
    struct ColumnFocus {
        qsizetype column = -1;  // none when the selected file is in no column
        QList<TagNode> tags;
        QList<FileItem> files;
        std::optional<qsizetype> position;
    };
    ColumnFocus columnFocus();
    void selectInColumn(const ColumnFocus& focus, qsizetype index);
    void selectOnlyFile(const QString& id);
    // The names from the root down to the tag, the tag's own last; empty when it is gone.
    QStringList pathNames(const QUuid& tagID) const;
    void tagWithPath(const QList<QUrl>& files, const QUuid& tagID);

    Services m_services;
    std::unique_ptr<FileJournal> m_ownJournal;
    FileJournal* m_journal = nullptr;
    FileWorkQueue* m_fileWork = nullptr;
    HiddenFilesCheck* m_hiddenFilesCheck = nullptr;
    QString m_statusAction;
    QList<QByteArray> m_hiddenFiles;  // what the status line's button tags
    QStringList m_hiddenFilesPath;
    UndoHistory m_history;
    QString m_fileWorkStatus;
    QString m_fileWorkProblem;
    QString m_lastSaveError;
    // The names on files joined to the tree; it knows which names this session's edits take off
    // files (and which tags the user deleted), which do not come back this session.
    NameMerge m_nameMerge;
    int m_namesAsked = 0;
    // Files whose tags wait to be put back after another program's save; one wait each.
    QSet<QByteArray> m_restoresWaiting;
    QString m_indexNotice;
    QTimer m_statusTimer;

    QList<TagNode> m_hierarchy;
    QHash<QUuid, QList<TagNode>> m_sortedChildrenCache;  // null id = root level
    QList<QUuid> m_navigationPath;
    ViewMode m_viewMode = ViewMode::Column;
    QList<FileItem> m_currentFiles;
    bool m_isLoadingFiles = false;
    QHash<QUuid, QList<FileItem>> m_filesPerTag;
    QSet<QUuid> m_loadingTagIDs;
    bool m_showNewTagSheet = false;
    std::optional<QUuid> m_newTagParentID;
    std::optional<QUuid> m_dragTargetTagID;
    QSet<QString> m_selectedFileIDs;
    std::optional<QUuid> m_selectedTagID;
    bool m_suggestFullDiskAccess = false;
    double m_columnWidth = 220.0;
    qint64 m_iconGridColumnsPerRow = 5;
    bool m_matchAllTags = true;
    NestedTagStyle m_nestedTagStyle;
    std::optional<QUuid> m_inlineEditingTagID;
    QString m_inlineEditingText;
    std::optional<QString> m_lastClickedFileID;
    std::optional<double> m_lastClickTime;
    std::optional<QUuid> m_lastClickedTagID;
    std::optional<double> m_lastTagClickTime;

    // Set when the saved file existed but could not be read: it is kept aside before the first
    // save replaces it.
    bool m_keepUnreadableFileBeforeSave = false;
    QString m_treeSaveProblem;
    TreeSaves m_treeSaves;
    // Declared last, so destroyed first: the lists it delivers are filtered by the fields above.
    std::unique_ptr<FileListLoader> m_lists;
};

template <typename T>
void AppViewModel::assign(T& field, const T& value, void (AppViewModel::*changed)()) {
    const bool same = field == value;
    field = value;
    if (!same) {
        emit(this->*changed)();
    }
}
