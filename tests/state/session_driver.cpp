// One run of Orvane's core without its window, driven line by line on standard input, for the
// random test of edits, quits and kills: the real index over $HOME, the real journal, the tree
// file, the real tag attribute. Each command is acknowledged with "ok" once the view model has
// accepted it (its file work journaled and queued, not done).
//
//   rename OLD NEW | create NAME PARENT|- | delete NAME | move NAME PARENT|-
//   drop NAME FILE... (the tag's path onto the files) | lift NAME FILE... (its subtree off them)
//   undo | redo | wait (until the file work is done) | quit
//
// Options: --crawl-delay-ms N (the first crawl starts late), --write-delay-us N (each write is
// slowed). SIGTERM is a logout: as quit.
#include "Session.h"
#include "app/ShutdownSignals.h"
#include "model/TagTree.h"
#include "platform/Log.h"

#include <QCoreApplication>
#include <QSocketNotifier>
#include <QUrl>

#include <unistd.h>

#include <cstdio>

namespace {

const TagNode* tagNamed(const QList<TagNode>& nodes, const QString& name) {
    for (const TagNode& node : nodes) {
        if (node.name == name) {
            return &node;
        }
        if (const TagNode* found = tagNamed(node.children, name)) {
            return found;
        }
    }
    return nullptr;
}

QList<QUrl> urls(const QStringList& paths) {
    QList<QUrl> list;
    for (const QString& path : paths) {
        list.append(QUrl::fromLocalFile(path));
    }
    return list;
}

void answer(const char* text) {
    std::printf("%s\n", text);
    std::fflush(stdout);
}

}  // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    // Standard output carries the answers; the diagnostics go beside them.
    Log::setSink([](const QString& line) { std::fprintf(stderr, "%s\n", qPrintable(line)); });
    const QStringList arguments = app.arguments();
    const auto option = [&](const QString& name) {
        const qsizetype at = arguments.indexOf(name);
        return at >= 0 && at + 1 < arguments.size() ? arguments[at + 1].toInt() : 0;
    };
    Session::Options options;
    options.crawlDelayMs = option("--crawl-delay-ms");
    options.writeDelayMicroseconds = option("--write-delay-us");
    auto session = std::make_unique<Session>(
        qEnvironmentVariable("HOME"), qEnvironmentVariable("XDG_CACHE_HOME") + "/Orvane", options);
    AppViewModel& model = *session->model;

    bool quitting = false;
    const auto quit = [&] {
        if (!quitting) {
            quitting = true;
            session.reset();
            answer("ok");
            QCoreApplication::exit(0);
        }
    };
    ShutdownSignals shutdown;
    QObject::connect(&shutdown, &ShutdownSignals::requested, &app, quit);

    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QByteArray pending;
    QObject::connect(&input, &QSocketNotifier::activated, &app, [&] {
        char buffer[4096];
        const ssize_t got = ::read(STDIN_FILENO, buffer, sizeof buffer);
        if (got <= 0) {
            quit();
            return;
        }
        pending.append(buffer, got);
        for (qsizetype end = pending.indexOf('\n'); end >= 0 && !quitting;
             end = pending.indexOf('\n')) {
            const QStringList words = QString::fromUtf8(pending.left(end)).split(' ');
            pending.remove(0, end + 1);
            const QString& command = words.first();
            const TagNode* tag = words.size() > 1 ? tagNamed(model.hierarchy(), words[1]) : nullptr;
            const auto parent = [&]() -> std::optional<QUuid> {
                const TagNode* found =
                    words[2] == "-" ? nullptr : tagNamed(model.hierarchy(), words[2]);
                return found ? std::optional(found->id) : std::nullopt;
            };
            if (command == "rename" && tag) {
                model.beginRename(*tag);
                model.setInlineEditingText(words[2]);
                model.commitInlineEdit();
            } else if (command == "create") {
                model.createTag(words[1], 0, parent());
            } else if (command == "delete" && tag) {
                model.deleteTag(tag->id);
            } else if (command == "move" && tag) {
                model.moveTag(tag->id, parent());
            } else if (command == "drop" && tag) {
                QStringList names;
                AppViewModel::ancestorNames(tag->id, model.hierarchy(), names);
                model.applyTags(urls(words.mid(2)), names + QStringList{tag->name}, {});
            } else if (command == "lift" && tag) {
                model.applyTags(urls(words.mid(2)), {}, AppViewModel::allTagNames({*tag}));
            } else if (command == "undo") {
                model.undo();
            } else if (command == "redo") {
                model.redo();
            } else if (command == "wait") {
                session->settle();
            } else if (command == "quit") {
                quit();
                break;
            } else {
                answer(qPrintable("unknown: " + words.join(' ')));
                continue;
            }
            answer("ok");
        }
    });
    answer("ready");
    return QCoreApplication::exec();
}
