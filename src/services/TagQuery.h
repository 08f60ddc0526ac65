#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <variant>

class TaggedFileQuery;

// A query of files by their tags, as a script writes it: names and tree paths ("Projects/
// Client") joined by `and` (also when nothing joins them), `or`, `not` and parentheses. Names
// match as the index finds files: case and spelling fold away, a Finder colour is ignored, and
// KDE's path entries carry each name along them. A path is carried as one path entry through
// it, or as every name along it.
class TagQuery {
public:
    // The query of these words, or why it is not one.
    static std::variant<TagQuery, QString> parse(const QStringList& words);

    // The names and paths the query asks about, each once.
    QStringList terms() const { return m_terms; }

    // The files that answer, worked out from the index's files of each name once it has seen
    // every folder: `and` the files in both, `or` in either, `not` every tagged file but those
    // (the index is asked for every name then). `done` gets them sorted, on the main thread.
    using Answer = std::function<void(const QList<QByteArray>& paths)>;
    void answer(TaggedFileQuery& index, Answer done) const;

    struct Node;

private:
    std::shared_ptr<const Node> m_root;
    QStringList m_terms;
    bool m_negates = false;
};
