// The journal's cost: a rename across 10,000 files written directly, as before the journal,
// and through the journal (plan, batches, read-back); and opening an empty journal at start.
#include "platform/FileJournal.h"
#include "platform/TaggedFileQuery.h"
#include "platform/XattrTagStore.h"
#include "services/FileTagging.h"
#include "services/FileWork.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <sys/xattr.h>

#include <algorithm>
#include <cstdio>

namespace {

class NoQuery : public TaggedFileQuery {
public:
    void queryFilesWithTag(const QString&, Completion completion) override { completion({}); }
    void queryAllTagNames(NamesCompletion completion, bool) override { completion({}); }
    void noteTagsWritten(const QByteArray&, const QByteArray&) override {}
};

double median(QList<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int count = argc > 1 ? std::atoi(argv[1]) : 10000;
    QTemporaryDir dir(QDir::tempPath() + "/orvane-bench-journal-XXXXXX");
    qputenv("XDG_STATE_HOME", (dir.path() + "/state").toUtf8());
    QList<QByteArray> paths;
    for (int i = 0; i < count; ++i) {
        const QString path = dir.path() + QString("/f%1").arg(i);
        QFile file(path);
        file.open(QIODevice::WriteOnly);
        paths.append(QFile::encodeName(path));
        setxattr(paths.last().constData(), "user.xdg.tags", "A,Old,B", 7, 0);
    }
    XattrTagStore store;
    NoQuery query;
    std::atomic_bool stop = false;
    QList<double> direct;
    QList<double> journaled;
    QList<double> inMemory;
    QString from = "Old";
    QString to = "New";
    for (int round = 0; round < 5; ++round) {
        QElapsedTimer timer;
        timer.start();
        for (const QByteArray& path : paths) {
            FileTagging::edit(store, path, TagEdit::rename(from, to));
        }
        direct.append(timer.nsecsElapsed() / 1e6);
        std::swap(from, to);

        for (auto* times : {&journaled, &inMemory}) {
            FileJournal journal(times == &journaled ? FileJournal::defaultPath() : ":memory:");
            FileWork::Context context{store, journal, query, stop, {}};
            timer.restart();
            const qint64 op = journal.begin({.edit = TagEdit::rename(from, to)});
            FileWork::planEdit(journal, op, paths);
            FileWork::run(context, op);
            times->append(timer.nsecsElapsed() / 1e6);
            std::swap(from, to);
        }
    }
    // Read-back and the edit's bookkeeping cost the same with the journal in memory; what the
    // journal on disk adds is the difference between the last two.
    std::printf(
        "rename on %d files (medians of 5): direct %.0f ms, journal in memory %.0f ms, "
        "journal on disk %.0f ms; the disk journal adds %.1f %%\n",
        count, median(direct), median(inMemory), median(journaled),
        100.0 * (median(journaled) - median(inMemory)) / median(inMemory));

    QList<double> opens;
    const QString empty = dir.path() + "/empty/journal.sqlite";
    { FileJournal create(empty); }
    for (int i = 0; i < 20; ++i) {
        QElapsedTimer timer;
        timer.start();
        FileJournal journal(empty);
        opens.append(timer.nsecsElapsed() / 1e6);
    }
    std::printf("opening an empty journal: %.2f ms (median of 20)\n", median(opens));
    return 0;
}
