#pragma once

#include <QSet>
#include <QUuid>
#include <QWidget>

#include <optional>

class AppViewModel;
class QLineEdit;
class QListWidget;

// A find field over a list of the tree's tags: typing keeps the tags whose names hold the text
// (case and accents aside), each shown with its path; Up and Down choose, Return or a click takes
// the chosen tag, Escape gives up. With `topLevel`, the list begins with the tree's top level.
class TagFindList : public QWidget {
    Q_OBJECT

public:
    TagFindList(AppViewModel& model, bool topLevel, QWidget* parent = nullptr);

    QLineEdit* field() const { return m_field; }
    // The "Find Tag" field, also the Tags dialog's.
    static QLineEdit* makeField(QWidget* parent);
    // The chosen row: a tag, or nullopt for the top level; absent when no row is chosen.
    std::optional<std::optional<QUuid>> chosen() const;
    // Empties the field and lists every tag again.
    void clear();
    // Tags not offered (a tag cannot move below itself).
    void setExcluded(const QSet<QUuid>& ids);

signals:
    void taken();
    void cancelled();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void refill();

    AppViewModel& m_model;
    bool m_topLevel;
    QLineEdit* m_field;
    QListWidget* m_list;
    QSet<QUuid> m_excluded;
};
