#pragma once

#include "ModelFixture.h"
#include "views/window/MainWindow.h"

#include <QtTest>

#include <memory>

// The real window, shown and active, over a view model with "Alpha" holding "Beta" (and, unless
// told otherwise, a file tagged "Alpha"): what the user meets in the window.
class WindowFixture : public ModelFixture {
protected:
    void createWindow(bool withFile = true) {
        createModel();
        m_a = add("Alpha");
        m_b = add("Beta", m_a);
        if (withFile) {
            file("f.txt", "Alpha");
        }
        m_window = std::make_unique<MainWindow>(*m_model);
        m_window->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
        m_window->activateWindow();
        QTRY_VERIFY(QApplication::activeWindow() == m_window.get());
    }
    void destroyWindow() {
        m_window.reset();
        destroyModel();
    }
    QAction* action(const QString& name) const { return m_window->findChild<QAction*>(name); }

    std::unique_ptr<MainWindow> m_window;
    QUuid m_a, m_b;
};
