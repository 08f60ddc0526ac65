#include "views/editing/MoveToDialog.h"

#include "state/AppViewModel.h"
#include "views/common/TagFindList.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

void collectIDs(const TagNode& node, QSet<QUuid>& ids) {
    ids.insert(node.id);
    for (const TagNode& child : node.children) {
        collectIDs(child, ids);
    }
}

}  // namespace

MoveToDialog::MoveToDialog(AppViewModel& model, QUuid tagID, QWidget* parent)
    : QDialog(parent), m_model(model), m_tagID(tagID) {
    setObjectName("moveToDialog");
    const TagNode* tag = AppViewModel::findTag(tagID, model.hierarchy());
    const QString name = tag ? tag->name : QString();
    setWindowTitle(QStringLiteral("Move \u201c%1\u201d To").arg(name));
    setMinimumWidth(340);
    m_list = new TagFindList(model, true, this);
    QSet<QUuid> below;
    if (tag) {
        collectIDs(*tag, below);  // a tag cannot move into itself or below itself
    }
    m_list->setExcluded(below);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setText("Move");
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("Move \u201c%1\u201d into:").arg(name), this));
    layout->addWidget(m_list);
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &MoveToDialog::move);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(m_list, &TagFindList::taken, this, &MoveToDialog::move);
    connect(m_list, &TagFindList::cancelled, this, &QDialog::reject);
    m_list->field()->setFocus();
}

void MoveToDialog::openFor(AppViewModel& model, QUuid tagID, QWidget* window) {
    auto* dialog = new MoveToDialog(model, tagID, window);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->open();
}

void MoveToDialog::move() {
    const auto chosen = m_list->chosen();
    if (!chosen) {
        return;  // nothing matches what was typed
    }
    accept();
    m_model.moveTag(m_tagID, *chosen);
}
