#pragma once

#include <QWidget>

class AppViewModel;
class QLabel;
class QPushButton;

// The counts of what is on screen and, when the system tag list could not be read at start-up,
// a banner asking for access to it.
class StatusBarView : public QWidget {
    Q_OBJECT

public:
    static const QString kBannerText;

    explicit StatusBarView(AppViewModel& model, QWidget* parent = nullptr);

protected:
    void changeEvent(QEvent* event) override;

private:
    void setupWidgets();
    void refresh();
    void recolor();

    AppViewModel& m_model;
    QWidget* m_banner = nullptr;
    QLabel* m_saveProblem = nullptr;
    QLabel* m_status = nullptr;
    QLabel* m_shield = nullptr;
    QLabel* m_bannerText = nullptr;
    QPushButton* m_action = nullptr;
};
