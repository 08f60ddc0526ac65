#include "services/TagQuery.h"

#include "platform/FileTagStore.h"
#include "platform/TagIndexTable.h"
#include "platform/TagNames.h"
#include "platform/TagPaths.h"
#include "platform/TaggedFileQuery.h"
#include "services/FileTagging.h"

#include <QCoreApplication>
#include <QSet>
#include <QThreadPool>

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

bool carries(const QString& term, const QSet<QString>& keys) {
    if (const auto names = TagPaths::segments(term)) {
        if (keys.contains(TagNames::matchKey(TagPaths::query(*names)))) {
            return true;  // a path entry through it
        }
        for (const QString& name : *names) {
            if (!keys.contains(TagNames::matchKey(name))) {
                return false;
            }
        }
        return true;
    }
    return keys.contains(TagNames::matchKey(term));
}

bool evaluate(const Node& node, const QSet<QString>& keys) {
    switch (node.kind) {
        case Node::Kind::Term:
            return carries(node.term, keys);
        case Node::Kind::Not:
            return !evaluate(*node.left, keys);
        case Node::Kind::And:
            return evaluate(*node.left, keys) && evaluate(*node.right, keys);
        case Node::Kind::Or:
            return evaluate(*node.left, keys) || evaluate(*node.right, keys);
    }
    return false;
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
    return query;
}

bool TagQuery::matches(const QStringList& entries) const {
    const QStringList keys = TagIndexTable::keysFor(entries);
    return evaluate(*m_root, QSet<QString>(keys.begin(), keys.end()));
}

bool TagQuery::matchesWithoutTerms() const {
    return evaluate(*m_root, {});
}

void TagQuery::answer(TaggedFileQuery& index, const FileTagStore& store, bool complete,
                      Answer done) const {
    struct Gathering {
        QSet<QByteArray> candidates;
        qsizetype waiting = 0;
    };
    auto gathering = std::make_shared<Gathering>();
    const TagQuery query = *this;
    // The candidates are checked where reading thousands of files holds no window up.
    auto check = [gathering, query, &store, done] {
        QThreadPool::globalInstance()->start([gathering, query, &store, done] {
            QList<QByteArray> paths = gathering->candidates.values();
            std::sort(paths.begin(), paths.end());
            QList<QByteArray> answers;
            for (const QByteArray& path : std::as_const(paths)) {
                const auto names = store.read(path);
                if (names && query.matches(FileTagging::decodeNames(*names))) {
                    answers.append(path);
                }
            }
            QMetaObject::invokeMethod(
                QCoreApplication::instance(), [done, answers] { done(answers); },
                Qt::QueuedConnection);
        });
    };
    auto ask = [gathering, &index, complete, check](const QStringList& names) {
        if (names.isEmpty()) {
            check();
            return;
        }
        gathering->waiting = names.size();
        for (const QString& name : names) {
            auto collect = [gathering, check](const QList<QByteArray>& paths) {
                gathering->candidates.unite(QSet<QByteArray>(paths.begin(), paths.end()));
                if (--gathering->waiting == 0) {
                    check();
                }
            };
            if (complete) {
                index.queryEveryFileWithTag(name, collect);
            } else {
                index.queryFilesWithTag(name, collect);
            }
        }
    };
    if (matchesWithoutTerms()) {
        index.queryAllTagNames(ask, complete);
        return;
    }
    QStringList names;
    for (const QString& term : m_terms) {
        if (const auto segments = TagPaths::segments(term)) {
            names << TagPaths::query(*segments) << segments->last();
        } else {
            names << term;
        }
    }
    ask(names);
}
