#include "app/CommandLine.h"

#include "app/DesktopServices.h"
#include "app/OrvaneBus.h"

#include "model/HierarchyCodec.h"
#include "model/HierarchyFile.h"
#include "model/TagNode.h"
#include "platform/FileJournal.h"
#include "platform/FilePaths.h"
#include "platform/Log.h"
#include "platform/TagIndex.h"
#include "platform/TagValueCodec.h"
#include "platform/TaggedFileQuery.h"
#include "platform/XattrTagStore.h"
#include "services/FileTagging.h"
#include "services/FileWork.h"
#include "services/TagQuery.h"
#include "state/FileWorkStatus.h"
#include "state/NestedTagStyle.h"
#include "state/TagArguments.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QSet>
#include <QTimer>

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>

namespace CommandLine {

namespace {

constexpr int kDone = 0;
constexpr int kError = 1;
constexpr int kUsage = 2;

void say(const QString& message) {
    std::fprintf(stderr, "orvane: %s\n", message.toLocal8Bit().constData());
}

// The command line's arguments: words, and the options it knows wherever they stand.
struct Arguments {
    QList<QByteArray> files;  // raw, as the shell gave them
    QStringList tags;         // after -t
    bool nul = false;
    bool json = false;
    bool count = false;
    bool force = false;
    QByteArray into;  // --into DIR
    QString unknown;  // the first option not known
};

Arguments parse(int argc, char* argv[]) {
    Arguments arguments;
    bool tags = false;
    bool optionsEnded = false;
    for (int i = 2; i < argc; ++i) {
        const QByteArray word(argv[i]);
        if (!optionsEnded && word.startsWith('-') && word.size() > 1) {
            if (word == "--") {
                optionsEnded = true;
            } else if (word == "-t" || word == "--tags") {
                tags = true;
            } else if (word == "-0" || word == "--null") {
                arguments.nul = true;
            } else if (word == "--json") {
                arguments.json = true;
            } else if (word == "--count") {
                arguments.count = true;
            } else if (word == "--force") {
                arguments.force = true;
            } else if (word == "--into" && i + 1 < argc) {
                arguments.into = argv[++i];
            } else if (arguments.unknown.isEmpty()) {
                arguments.unknown = QString::fromLocal8Bit(word);
            }
            continue;
        }
        if (tags && !optionsEnded) {
            arguments.tags.append(QString::fromLocal8Bit(word));
        } else {
            arguments.files.append(word);
        }
    }
    return arguments;
}

void write(const QByteArray& bytes) {
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stdout);
}

// The system's error just met on a path.
void sayFailed(const QByteArray& path) {
    const int error = errno;  // before anything else can change it
    say(QString::fromLocal8Bit(path) + ": " +
        QString::fromLocal8Bit(std::strerror(error)).toLower());
}

// Lines for scripts: one a line, or NUL-separated with -0; --count writes only how many.
void writeLines(const Arguments& arguments, const QList<QByteArray>& lines) {
    if (arguments.count) {
        write(QByteArray::number(lines.size()) + '\n');
        return;
    }
    for (const QByteArray& line : lines) {
        write(line + (arguments.nul ? '\0' : '\n'));
    }
}

// Paths for scripts: as lines, or a JSON array with --json.
void writePaths(const Arguments& arguments, const QList<QByteArray>& paths) {
    if (!arguments.json || arguments.count) {
        writeLines(arguments, paths);
        return;
    }
    QJsonArray array;
    for (const QByteArray& path : paths) {
        array.append(QString::fromLocal8Bit(path));
    }
    write(QJsonDocument(array).toJson(QJsonDocument::Compact) + '\n');
}

QList<TagNode> loadTree() {
    const auto read = HierarchyFile::read();
    if (read.status != HierarchyFile::ReadStatus::Read) {
        return {};
    }
    return HierarchyCodec::decode(read.bytes).value_or(QList<TagNode>());
}

// A name as the desktop shows it: without the Finder's colour ("Work\n3").
QString withoutColor(const QString& name) {
    static const QRegularExpression color("\n\\d+$");
    return QString(name).remove(color);
}

// Writes nothing: the window's index, when one runs, sees the change on its own.
class NoIndex final : public TaggedFileQuery {
public:
    void queryFilesWithTag(const QString&, Completion completion) override { completion({}); }
    void queryAllTagNames(NamesCompletion completion, bool) override { completion({}); }
    void noteTagsWritten(const QByteArray&, const QByteArray&) override {}
};

// Runs one operation through the journal, as the window's file work does; says what failed.
int runThroughJournal(const FileJournal::Operation& operation,
                      const QList<FileJournal::Entry>& files, const FileWorkStatus::Verb& verb) {
    if (files.isEmpty()) {
        return kDone;
    }
    FileJournal journal(FileJournal::defaultPath(), FileJournal::Earlier::Keep);
    if (!journal.problem().isEmpty()) {
        say("files are not changed: " + journal.problem());
        return kError;
    }
    const qint64 op = journal.begin(operation, files);
    if (op == 0) {
        say("files are not changed: " + journal.lastError());
        return kError;
    }
    XattrTagStore store;
    NoIndex index;
    std::atomic_bool stop = false;
    FileWork::Context context{store, journal, index, stop, {}};
    const FileWork::Summary summary = FileWork::run(context, op);
    if (FileWorkStatus::hasTrouble(summary)) {
        say(FileWorkStatus::summary(verb, summary));
        return kError;
    }
    return kDone;
}

// The window, when one runs: its edits and answers are the ones to use (one index, one journal,
// one undo). An empty reply when there is no window.
std::optional<QDBusMessage> askWindow(const char* method, const QList<QVariant>& arguments) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected() || !bus.interface() ||
        !bus.interface()->isServiceRegistered(OrvaneBus::kService)) {
        return std::nullopt;
    }
    OrvaneBus::registerTypes();
    QDBusMessage call = QDBusMessage::createMethodCall(OrvaneBus::kService, OrvaneBus::kPath,
                                                       OrvaneBus::kInterface, method);
    call.setArguments(arguments);
    constexpr int kWorkTimeoutMs = 30 * 60 * 1000;  // a rename of a million files
    return bus.call(call, QDBus::Block, kWorkTimeoutMs);
}

