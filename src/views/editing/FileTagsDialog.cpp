#include "views/editing/FileTagsDialog.h"

#include "state/AppViewModel.h"
#include "views/common/TagFindList.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

constexpr int kTagRole = Qt::UserRole;
constexpr int kStartRole = Qt::UserRole + 1;

Qt::CheckState checkState(TagChoices::State state) {
    switch (state) {
        case TagChoices::State::All:
            return Qt::Checked;
        case TagChoices::State::Some:
            return Qt::PartiallyChecked;
        case TagChoices::State::None:
            break;
    }
    return Qt::Unchecked;
}

// A box that starts partly checked may go back to "leave as it is".
Qt::ItemFlags checkFlags(Qt::CheckState start) {
    Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsUserCheckable | Qt::ItemIsSelectable;
    return start == Qt::PartiallyChecked ? flags | Qt::ItemIsUserTristate : flags;
}

// Whether a box was changed, and to checked or unchecked; only a box that started partly
// checked can be partly checked again, which is no change.
std::optional<bool> changed(Qt::CheckState start, Qt::CheckState now) {
    if (now == start) {
        return std::nullopt;
    }
    return now == Qt::Checked;
}

}  // namespace

FileTagsDialog::FileTagsDialog(AppViewModel& model, QWidget* parent)
    : FileTagsDialog(model, model.selectedFiles(), parent) {}

FileTagsDialog::FileTagsDialog(AppViewModel& model, const QList<FileItem>& files, QWidget* parent)
    : QDialog(parent), m_model(model), m_choices(model.tagChoicesFor(files)) {
    setObjectName("fileTagsDialog");
    for (const FileItem& file : files) {
        m_files.append(file.url);
    }
    setWindowTitle(files.size() == 1
                       ? QStringLiteral("Tags of \u201c%1\u201d").arg(files.first().name)
                       : QStringLiteral("Tags of %1 Files").arg(files.size()));
    setMinimumSize(340, 420);
    m_find = TagFindList::makeField(this);
    m_tags = new QTreeWidget(this);
    m_tags->setObjectName("tagChoices");
    m_tags->setAccessibleName("Tags");
    m_tags->setHeaderHidden(true);
    fill(model.hierarchy(), nullptr);
    m_tags->expandAll();
    m_others = new QListWidget(this);
    m_others->setObjectName("otherNames");
    m_others->setAccessibleName("Names Not in the Tree");
    for (const QString& name : m_choices.otherNames()) {
        auto* item = new QListWidgetItem(name, m_others);
        const Qt::CheckState start = checkState(m_choices.stateOf(name));
        item->setFlags(checkFlags(start));
        item->setCheckState(start);
        item->setData(kStartRole, start);
    }
    auto* othersLabel = new QLabel("Names on the files that the tree lacks:", this);
    othersLabel->setVisible(m_others->count() > 0);
    m_others->setVisible(m_others->count() > 0);
    m_others->setMaximumHeight(120);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_find);
    layout->addWidget(m_tags, 1);
    layout->addWidget(othersLabel);
    layout->addWidget(m_others);
    layout->addWidget(buttons);
    connect(m_find, &QLineEdit::textChanged, this, &FileTagsDialog::filter);
    connect(buttons, &QDialogButtonBox::accepted, this, &FileTagsDialog::apply);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    m_find->setFocus();
}

void FileTagsDialog::openFor(AppViewModel& model, QWidget* window) {
    openFor(model, model.selectedFiles(), window);
}

void FileTagsDialog::openFor(AppViewModel& model, const QList<FileItem>& files, QWidget* window) {
    if (files.isEmpty()) {
        return;
    }
    auto* dialog = new FileTagsDialog(model, files, window);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->open();
}

void FileTagsDialog::fill(const QList<TagNode>& nodes, QTreeWidgetItem* parent) {
    for (const TagNode& node : m_model.sortedChildren(
             nodes, parent ? std::optional(parent->data(0, kTagRole).toUuid()) : std::nullopt)) {
        auto* item = parent ? new QTreeWidgetItem(parent) : new QTreeWidgetItem(m_tags);
        item->setText(0, node.name);
        item->setData(0, kTagRole, node.id);
        const Qt::CheckState start = checkState(m_choices.stateOf(node.id));
        item->setFlags(checkFlags(start));
        item->setCheckState(0, start);
        item->setData(0, kStartRole, start);
        fill(node.children, item);
    }
}

void FileTagsDialog::filter(const QString& text) {
    // The tags found, with the tags above them, so each shows where it stands.
    QSet<QUuid> shown;
    for (const auto& found : m_model.findTags(text)) {
        shown.insert(found.id);
    }
    for (QTreeWidgetItemIterator it(m_tags); *it; ++it) {
        (*it)->setHidden(true);
    }
    for (QTreeWidgetItemIterator it(m_tags); *it; ++it) {
        if (shown.contains((*it)->data(0, kTagRole).toUuid())) {
            for (QTreeWidgetItem* item = *it; item; item = item->parent()) {
                item->setHidden(false);
            }
        }
    }
}

void FileTagsDialog::apply() {
    AppViewModel::TagChanges changes;
    for (QTreeWidgetItemIterator it(m_tags); *it; ++it) {
        const auto start = static_cast<Qt::CheckState>((*it)->data(0, kStartRole).toInt());
        if (const auto on = changed(start, (*it)->checkState(0))) {
            (*on ? changes.checked : changes.unchecked).append((*it)->data(0, kTagRole).toUuid());
        }
    }
    for (int row = 0; row < m_others->count(); ++row) {
        const QListWidgetItem* item = m_others->item(row);
        const auto start = static_cast<Qt::CheckState>(item->data(kStartRole).toInt());
        if (const auto on = changed(start, item->checkState())) {
            (*on ? changes.namesChecked : changes.namesUnchecked).append(item->text());
        }
    }
    accept();
    m_model.applyTagChanges(m_files, changes);
}
