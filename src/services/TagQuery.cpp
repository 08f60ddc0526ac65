#include "services/TagQuery.h"

#include "platform/TagPaths.h"
#include "platform/TaggedFileQuery.h"

#include <QHash>
#include <QSet>

#include <algorithm>

struct TagQuery::Node {
    enum class Kind { Term, Not, And, Or } kind = Kind::Term;
    QString term;
    std::shared_ptr<const Node> left;
    std::shared_ptr<const Node> right;
};

namespace {

using Node = TagQuery::Node;
using NodePtr = std::shared_ptr<const Node>;

// Recursive descent over the words, `or` binding loosest and `not` tightest.
class Parser {
public:
    explicit Parser(const QStringList& words) {
        // "(a" and "b)" are split as a shell user would expect of "(a or b)".
        for (const QString& word : words) {
            QString rest = word;
            while (rest.startsWith(u'(')) {
                m_words.append("(");
                rest.remove(0, 1);
            }
            qsizetype closing = 0;
            while (rest.endsWith(u')')) {
                ++closing;
                rest.chop(1);
            }
            if (!rest.isEmpty()) {
                m_words.append(rest);
            }
            for (qsizetype i = 0; i < closing; ++i) {
                m_words.append(")");
            }
        }
    }

    std::variant<NodePtr, QString> parse() {
        if (m_words.isEmpty()) {
            return QStringLiteral("a query needs at least one name");
        }
        NodePtr root = orExpression();
        if (!m_error.isEmpty()) {
            return m_error;
        }
        if (m_at < m_words.size()) {
            return QStringLiteral("unexpected \"%1\"").arg(m_words[m_at]);
        }
        return root;
    }

    QStringList terms;
    bool negates = false;

private:
    bool isWord(const char* word) const {
        return m_at < m_words.size() && m_words[m_at].compare(word, Qt::CaseInsensitive) == 0;
    }

    NodePtr orExpression() {
        NodePtr left = andExpression();
        while (m_error.isEmpty() && isWord("or")) {
            ++m_at;
            left = std::make_shared<Node>(Node{Node::Kind::Or, {}, left, andExpression()});
        }
        return left;
    }

    NodePtr andExpression() {
        NodePtr left = notExpression();
        while (m_error.isEmpty() && m_at < m_words.size() && !isWord("or") && !isWord(")")) {
            if (isWord("and")) {
                ++m_at;
            }
            left = std::make_shared<Node>(Node{Node::Kind::And, {}, left, notExpression()});
        }
        return left;
    }

    NodePtr notExpression() {
        if (isWord("not")) {
            ++m_at;
            negates = true;
            return std::make_shared<Node>(Node{Node::Kind::Not, {}, notExpression(), {}});
        }
        if (isWord("(")) {
            ++m_at;
            NodePtr inner = orExpression();
            if (!isWord(")")) {
                fail(QStringLiteral("a \"(\" is not closed"));
            }
            ++m_at;
            return inner;
        }
        if (m_at >= m_words.size() || isWord(")") || isWord("and") || isWord("or")) {
            fail(m_at < m_words.size()
                     ? QStringLiteral("a name is missing before \"%1\"").arg(m_words[m_at])
                     : QStringLiteral("a name is missing at the end"));
            return std::make_shared<Node>();
        }
        const QString term = m_words[m_at++];
        if (!terms.contains(term)) {
            terms.append(term);
        }
        return std::make_shared<Node>(Node{Node::Kind::Term, term, {}, {}});
    }

    void fail(const QString& error) {
        if (m_error.isEmpty()) {
            m_error = error;
        }
    }

    QStringList m_words;
    qsizetype m_at = 0;
    QString m_error;
};

using Files = QSet<QByteArray>;
using FilesOfName = QHash<QString, Files>;

// The names the index is asked for a term: a path's entry query and each name along it.
QStringList namesAsked(const QString& term) {
    if (const auto names = TagPaths::segments(term)) {
        return QStringList{TagPaths::query(*names)} + *names;
    }
    return {term};
}

Files filesOf(const QString& term, const FilesOfName& files) {
    const auto names = TagPaths::segments(term);
    if (!names) {
        return files.value(term);
    }
    Files along = files.value(names->first());
    for (const QString& name : *names) {
        along.intersect(files.value(name));
    }
    return along.unite(files.value(TagPaths::query(*names)));
}

Files evaluate(const Node& node, const FilesOfName& files, const Files& every) {
    switch (node.kind) {
        case Node::Kind::Term:
            return filesOf(node.term, files);
        case Node::Kind::Not:
            return Files(every).subtract(evaluate(*node.left, files, every));
        case Node::Kind::And:
            return evaluate(*node.left, files, every)
                .intersect(evaluate(*node.right, files, every));
        case Node::Kind::Or:
            return evaluate(*node.left, files, every).unite(evaluate(*node.right, files, every));
    }
    return {};
}

}  // namespace

std::variant<TagQuery, QString> TagQuery::parse(const QStringList& words) {
    Parser parser(words);
    auto parsed = parser.parse();
    if (const QString* error = std::get_if<QString>(&parsed)) {
        return *error;
    }
    TagQuery query;
    query.m_root = std::get<NodePtr>(parsed);
    query.m_terms = parser.terms;
    query.m_negates = parser.negates;
    return query;
}

void TagQuery::answer(TaggedFileQuery& index, Answer done) const {
    struct Gathering {
        FilesOfName files;
        Files every;
        qsizetype waiting = 0;
    };
    auto gathering = std::make_shared<Gathering>();
    const TagQuery query = *this;
    auto ask = [gathering, query, &index, done](QStringList names) {
        for (const QString& term : query.m_terms) {
            names += namesAsked(term);
        }
        names.removeDuplicates();
        gathering->waiting = names.size();
        for (const QString& name : names) {
            auto collect = [gathering, query, name, done](const QList<QByteArray>& paths) {
                Files& files = gathering->files[name];
                files = Files(paths.begin(), paths.end());
                if (query.m_negates) {
                    gathering->every.unite(files);
                }
                if (--gathering->waiting == 0) {
                    QList<QByteArray> answer =
                        evaluate(*query.m_root, gathering->files, gathering->every).values();
                    std::sort(answer.begin(), answer.end());
                    done(answer);
                }
            };
            index.queryEveryFileWithTag(name, collect);
        }
    };
    if (m_negates) {
        // "not": every tagged file is a candidate, found through every name there is.
        index.queryAllTagNames(ask, true);
    } else {
        ask({});
    }
}