// While the folders are read, on a terminal: how far, on one line rewritten every half second.
class CrawlProgress {
public:
    explicit CrawlProgress(const TagIndex& index) {
        if (!::isatty(STDERR_FILENO)) {
            return;
        }
        m_timer.setInterval(500);
        QObject::connect(&m_timer, &QTimer::timeout, [&index, this] {
            m_shown = true;
            std::fprintf(stderr, "\rorvane: reading the tags of your files\u2026 %s folders",
                         qPrintable(FileWorkStatus::number(index.folderCount())));
        });
        m_timer.start();
    }
    ~CrawlProgress() {
        if (m_shown) {
            std::fprintf(stderr, "\r\033[K");  // the line goes once the answer is there
        }
    }

private:
    QTimer m_timer;
    bool m_shown = false;
};

// What the window replied to an edit: said when something went wrong.
int editReplied(const QDBusMessage& reply) {
    if (reply.type() != QDBusMessage::ReplyMessage) {
        say("the window did not answer: " + reply.errorMessage());
        return kError;
    }
    if (const QString trouble = reply.arguments().value(0).toString(); !trouble.isEmpty()) {
        say(trouble);
        return kError;
    }
    return kDone;
}

// The files as given, each once; a file that is not there is said and left out.
QList<QByteArray> existingFiles(const QList<QByteArray>& files, bool* missing) {
    QList<QByteArray> paths;
    QSet<QByteArray> seen;
    for (const QByteArray& file : files) {
        struct stat info {};
        if (::stat(file.constData(), &info) != 0) {
            sayFailed(file);
            *missing = true;
        } else if (const QByteArray path = FilePaths::absolute(file); !seen.contains(path)) {
            seen.insert(path);
            paths.append(path);
        }
    }
    return paths;
}

int tagOrUntag(const Arguments& arguments, bool tagging) {
    if (arguments.files.isEmpty() || arguments.tags.isEmpty()) {
        say(QStringLiteral("usage: orvane %1 FILE… -t TAG…").arg(tagging ? "tag" : "untag"));
        return kUsage;
    }
    bool missing = false;
    const QList<QByteArray> files = existingFiles(arguments.files, &missing);
    if (const auto reply =
            askWindow(tagging ? "Tag" : "Untag", {QVariant::fromValue(files), arguments.tags})) {
        return editReplied(*reply) == kDone && !missing ? kDone : kError;
    }
    auto edit = TagArguments::edit(loadTree(), arguments.tags, tagging, NestedTagStyle());
    if (const QString* problem = std::get_if<QString>(&edit)) {
        say(*problem);
        return kError;
    }
    const int result = runThroughJournal(
        {.kind = FileJournal::Kind::Edit, .edit = std::get<TagEdit>(edit)}, FileWork::planOf(files),
        tagging ? FileWorkStatus::kTagging : FileWorkStatus::kUntagging);
    return missing ? kError : result;
}

