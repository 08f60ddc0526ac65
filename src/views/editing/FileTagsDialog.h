#pragma once

#include "state/TagChoices.h"

#include <QDialog>

class AppViewModel;
class QLineEdit;
class QListWidget;
class QTreeWidget;
class QTreeWidgetItem;

// File → Tags…: the tree's tags as check boxes for the selected files (checked: every file
// carries the tag; partly: some do), with a find field, and below them the names on the files
// that the tree lacks. OK makes every file carry what is checked, as one undoable step; a box
// left partly checked leaves each file as it was.
class FileTagsDialog : public QDialog {
    Q_OBJECT

public:
    explicit FileTagsDialog(AppViewModel& model, QWidget* parent = nullptr);
    // For files named from outside (a file manager's "Tag with Orvane…").
    FileTagsDialog(AppViewModel& model, const QList<FileItem>& files, QWidget* parent);
    // Opens one for the selected files, or the files given, over `window`; it goes when closed.
    static void openFor(AppViewModel& model, QWidget* window);
    static void openFor(AppViewModel& model, const QList<FileItem>& files, QWidget* window);

    QTreeWidget& tags() const { return *m_tags; }
    QListWidget& otherNames() const { return *m_others; }

private:
    void fill(const QList<TagNode>& nodes, QTreeWidgetItem* parent);
    void filter(const QString& text);
    void apply();

    AppViewModel& m_model;
    TagChoices m_choices;
    QList<QUrl> m_files;  // the selection it opened for
    QLineEdit* m_find;
    QTreeWidget* m_tags;
    QListWidget* m_others;
};
