#pragma once

#include <QFrame>
#include <QPointer>

class AppViewModel;
class QStackedWidget;
class TagFindList;

// Edit → Find Tag: a find field laid over the top of the tags; the chosen tag opens in the view
// showing, and Escape gives the focus back to where it was.
class TagFinder : public QFrame {
    Q_OBJECT

public:
    TagFinder(AppViewModel& model, QStackedWidget& over);
    ~TagFinder() override;

    void open();
    void close();
    TagFindList& list() const { return *m_list; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void place();

    AppViewModel& m_model;
    QStackedWidget& m_over;
    TagFindList* m_list;
    QPointer<QWidget> m_returnFocus;
};