int rename(const Arguments& arguments) {
    if (arguments.files.size() != 2) {
        say("usage: orvane rename TAG NEW");
        return kUsage;
    }
    const QString tag = QString::fromLocal8Bit(arguments.files[0]);
    const QString newName = QString::fromLocal8Bit(arguments.files[1]);
    if (const auto reply = askWindow("Rename", {tag, newName})) {
        return editReplied(*reply);
    }
    // No window: the window's own rename, run here without one (it reads every folder to find
    // the files that carry the name).
    DesktopServices services;
    CrawlProgress progress(services.index);
    AppViewModel model(services.services(), AppViewModel::Startup::LoadHierarchy);
    QString trouble;
    QEventLoop loop;
    bool finished = false;
    model.renameFromScript(tag, newName, [&](const QString& said) {
        trouble = said;
        finished = true;
        loop.quit();
    });
    if (!finished) {
        loop.exec();
    }
    model.waitForFileWork();
    model.shutDown();
    services.index.stop();
    if (!trouble.isEmpty()) {
        say(trouble);
        return kError;
    }
    return kDone;
}

int tags(const Arguments& arguments) {
    if (arguments.files.isEmpty()) {
        say("usage: orvane tags FILE…");
        return kUsage;
    }
    XattrTagStore store;
    int result = kDone;
    QJsonObject json;
    QList<QByteArray> lines;
    for (const QByteArray& file : arguments.files) {
        const auto value = store.readValue(file);
        if (!value) {
            sayFailed(file);
            result = kError;
            continue;
        }
        QStringList names = FileTagging::decodeNames(TagValueCodec::decode(*value));
        for (QString& name : names) {
            name = withoutColor(name);
        }
        if (arguments.json) {
            json.insert(QString::fromLocal8Bit(file), QJsonArray::fromStringList(names));
        } else if (arguments.files.size() == 1 || arguments.count) {
            for (const QString& name : names) {
                lines.append(name.toUtf8());
            }
        } else {
            lines.append(file + ": " + names.join(", ").toUtf8());
        }
    }
    if (arguments.json) {
        write(QJsonDocument(json).toJson(QJsonDocument::Compact) + '\n');
    } else {
        writeLines(arguments, lines);
    }
    return result;
}

QJsonArray treeJson(const QList<TagNode>& nodes) {
    QJsonArray array;
    for (const TagNode& node : nodes) {
        QJsonObject object{{"name", node.name}};
        if (!node.children.isEmpty()) {
            object.insert("children", treeJson(node.children));
        }
        array.append(object);
    }
    return array;
}

int tree(const Arguments& arguments) {
    const auto read = HierarchyFile::read();
    if (read.status == HierarchyFile::ReadStatus::Unreadable) {
        say("the tag tree could not be read: " + read.problem);
        return kError;
    }
    const QList<TagNode> forest = loadTree();
    if (arguments.json) {
        write(QJsonDocument(treeJson(forest)).toJson(QJsonDocument::Compact) + '\n');
        return kDone;
    }
    QList<QByteArray> lines;
    for (const QStringList& path : TagArguments::pathsOf(forest)) {
        lines.append(path.join('/').toUtf8());
    }
    writeLines(arguments, lines);
    return kDone;
}

// Every regular file under `folder` (links not followed), with its tag attribute (empty when it
// has none), by its path relative to `folder`; hidden entries only when asked.
void walkFiles(const QByteArray& folder, const QByteArray& relative, bool hidden,
               const std::function<void(const QByteArray&, const QByteArray&)>& found,
               bool* unreadable) {
    DIR* dir = ::opendir(folder.constData());
    if (!dir) {
        sayFailed(folder);
        *unreadable = true;
        return;
    }
    QList<QByteArray> names;
    while (const dirent* entry = ::readdir(dir)) {
        const QByteArray name(entry->d_name);
        if (name != "." && name != ".." && (hidden || !name.startsWith('.'))) {
            names.append(name);
        }
    }
    ::closedir(dir);
    std::sort(names.begin(), names.end());
    for (const QByteArray& name : std::as_const(names)) {
        const QByteArray path = folder + '/' + name;
        const QByteArray rel = relative.isEmpty() ? name : relative + '/' + name;
        struct stat info {};
        if (::lstat(path.constData(), &info) != 0) {
            continue;
        }
        if (S_ISDIR(info.st_mode)) {
            walkFiles(path, rel, hidden, found, unreadable);
        } else if (S_ISREG(info.st_mode)) {
            found(rel, XattrTagStore::readAttribute(path, false).value_or(QByteArray()));
        }
    }
}

