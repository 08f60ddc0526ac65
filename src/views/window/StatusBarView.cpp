#include "views/window/StatusBarView.h"

#include "state/AppViewModel.h"
#include "views/common/Colors.h"
#include "views/common/SymbolGlyphs.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

const QString StatusBarView::kBannerText = QStringLiteral(
    "To load all your Finder tags, grant Orvane Full Disk Access in System Settings \u2192 "
    "Privacy & Security \u2192 Full Disk Access, then restart the app.");

StatusBarView::StatusBarView(AppViewModel& model, QWidget* parent)
    : QWidget(parent), m_model(model) {
    setObjectName("statusBar");
    setupWidgets();
    for (auto signal :
         {&AppViewModel::hierarchyChanged, &AppViewModel::navigationPathChanged,
          &AppViewModel::currentFilesChanged, &AppViewModel::suggestFullDiskAccessChanged,
          &AppViewModel::treeSaveProblemChanged, &AppViewModel::fileWorkStatusChanged,
          &AppViewModel::fileWorkProblemChanged, &AppViewModel::indexNoticeChanged,
          &AppViewModel::statusActionChanged}) {
        connect(&m_model, signal, this, &StatusBarView::refresh);
    }
    refresh();
}

void StatusBarView::setupWidgets() {
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    QFont small = font();
    small.setPixelSize(11);

    m_banner = new QWidget(this);
    m_banner->setObjectName("fullDiskAccessBanner");
    m_banner->setAccessibleName("Full Disk Access");
    m_banner->setAccessibleDescription(kBannerText);
    m_banner->setAutoFillBackground(true);
    QPalette bannerColors = m_banner->palette();
    bannerColors.setColor(QPalette::Window, Colors::withAlpha(QColor(255, 149, 0), 0.12));
    m_banner->setPalette(bannerColors);
    auto* bannerRow = new QHBoxLayout(m_banner);
    bannerRow->setContentsMargins(12, 4, 12, 4);
    bannerRow->setSpacing(6);
    m_shield = new QLabel(m_banner);
    auto* text = new QLabel(kBannerText, m_banner);
    text->setObjectName("bannerText");
    text->setFont(small);
    text->setWordWrap(true);
    m_bannerText = text;
    bannerRow->addWidget(m_shield);
    bannerRow->addWidget(text, 1);
    column->addWidget(m_banner);

    m_saveProblem = new QLabel(this);
    m_saveProblem->setObjectName("treeSaveProblem");
    m_saveProblem->setFont(small);
    m_saveProblem->setWordWrap(true);
    m_saveProblem->setContentsMargins(12, 4, 12, 4);
    m_saveProblem->setAutoFillBackground(true);
    m_saveProblem->setPalette(bannerColors);
    column->addWidget(m_saveProblem);

    m_status = new QLabel(this);
    m_status->setObjectName("statusText");
    m_status->setFont(small);
    m_status->setAlignment(Qt::AlignCenter);
    m_status->setContentsMargins(12, 4, 12, 4);
    recolor();
    m_action = new QPushButton(this);
    m_action->setObjectName("statusAction");
    m_action->setFont(small);
    connect(m_action, &QPushButton::clicked, &m_model, &AppViewModel::runStatusAction);
    auto* statusRow = new QHBoxLayout;
    statusRow->addStretch();
    statusRow->addWidget(m_status);
    statusRow->addWidget(m_action);
    statusRow->addStretch();
    column->addLayout(statusRow);
}

void StatusBarView::recolor() {
    const QColor secondary = Colors::secondaryText(palette());
    m_shield->setPixmap(SymbolGlyphs::pixmap("lock.shield", secondary, 11, devicePixelRatioF()));
    for (QLabel* label : {m_bannerText, m_status}) {
        QPalette colors = label->palette();
        colors.setColor(QPalette::WindowText, secondary);
        label->setPalette(colors);
    }
}

void StatusBarView::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::PaletteChange && m_status) {
        recolor();  // the desktop went light or dark
    }
}

void StatusBarView::refresh() {
    m_banner->setVisible(m_model.suggestFullDiskAccess());
    // A problem keeping the tree or the journal outweighs the index's notice; all are said in
    // one place.
    QString problem = m_model.treeSaveProblem();
    for (const QString& next : {m_model.fileWorkProblem(), m_model.indexNotice()}) {
        problem = problem.isEmpty() ? next : problem;
    }
    m_saveProblem->setText(problem);
    m_saveProblem->setVisible(!problem.isEmpty());
    // Work on files, while it runs and for a moment after, says how far it is instead.
    m_status->setText(m_model.fileWorkStatus().isEmpty() ? m_model.statusText()
                                                         : m_model.fileWorkStatus());
    m_action->setText(m_model.statusAction());
    m_action->setVisible(!m_model.statusAction().isEmpty());
}
