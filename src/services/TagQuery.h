#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <variant>

class FileTagStore;
class TaggedFileQuery;

// A query of files by their tags, as a script writes it: names and tree paths ("Projects/
// Client") joined by `and` (also when nothing joins them), `or`, `not` and parentheses. Names
// compare as the window finds files: case and spelling fold away, a Finder colour is ignored,
// and KDE's path entries carry each name along them. A path is carried as one path entry
// through it, or as every name along it.
class TagQuery {
public:
    // The query of these words, or why it is not one.
    static std::variant<TagQuery, QString> parse(const QStringList& words);

    // The names and paths the query asks about, each once.
    QStringList terms() const { return m_terms; }
    // Whether a file whose tag list holds these entries is an answer.
    bool matches(const QStringList& entries) const;
    // Whether the query can hold for a file without any of its terms ("not A"): then every
    // tagged file is a candidate, not only those of the terms.
    bool matchesWithoutTerms() const;

    // The files that answer: the index's files for the terms (every tagged file when the
    // query holds without them), each checked against its tags as they are now, on a thread of
    // its own. `done` gets them sorted, on the main thread. With `complete`, the index answers
    // only once it has seen every folder.
    using Answer = std::function<void(const QList<QByteArray>& paths)>;
    void answer(TaggedFileQuery& index, const FileTagStore& store, bool complete,
                Answer done) const;

    struct Node;

private:
    std::shared_ptr<const Node> m_root;
    QStringList m_terms;
};