QByteArray folderArgument(const Arguments& arguments) {
    QByteArray folder = arguments.files.isEmpty() ? QByteArray(".") : arguments.files.first();
    while (folder.size() > 1 && folder.endsWith('/')) {
        folder.chop(1);
    }
    return folder;
}

int untagged(const Arguments& arguments) {
    if (arguments.files.size() > 1) {
        say("usage: orvane untagged [DIR]");
        return kUsage;
    }
    const QByteArray folder = folderArgument(arguments);
    bool unreadable = false;
    QList<QByteArray> lines;
    walkFiles(
        folder, {}, false,
        [&](const QByteArray& path, const QByteArray& value) {
            if (value.isEmpty()) {
                lines.append(folder == "." ? path : folder + '/' + path);
            }
        },
        &unreadable);
    writePaths(arguments, lines);
    return unreadable ? kError : kDone;
}

int files(const Arguments& arguments) {
    QStringList words;
    for (const QByteArray& word : arguments.files) {
        words.append(QString::fromLocal8Bit(word));
    }
    auto parsed = TagQuery::parse(words);
    if (const QString* error = std::get_if<QString>(&parsed)) {
        say("usage: orvane files QUERY: " + *error);
        return kUsage;
    }
    if (const auto reply = askWindow("Files", {words})) {
        if (reply->type() != QDBusMessage::ReplyMessage) {
            say(reply->errorName() == "org.freedesktop.DBus.Error.InvalidArgs"
                    ? "usage: orvane files QUERY: " + reply->errorMessage()
                    : "the window did not answer: " + reply->errorMessage());
            return reply->errorName() == "org.freedesktop.DBus.Error.InvalidArgs" ? kUsage : kError;
        }
        writePaths(arguments, qdbus_cast<QList<QByteArray>>(reply->arguments().value(0)));
        return kDone;
    }
    // The index of the user's files, crawled for this one answer: nothing kept, nothing watched.
    TagIndex::Options options = TagIndex::defaultOptions();
    options.storePath.clear();  // the window's to keep
    options.watchLimit = 0;
    TagIndex index(options);
    index.start();
    QList<QByteArray> answers;
    {
        const CrawlProgress progress(index);  // gone before the answer is written
        QEventLoop loop;
        std::get<TagQuery>(parsed).answer(index, [&](const QList<QByteArray>& paths) {
            answers = paths;
            loop.quit();
        });
        loop.exec();
    }
    writePaths(arguments, answers);
    return kDone;
}

int exportTags(const Arguments& arguments) {
    if (arguments.files.size() > 1) {
        say("usage: orvane export [DIR]");
        return kUsage;
    }
    bool unreadable = false;
    walkFiles(
        folderArgument(arguments), {}, true,
        [](const QByteArray& path, const QByteArray& value) {
            if (value.isEmpty()) {
                return;
            }
            QJsonObject line{{"value", QString::fromLatin1(value.toBase64())}};
            // A name that is not UTF-8 is kept byte for byte.
            if (const QString text = QString::fromUtf8(path); text.toUtf8() == path) {
                line.insert("path", text);
            } else {
                line.insert("path_base64", QString::fromLatin1(path.toBase64()));
            }
            write(QJsonDocument(line).toJson(QJsonDocument::Compact) + '\n');
        },
        &unreadable);
    return unreadable ? kError : kDone;
}

