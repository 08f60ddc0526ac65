#include "Session.h"

#include "model/HierarchyFile.h"

#include <QDir>
#include <QtTest>

#include <unistd.h>

std::optional<QByteArray> SlowStore::readValue(const QByteArray& path) const {
    return m_real.readValue(path);
}

std::error_code SlowStore::writeValue(const QByteArray& path, const QByteArray& value) {
    if (microseconds > 0) {
        usleep(static_cast<useconds_t>(microseconds.load()));
    }
    return m_real.writeValue(path, value);
}

std::optional<QByteArray> SlowStore::readOwnValue(const QByteArray& path) const {
    return m_real.readOwnValue(path);
}

std::error_code SlowStore::writeOwnValue(const QByteArray& path, const QByteArray& value) {
    return m_real.writeOwnValue(path, value);
}

Session::Session(const QString& home, const QString& cacheDir, Options options)
    : store(options.writeDelayMicroseconds) {
    TagIndex::Options indexOptions;
    indexOptions.roots = {QFile::encodeName(home)};
    indexOptions.outsideListPath = cacheDir + "/tagged-elsewhere";
    indexOptions.storePath = cacheDir + "/index.sqlite";
    indexOptions.crawlDelayMs = options.crawlDelayMs;
    indexOptions.watchLimit = options.watchLimit;
    indexOptions.recheckIntervalMs = 600000;
    index = std::make_unique<TagIndex>(indexOptions);
    index->start();
    journal = std::make_unique<FileJournal>(FileJournal::defaultPath());
    model = std::make_unique<AppViewModel>(
        AppViewModel::Services{store, *index, workspace, clock, previews, journal.get()},
        options.loadHierarchy ? AppViewModel::Startup::LoadHierarchy
                              : AppViewModel::Startup::Empty);
}

Session::~Session() {
    quit();
}

void Session::quit() {
    if (model) {
        model->shutDown();
        index->stop();
        model.reset();
    }
}

void Session::settle() {
    index->waitUntilReady();
    // The crawl's word and the names it found come as queued calls.
    QCoreApplication::processEvents();
    QTRY_VERIFY(!model->isMergingNames() && model->isFileWorkIdle());
    model->waitForFileWork();
}

void forgetEarlierRuns(const TestHome& home) {
    QDir(home.dataDir()).removeRecursively();
    QDir(home.cacheDir()).removeRecursively();
    QDir(QFileInfo(FileJournal::defaultPath()).absolutePath()).removeRecursively();
}
