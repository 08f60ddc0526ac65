#include "views/common/TagFindList.h"

#include "state/AppViewModel.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QVBoxLayout>

namespace {

constexpr int kTagRole = Qt::UserRole;

}  // namespace

TagFindList::TagFindList(AppViewModel& model, bool topLevel, QWidget* parent)
    : QWidget(parent), m_model(model), m_topLevel(topLevel) {
    m_field = makeField(this);
    m_field->installEventFilter(this);
    m_list = new QListWidget(this);
    m_list->setObjectName("findResults");
    m_list->setAccessibleName("Tags Found");
    // The field keeps the focus: the keys that choose in the list are the field's.
    m_list->setFocusPolicy(Qt::NoFocus);
    m_list->setUniformItemSizes(true);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_field);
    layout->addWidget(m_list);
    connect(m_field, &QLineEdit::textChanged, this, &TagFindList::refill);
    connect(m_list, &QListWidget::itemClicked, this, &TagFindList::taken);
    // Kept hidden in the window: filled when it opens, not at every change of the tree.
    connect(&m_model, &AppViewModel::hierarchyChanged, this, [this] {
        if (isVisible()) {
            refill();
        }
    });
    refill();
}

QLineEdit* TagFindList::makeField(QWidget* parent) {
    auto* field = new QLineEdit(parent);
    field->setObjectName("findField");
    field->setPlaceholderText("Find Tag");
    field->setAccessibleName("Find Tag");
    field->setClearButtonEnabled(true);
    return field;
}

void TagFindList::refill() {
    m_list->clear();
    if (m_topLevel && m_field->text().isEmpty()) {
        auto* top = new QListWidgetItem("Tags (top level)", m_list);
        top->setData(kTagRole, QVariant());
    }
    for (const auto& found : m_model.findTags(m_field->text())) {
        if (m_excluded.contains(found.id)) {
            continue;
        }
        auto* item = new QListWidgetItem(found.path, m_list);
        item->setData(kTagRole, found.id);
        item->setToolTip(found.path);
    }
    m_list->setCurrentRow(m_list->count() > 0 ? 0 : -1);
}

std::optional<std::optional<QUuid>> TagFindList::chosen() const {
    const QListWidgetItem* item = m_list->currentItem();
    if (!item) {
        return std::nullopt;
    }
    const QVariant id = item->data(kTagRole);
    return id.isValid() ? std::optional(id.toUuid()) : std::optional<QUuid>();
}

void TagFindList::setExcluded(const QSet<QUuid>& ids) {
    m_excluded = ids;
    refill();
}

void TagFindList::clear() {
    m_field->clear();
    refill();
}

bool TagFindList::eventFilter(QObject* watched, QEvent* event) {
    if (watched != m_field || event->type() != QEvent::KeyPress) {
        return QWidget::eventFilter(watched, event);
    }
    const auto* key = static_cast<QKeyEvent*>(event);
    const int row = m_list->currentRow();
    switch (key->key()) {
        case Qt::Key_Down:
            m_list->setCurrentRow(std::min(row + 1, m_list->count() - 1));
            return true;
        case Qt::Key_Up:
            m_list->setCurrentRow(std::max(row - 1, 0));
            return true;
        case Qt::Key_Return:
        case Qt::Key_Enter:
            if (chosen()) {
                emit taken();
            }
            return true;
        case Qt::Key_Escape:
            emit cancelled();
            return true;
        default:
            return false;
    }
}
