// Drops of files and tags on tags, columns and the current tag's files.
#include "services/DropRoutine.h"
#include "state/AppViewModel.h"
#include "state/SharedNames.h"

#include <QPointer>

AppViewModel::DropNames AppViewModel::dropTargetNames(qsizetype column) const {
    if (column == m_navigationPath.size() && column > 0) {
        const auto names = m_nestedTagStyle.namesFor(pathNames(m_navigationPath.last()));
        return {names.adding, {}, names.note, {}, {}};
    }
    if (column == 0) {
        return {{}, allTagNames(m_hierarchy), {}, {}, {}};
    }
    if (column < 1 || column - 1 >= m_navigationPath.size()) {
        return {};
    }
    const QUuid lifted = m_navigationPath[column - 1];
    const TagNode* tag = findTag(lifted, m_hierarchy);
    return {{},
            tag ? allTagNames(tag->children) : QStringList(),
            {},
            SharedNames::forLift(m_hierarchy, lifted),
            pathNames(lifted)};
}

QStringList AppViewModel::pathNames(const QUuid& tagID) const {
    const TagNode* tag = findTag(tagID, m_hierarchy);
    if (!tag) {
        return {};
    }
    QStringList names;
    ancestorNames(tagID, m_hierarchy, names);
    names.append(tag->name);
    return names;
}

void AppViewModel::tagWithPath(const QList<QUrl>& files, const QUuid& tagID) {
    // A tag deleted while the drop loaded adds nothing.
    if (const QStringList path = pathNames(tagID); !path.isEmpty()) {
        const auto names = m_nestedTagStyle.namesFor(path);
        applyEdit(files, TagEdit::add(names.adding), names.note);
    }
}

bool AppViewModel::handleColumnDrop(const QMimeData& data, qsizetype column) {
    QPointer<AppViewModel> self(this);
    return DropRoutine::handle(
        data, this,
        [self, column](const QList<QUrl>& files) {
            if (self) {
                const DropNames names = self->dropTargetNames(column);
                self->applyEdit(files, names.edit(), names.note);
            }
        },
        [self, column](const QUuid& id) {
            if (!self) {
                return;
            }
            std::optional<QUuid> parent;
            if (column > 0 && column - 1 < self->m_navigationPath.size()) {
                parent = self->m_navigationPath[column - 1];
            } else if (column > 0) {
                return;  // a column beyond the path belongs to no tag
            }
            self->moveTag(id, parent);
        });
}

bool AppViewModel::handleTagDrop(const QMimeData& data, const QUuid& tagID) {
    QPointer<AppViewModel> self(this);
    return DropRoutine::handle(
        data, this,
        [self, tagID](const QList<QUrl>& files) {
            if (self) {
                self->tagWithPath(files, tagID);
            }
        },
        [self, tagID](const QUuid& id) {
            if (self) {
                self->moveTag(id, tagID);
            }
        });
}

bool AppViewModel::handleCurrentFilesDrop(const QMimeData& data) {
    if (m_navigationPath.isEmpty()) {
        return false;
    }
    const QUuid current = m_navigationPath.last();
    QPointer<AppViewModel> self(this);
    return DropRoutine::handle(
        data, this,
        [self, current](const QList<QUrl>& files) {
            if (self) {
                self->tagWithPath(files, current);
            }
        },
        nullptr);
}

void AppViewModel::dragEntered(const QUuid& tagID) {
    setDragTargetTagID(tagID);
}

void AppViewModel::dragLeft(const QUuid& tagID) {
    // Entering the next zone may come before leaving the last one.
    if (m_dragTargetTagID == tagID) {
        setDragTargetTagID(std::nullopt);
    }
}
