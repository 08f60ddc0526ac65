#include "views/window/MainWindow.h"

#include "state/AppViewModel.h"

#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QStatusBar>
#include <QVBoxLayout>

MainWindow::MainWindow(AppViewModel& model, QWidget* parent) : QMainWindow(parent), m_model(model) {
    setWindowTitle("Orvane");
    resize(900, 600);
    setMinimumSize(600, 400);
    setupWidgets();
    setupConnections();
    refreshTags();
    refreshFiles();
    refreshTitle();
}

void MainWindow::setupWidgets() {
    auto* central = new QWidget(this);
    auto* layout = new QVBoxLayout(central);
    m_back = new QPushButton(QIcon::fromTheme("go-previous"), "Back", central);
    m_back->setObjectName("back");
    layout->addWidget(m_back, 0, Qt::AlignLeft);
    auto* lists = new QHBoxLayout;
    m_tags = new QListWidget(central);
    m_tags->setObjectName("tags");
    m_files = new QListWidget(central);
    m_files->setObjectName("files");
    lists->addWidget(m_tags, 1);
    lists->addWidget(m_files, 2);
    layout->addLayout(lists);
    setCentralWidget(central);
}

void MainWindow::setupConnections() {
    connect(&m_model, &AppViewModel::hierarchyChanged, this, &MainWindow::refreshTags);
    connect(&m_model, &AppViewModel::navigationPathChanged, this, [this] {
        refreshTags();
        refreshTitle();
    });
    connect(&m_model, &AppViewModel::currentFilesChanged, this, &MainWindow::refreshFiles);
    connect(&m_model, &AppViewModel::isLoadingFilesChanged, this, &MainWindow::refreshFiles);
    connect(m_back, &QPushButton::clicked, &m_model, &AppViewModel::goBack);
    connect(m_tags, &QListWidget::itemActivated, this, [this](QListWidgetItem* item) {
        m_model.openTag(item->data(Qt::UserRole).toUuid(), m_model.navigationPath().size());
    });
    connect(m_files, &QListWidget::itemActivated, this, [this](QListWidgetItem* item) {
        const QString id = item->data(Qt::UserRole).toString();
        for (const FileItem& file : m_model.currentFiles()) {
            if (file.id == id) {
                m_model.openFile(file);
            }
        }
    });
}

void MainWindow::refreshTags() {
    m_tags->clear();
    for (const TagNode& tag : m_model.sortedTagsForColumn(m_model.navigationPath().size())) {
        auto* item = new QListWidgetItem(QIcon::fromTheme("tag"), tag.name, m_tags);
        item->setData(Qt::UserRole, tag.id);
    }
    statusBar()->showMessage(m_model.statusText());
}

void MainWindow::refreshFiles() {
    m_files->clear();
    if (m_model.isLoadingFiles()) {
        m_files->addItem("Searching files\u2026");
    }
    for (const FileItem& file : m_model.currentFiles()) {
        auto* item = new QListWidgetItem(QIcon::fromTheme(file.iconName), file.name, m_files);
        item->setData(Qt::UserRole, file.id);
    }
    statusBar()->showMessage(m_model.statusText());
}

void MainWindow::refreshTitle() {
    const auto tag = m_model.currentTag();
    setWindowTitle(tag ? tag->name : QStringLiteral("Orvane"));
    m_back->setEnabled(!m_model.navigationPath().isEmpty());
}
