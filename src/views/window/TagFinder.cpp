#include "views/window/TagFinder.h"

#include "state/AppViewModel.h"
#include "views/common/TagFindList.h"

#include <QApplication>
#include <QEvent>
#include <QLineEdit>
#include <QStackedWidget>
#include <QVBoxLayout>

namespace {

constexpr int kWidth = 380;
constexpr int kHeight = 300;

}  // namespace

TagFinder::TagFinder(AppViewModel& model, QStackedWidget& over)
    : QFrame(over.parentWidget()), m_model(model), m_over(over) {
    setObjectName("tagFinder");
    setFrameShape(QFrame::StyledPanel);
    setAutoFillBackground(true);
    m_list = new TagFindList(model, false, this);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(6, 6, 6, 6);
    layout->addWidget(m_list);
    connect(m_list, &TagFindList::taken, this, [this] {
        const auto chosen = m_list->chosen();
        close();
        if (chosen && *chosen) {
            m_model.showTag(**chosen);
            // The keys go on in the tags the finder opened.
            if (QWidget* shown = m_over.currentWidget()) {
                shown->setFocus();
            }
        }
    });
    connect(m_list, &TagFindList::cancelled, this, &TagFinder::close);
    m_over.installEventFilter(this);
    // A click elsewhere puts the finder away, as a menu goes.
    connect(qApp, &QApplication::focusChanged, this, [this](QWidget*, QWidget* now) {
        if (isVisible() && now && now != this && !isAncestorOf(now)) {
            m_returnFocus = nullptr;
            close();
        }
    });
    hide();
}

TagFinder::~TagFinder() {
    // Before the widget is torn down: taking it apart moves the focus, which would call back
    // into a finder whose members are gone.
    disconnect(qApp, nullptr, this, nullptr);
}

void TagFinder::open() {
    if (!isVisible()) {
        m_returnFocus = QApplication::focusWidget();
        m_list->clear();
    }
    place();
    show();
    raise();
    m_list->field()->setFocus();
    m_list->field()->selectAll();
}

void TagFinder::close() {
    if (!isVisible()) {
        return;
    }
    hide();
    if (m_returnFocus) {
        m_returnFocus->setFocus();
    }
}

void TagFinder::place() {
    // Centred at the top of the tags, within them.
    const QRect area = m_over.geometry();
    const int width = std::min(kWidth, area.width() - 16);
    const int height = std::min(kHeight, area.height() - 16);
    setGeometry(area.left() + (area.width() - width) / 2, area.top() + 8, width, height);
}

bool TagFinder::eventFilter(QObject* watched, QEvent* event) {
    if (watched == &m_over && event->type() == QEvent::Resize && isVisible()) {
        place();
    }
    return QFrame::eventFilter(watched, event);
}
