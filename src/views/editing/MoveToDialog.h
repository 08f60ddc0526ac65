#pragma once

#include <QDialog>
#include <QUuid>

class AppViewModel;
class TagFindList;

// Edit → Move To…: nests a tag without a drag, under the tag chosen in a find list (or at the
// top level).
class MoveToDialog : public QDialog {
    Q_OBJECT

public:
    MoveToDialog(AppViewModel& model, QUuid tagID, QWidget* parent = nullptr);
    // Opens one for the tag, over `window`; it goes when closed.
    static void openFor(AppViewModel& model, QUuid tagID, QWidget* window);

    TagFindList& list() const { return *m_list; }

private:
    void move();

    AppViewModel& m_model;
    QUuid m_tagID;
    TagFindList* m_list;
};
