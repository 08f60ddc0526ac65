// Finding a tag by name, opening it where it stands, and taking a tag off selected files.
#include "model/TagTree.h"
#include "platform/FilePaths.h"
#include "platform/FileTagStore.h"
#include "platform/TagIndexTable.h"
#include "platform/TagNames.h"
#include "services/FileItems.h"
#include "services/FileTagging.h"
#include "state/AppViewModel.h"
#include "state/FileWorkStatus.h"

#include <QPointer>
#include <QThreadPool>

#include <algorithm>

namespace {

struct Match {
    AppViewModel::FoundTag tag;
    bool begins;  // the name begins with what was typed
    int depth;
};

void collectMatches(const QList<TagNode>& nodes, const QString& key, const QString& above,
                    int depth, QList<Match>& found) {
    for (const TagNode& node : nodes) {
        const QString path =
            above.isEmpty() ? node.name : above + QStringLiteral(" \u203a ") + node.name;
        const QString name = TagNames::searchKey(node.name);
        if (key.isEmpty() || name.contains(key)) {
            found.append({{node.id, node.name, path}, name.startsWith(key), depth});
        }
        collectMatches(node.children, key, path, depth + 1, found);
    }
}

}  // namespace

QList<AppViewModel::FoundTag> AppViewModel::findTags(const QString& text) const {
    const QString key = TagNames::searchKey(TagNames::trimmed(text));
    QList<Match> matches;
    collectMatches(m_hierarchy, key, {}, 0, matches);
    // With nothing typed, every tag in the tree's order; else the names that begin with what
    // was typed first, then the shallower, then by path.
    if (!key.isEmpty()) {
        std::stable_sort(matches.begin(), matches.end(), [](const Match& a, const Match& b) {
            if (a.begins != b.begins) {
                return a.begins;
            }
            if (a.depth != b.depth) {
                return a.depth < b.depth;
            }
            return a.tag.path.localeAwareCompare(b.tag.path) < 0;
        });
    }
    QList<FoundTag> found;
    found.reserve(matches.size());
    for (const Match& match : std::as_const(matches)) {
        found.append(match.tag);
    }
    return found;
}

void AppViewModel::showTag(QUuid id) {
    if (!findTag(id, m_hierarchy)) {
        return;  // deleted while the finder was open
    }
    commitInlineEdit();
    QList<QUuid> path = TagTree::ancestorIDs(id, m_hierarchy);
    path.append(id);
    setNavigationPath(std::move(path));
    clearSelection();
    loadFilesForCurrentTag();
}

std::optional<QUuid> AppViewModel::selectedFilesTagID() {
    if (m_selectedFileIDs.isEmpty() || m_navigationPath.isEmpty()) {
        return std::nullopt;
    }
    if (m_viewMode == ViewMode::Icon) {
        return m_navigationPath.last();
    }
    const ColumnFocus focus = columnFocus();
    if (focus.column < 1) {
        return std::nullopt;
    }
    return m_navigationPath[focus.column - 1];
}

QString AppViewModel::removeFromFilesLabel() {
    const auto id = selectedFilesTagID();
    const TagNode* tag = id ? findTag(*id, m_hierarchy) : nullptr;
    if (!tag) {
        return {};
    }
    return QStringLiteral("Remove \u201c%1\u201d from %2")
        .arg(tag->name, FileWorkStatus::fileCountLabel(m_selectedFileIDs.size()));
}

void AppViewModel::removeTagFromSelectedFiles() {
    const auto id = selectedFilesTagID();
    const QStringList path = id ? pathNames(*id) : QStringList();
    if (path.isEmpty()) {
        return;
    }
    // KDE's path entries through the tag lose it and keep the rest ("A/B/C" becomes "A/B"), so
    // the files leave its list whichever way they carry it.
    const QList<QUrl> urls = selectedFileURLs();
    setSelectedFileIDs({});
    applyEdit(urls, TagEdit::untagging(path));
}

TagChoices AppViewModel::tagChoicesForSelection() const {
    return tagChoicesFor(selectedFiles());
}

TagChoices AppViewModel::tagChoicesFor(const QList<FileItem>& files) const {
    return TagChoices(m_hierarchy, files);
}

void AppViewModel::readFiles(const QList<QByteArray>& paths,
                             std::function<void(const QList<FileItem>&)> done) {
    QPointer<AppViewModel> self(this);
    const FileTagStore& store = m_services.tagStore;
    QThreadPool::globalInstance()->start([self, paths, &store, done] {
        const QList<FileItem> files = FileItems::makeFileItems(paths, std::nullopt, {}, store);
        QMetaObject::invokeMethod(
            self.data(),
            [self, files, done] {
                if (self) {
                    done(files);
                }
            },
            Qt::QueuedConnection);
    });
}

void AppViewModel::applyTagChanges(const QList<QUrl>& files, const TagChanges& changes) {
    // One tag unchecked also takes KDE's path entries through it, as untagging does; more are
    // taken off by name, a path entry going when all its names go.
    TagEdit edit;
    if (changes.unchecked.size() == 1) {
        if (const QStringList path = pathNames(changes.unchecked.first()); !path.isEmpty()) {
            edit = TagEdit::untagging(path);
        }
    } else {
        for (const QUuid& id : changes.unchecked) {
            if (const TagNode* tag = findTag(id, m_hierarchy)) {
                edit.removing.append(tag->name);
            }
        }
    }
    edit.removing += changes.namesUnchecked;
    for (const QUuid& id : changes.checked) {
        for (const QString& name : m_nestedTagStyle.namesFor(pathNames(id)).adding) {
            if (!edit.adding.contains(name)) {
                edit.adding.append(name);
            }
        }
    }
    edit.adding += changes.namesChecked;
    applyEdit(files, edit);
}

void AppViewModel::showFile(const QByteArray& path) {
    // One small read: the file's own list says where it sits in the tree.
    const auto names = m_services.tagStore.read(path);
    const QStringList keyList =
        TagIndexTable::keysFor(names ? FileTagging::decodeNames(*names) : QStringList());
    const QSet<QString> keys(keyList.begin(), keyList.end());
    std::optional<QUuid> deepest;
    qsizetype depth = 0;
    std::function<void(const QList<TagNode>&, qsizetype)> visit = [&](const QList<TagNode>& nodes,
                                                                      qsizetype level) {
        for (const TagNode& node : nodes) {
            if (!keys.contains(TagNames::matchKey(node.name))) {
                continue;
            }
            if (level > depth) {
                depth = level;
                deepest = node.id;
            }
            visit(node.children, level + 1);
        }
    };
    visit(m_hierarchy, 1);
    if (deepest) {
        showTag(*deepest);
    } else {
        setNavigationPath({});
        clearSelection();
    }
    setSelectedFileIDs({FilePaths::urlFromRawPath(path).toString(QUrl::FullyEncoded)});
}