int importTags(const Arguments& arguments) {
    if (arguments.files.size() != 1) {
        say("usage: orvane import FILE [--into DIR] [--force]");
        return kUsage;
    }
    QFile input;
    const bool opened = arguments.files.first() == "-"
                            ? input.open(stdin, QIODevice::ReadOnly)
                            : (input.setFileName(QFile::decodeName(arguments.files.first())),
                               input.open(QIODevice::ReadOnly));
    if (!opened) {
        say(QString::fromLocal8Bit(arguments.files.first()) + ": " + input.errorString());
        return kError;
    }
    const QByteArray into =
        FilePaths::absolute(arguments.into.isEmpty() ? QByteArray(".") : arguments.into);
    XattrTagStore store;
    QList<FileJournal::Entry> files;
    int result = kDone;
    qsizetype lineNumber = 0;
    while (!input.atEnd()) {
        const QByteArray line = input.readLine().trimmed();
        ++lineNumber;
        if (line.isEmpty()) {
            continue;
        }
        const QJsonObject object = QJsonDocument::fromJson(line).object();
        const QByteArray relative =
            object.contains("path_base64")
                ? QByteArray::fromBase64(object["path_base64"].toString().toLatin1())
                : object["path"].toString().toUtf8();
        const auto value = QByteArray::fromBase64Encoding(object["value"].toString().toLatin1(),
                                                          QByteArray::AbortOnBase64DecodingErrors);
        if (relative.isEmpty() || relative.startsWith('/') || relative.split('/').contains("..") ||
            !object["value"].isString() || !value) {
            say(QStringLiteral("line %1 is not a file's tags; left out").arg(lineNumber));
            result = kError;
            continue;
        }
        const QByteArray path = into + '/' + relative;
        const auto now = store.readOwnValue(path);
        if (!now) {
            sayFailed(relative);
            result = kError;
            continue;
        }
        if (*now == value.decoded) {
            continue;
        }
        if (!now->isEmpty() && !arguments.force) {
            say(QString::fromLocal8Bit(relative) +
                ": has other tags now; left as it is (--force replaces them)");
            result = kError;
            continue;
        }
        files.append({.path = path, .before = *now, .target = value.decoded});
    }
    const int written =
        runThroughJournal({.kind = FileJournal::Kind::Restore}, files, FileWorkStatus::kImporting);
    return written != kDone ? written : result;
}

struct Command {
    const char* name;
    int (*run)(const Arguments&);
};
constexpr Command kCommands[] = {
    {"tag", [](const Arguments& arguments) { return tagOrUntag(arguments, true); }},
    {"untag", [](const Arguments& arguments) { return tagOrUntag(arguments, false); }},
    {"tags", tags},
    {"files", files},
    {"untagged", untagged},
    {"tree", tree},
    {"rename", rename},
    {"export", exportTags},
    {"import", importTags},
};

}  // namespace

bool isCommand(const char* argument) {
    return std::any_of(
        std::begin(kCommands), std::end(kCommands),
        [argument](const Command& command) { return qstrcmp(argument, command.name) == 0; });
}

const char* summary() {
    return "Commands (for scripts; without one the window opens):\n"
           "  tag FILE… -t TAG…     give files the tag's name and its ancestors' names\n"
           "  untag FILE… -t TAG…   take the tags off the files\n"
           "  tags FILE…            the names each file carries\n"
           "  files QUERY           the files that answer the query: names and tree paths\n"
           "                        joined by and (also implied), or, not, ( )\n"
           "  untagged [DIR]        the files under DIR (not hidden) without tags\n"
           "  tree                  every tag's path in the tree, names joined by /\n"
           "  rename TAG NEW        rename the tag in the tree and on every file that\n"
           "                        carries it\n"
           "  export [DIR]          every tagged file under DIR with its exact tags, as\n"
           "                        JSON lines\n"
           "  import FILE           put exported tags back, by path under the current\n"
           "                        folder or --into DIR; files tagged otherwise since are\n"
           "                        left unless --force (FILE - reads standard input)\n"
           "Options: -0 NUL-separated output, --count, --json.\n"
           "A TAG is a name or a path in the tree (Projects/Client). Exit status: 0 done,\n"
           "1 an error, 2 a usage error.";
}

int run(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    app.setApplicationName("Orvane");
    // Standard output is the answer: the diagnostics of the index and the journal stay out of
    // it (what a user must know is said on stderr).
    Log::setSink([](const QString&) {});
    const QByteArray command(argv[1]);
    const Arguments arguments = parse(argc, argv);
    if (!arguments.unknown.isEmpty()) {
        say("unknown option " + arguments.unknown);
        return kUsage;
    }
    for (const Command& known : kCommands) {
        if (command == known.name) {
            const int result = known.run(arguments);
            // A full disk or a closed pipe: the answer is not there, and the script must know.
            if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
                sayFailed("standard output");
                return kError;
            }
            return result;
        }
    }
    return kUsage;
}

}  // namespace CommandLine
