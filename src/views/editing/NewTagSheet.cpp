#include "views/editing/NewTagSheet.h"

#include "platform/TagNames.h"
#include "state/AppViewModel.h"
#include "views/common/Colors.h"
#include "views/editing/ColorSwatchRow.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

NewTagSheet::NewTagSheet(AppViewModel& model, QWidget* parent) : QDialog(parent), m_model(model) {
    setObjectName("newTagSheet");
    setWindowTitle("New Tag");
    setWindowModality(Qt::WindowModal);
    setupWidgets();
}

namespace {

constexpr int kWidth = 320;
constexpr int kMargin = 28;

}  // namespace

void NewTagSheet::setupWidgets() {
    auto* stack = new QVBoxLayout(this);
    stack->setContentsMargins(kMargin, kMargin, kMargin, kMargin);
    stack->setSpacing(20);
    // The sheet is as large as its content, which the name field makes 320 wide.
    stack->setSizeConstraint(QLayout::SetFixedSize);

    auto* title = new QLabel("New Tag", this);
    QFont headline = title->font();
    headline.setPixelSize(13);
    headline.setBold(true);
    title->setFont(headline);
    stack->addWidget(title, 0, Qt::AlignHCenter);

    m_name = new QLineEdit(this);
    m_name->setObjectName("tagName");
    m_name->setPlaceholderText("Tag name");
    m_name->setFixedWidth(kWidth - 2 * kMargin);
    stack->addWidget(m_name, 0, Qt::AlignHCenter);

    m_swatches = new ColorSwatchRow(this);
    stack->addWidget(m_swatches, 0, Qt::AlignHCenter);

    if (const auto parentName = m_model.newTagParentName()) {
        auto* parentLine = new QLabel("Will be created inside \"" + *parentName + "\"", this);
        parentLine->setObjectName("parentLine");
        QFont caption = parentLine->font();
        caption.setPixelSize(10);
        parentLine->setFont(caption);
        QPalette colors = parentLine->palette();
        colors.setColor(QPalette::WindowText, Colors::secondaryText(colors));
        parentLine->setPalette(colors);
        stack->addWidget(parentLine, 0, Qt::AlignHCenter);
    }

    auto* buttons = new QHBoxLayout;
    buttons->setSpacing(12);
    auto* cancel = new QPushButton("Cancel", this);
    cancel->setObjectName("cancel");
    m_create = new QPushButton("Create", this);
    m_create->setObjectName("create");
    m_create->setDefault(true);
    m_create->setEnabled(false);
    buttons->addWidget(cancel);
    buttons->addWidget(m_create);
    stack->addLayout(buttons);
    stack->setAlignment(buttons, Qt::AlignHCenter);

    // Escape rejects the dialog, which is Cancel.
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_create, &QPushButton::clicked, this, &NewTagSheet::create);
    // Return in the name field presses the default button, Create, and only while it is
    // enabled.
    connect(m_name, &QLineEdit::textChanged, this,
            [this] { m_create->setEnabled(!trimmedName().isEmpty()); });
}

QString NewTagSheet::trimmedName() const {
    return TagNames::trimmed(m_name->text());
}

void NewTagSheet::create() {
    const QString name = trimmedName();
    if (name.isEmpty()) {
        return;
    }
    m_model.createTag(name, m_swatches->colorIndex(), m_model.newTagParentID());
    accept();
}
