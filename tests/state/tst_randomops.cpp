// Thousands of random operations against the view model, with the invariants checked after
// each: unique ids, a saved file that decodes to exactly the tree in memory, every file's tags
// what the operations imply, and the opened tag listing exactly the files that a fresh read of
// every file says it should.
#include "FakeServices.h"
#include "FileTags.h"
#include "TestHome.h"
#include "model/HierarchyCodec.h"
#include "model/HierarchyFile.h"
#include "model/TagTree.h"
#include "platform/TagValueCodec.h"
#include "platform/XattrTagStore.h"
#include "state/AppViewModel.h"
#include "state/SharedNames.h"

#include <QMimeData>
#include <QRandomGenerator>
#include <QtTest>

class TestRandomOps : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { m_home = std::make_unique<TestHome>(); }
    void randomOperationsKeepTheInvariants();

private:
    std::unique_ptr<TestHome> m_home;
};

namespace {

void collectIds(const QList<TagNode>& nodes, QList<QUuid>& ids) {
    for (const TagNode& node : nodes) {
        ids.append(node.id);
        collectIds(node.children, ids);
    }
}

QStringList fileTags(const QString& path) {
    return namesOn(path, true);
}

// The rule for a name two tags share: a file keeps it unless it carries the edited tag's
// ancestors and none of the other tags' ancestors.
bool keptForAnother(const QList<TagEdit::Guard>& guards, const QString& name,
                    const QSet<QString>& carried) {
    const auto carriesAll = [&](const QStringList& names) {
        return !names.isEmpty() &&
               QSet<QString>(names.begin(), names.end()).subtract(carried).isEmpty();
    };
    for (const TagEdit::Guard& guard : guards) {
        if (guard.name == name &&
            ((!guard.onlyWith.isEmpty() && !carriesAll(guard.onlyWith)) ||
             std::any_of(guard.keepWith.cbegin(), guard.keepWith.cend(), carriesAll))) {
            return true;
        }
    }
    return false;
}

QSet<QString> canonical(const QStringList& names) {
    QSet<QString> set;
    for (const QString& name : names) {
        set.insert(name.normalized(QString::NormalizationForm_C));
    }
    return set;
}

// The files that the tag lists with Match All Tags on, worked out from the files themselves.
QSet<QString> filesUnder(const TagNode& tag, const QList<TagNode>& tree, const QStringList& files) {
    QStringList path;
    AppViewModel::ancestorNames(tag.id, tree, path);
    path.append(tag.name);
    const QSet<QString> required = canonical(path);
    const QSet<QString> below = canonical(AppViewModel::allTagNames(tag.children));
    QSet<QString> listed;
    for (const QString& file : files) {
        const QSet<QString> tags = canonical(fileTags(file));
        if (tags.contains(required) && !tags.intersects(below)) {
            listed.insert(file);
        }
    }
    return listed;
}

}  // namespace

void TestRandomOps::randomOperationsKeepTheInvariants() {
    FakeServices services;
    const QString folder = m_home->path("random");
    QDir().mkpath(folder);
    services.query.autoAnswerFolder = folder;
    // No other program writes here: the file work need not look at its files again later.
    AppViewModel::Services quiet = services.services();
    quiet.fileWorkLateLook = {};
    AppViewModel model(quiet, AppViewModel::Startup::Empty);
    QStringList files;
    QHash<QString, QSet<QString>> expected;  // what each file's tags must be
    for (int i = 0; i < 8; ++i) {
        files.append(m_home->writeFile(QString("random/f%1.txt").arg(i), "x"));
        expected.insert(files.last(), {});
    }
    QRandomGenerator random(20261206);
    const QStringList names = {"Work", "work", "Home", "Projects", "Client", "Café", "a,b", "x\\y"};
    auto anyTag = [&]() -> std::optional<TagNode> {
        QList<QUuid> ids;
        collectIds(model.hierarchy(), ids);
        if (ids.isEmpty())
            return std::nullopt;
        return *AppViewModel::findTag(ids[random.bounded(ids.size())], model.hierarchy());
    };
    const int operations = 3000;
    for (int step = 0; step < operations; ++step) {
        const int choice = random.bounded(12);
        const auto tag = anyTag();
        switch (choice) {
            case 0:
            case 1:
                model.createTag(names[random.bounded(names.size())], random.bounded(8),
                                tag && random.bounded(2) ? std::optional(tag->id) : std::nullopt);
                break;
            case 2:
                if (tag) {
                    // Renaming in place renames on the files that carry the exact old name.
                    const QString newName = names[random.bounded(names.size())];
                    const auto shared = SharedNames::forRename(model.hierarchy(), tag->id);
                    const QList<TagEdit::Guard> guards =
                        shared ? QList<TagEdit::Guard>{*shared} : QList<TagEdit::Guard>();
                    const QString oldName = tag->name;
                    model.beginRename(*tag);
                    model.setInlineEditingText(newName);
                    model.commitInlineEdit();
                    if (oldName != newName) {
                        for (auto& tags : expected) {
                            if (!keptForAnother(guards, oldName, tags) && tags.remove(oldName))
                                tags.insert(newName);
                        }
                    }
                }
                break;
            case 3:
                if (tag && random.bounded(3) == 0)
                    model.deleteTag(tag->id);
                break;
            case 4:
                if (tag) {
                    const auto parent = anyTag();
                    model.moveTag(tag->id, parent ? std::optional(parent->id) : std::nullopt);
                }
                break;
            case 5:
                if (tag)
                    model.setColorIndex(random.bounded(8), tag->id);
                break;
            case 6:
                if (tag)
                    model.setIconName(
                        random.bounded(2) ? std::optional<QString>("star.fill") : std::nullopt,
                        tag->id);
                break;
            case 7:
                if (tag) {
                    QMimeData data;
                    const QString file = files[random.bounded(files.size())];
                    data.setUrls({QUrl::fromLocalFile(file)});
                    if (model.handleTagDrop(data, tag->id)) {
                        QStringList path;
                        AppViewModel::ancestorNames(tag->id, model.hierarchy(), path);
                        path.append(tag->name);
                        for (const QString& name : path)
                            expected[file].insert(name);
                    }
                }
                break;
            case 8: {
                // A drop on a column lifts the file out of the names below that column's tag.
                QMimeData data;
                const QString file = files[random.bounded(files.size())];
                data.setUrls({QUrl::fromLocalFile(file)});
                const qsizetype column =
                    random.bounded(static_cast<int>(model.navigationPath().size() + 1));
                const AppViewModel::DropNames drop = model.dropTargetNames(column);
                if (model.handleColumnDrop(data, column)) {
                    for (const QString& name : drop.adding)
                        expected[file].insert(name);
                    const QSet<QString> carried = expected[file];
                    for (const QString& name : drop.removing) {
                        if (!keptForAnother(drop.guards, name, carried))
                            expected[file].remove(name);
                    }
                }
                break;
            }
            case 9:
                if (tag)
                    model.openTag(
                        tag->id,
                        random.bounded(static_cast<int>(model.navigationPath().size() + 1)));
                break;
            case 10: {
                const int key = random.bounded(4);
                model.setViewMode(random.bounded(2) ? ViewMode::Icon : ViewMode::Column);
                key == 0   ? model.moveUp()
                : key == 1 ? model.moveDown()
                : key == 2 ? model.moveLeft()
                           : model.moveRight();
                break;
            }
            case 11:
                random.bounded(2) ? model.goBack() : model.navigateToRoot();
                break;
        }
        // Let the drops' deliveries and the file writes finish before checking.
        QCoreApplication::processEvents();
        model.waitForFileWork();
        QCoreApplication::processEvents();

        QList<QUuid> ids;
        collectIds(model.hierarchy(), ids);
        const QSet<QUuid> unique(ids.begin(), ids.end());
        QVERIFY2(unique.size() == ids.size(),
                 qPrintable(QString("duplicate id after step %1").arg(step)));
        const HierarchyFile::ReadResult file = HierarchyFile::read();
        const auto saved = file.status == HierarchyFile::ReadStatus::Missing
                               ? std::optional(QList<TagNode>())
                               : HierarchyCodec::decode(file.bytes);
        QVERIFY2(saved && *saved == model.hierarchy(),
                 qPrintable(QString("save differs after step %1").arg(step)));
        for (const QUuid& id : model.navigationPath()) {
            QVERIFY2(unique.contains(id),
                     qPrintable(QString("path names no tag after step %1").arg(step)));
        }
        // Renames reach the files one after the other, each after its own query.
        for (const QString& file : files) {
            QTRY_COMPARE(fileTags(file).size(), expected.value(file).size());  // no name twice
            const QStringList tags = fileTags(file);
            QCOMPARE(QSet<QString>(tags.begin(), tags.end()), expected.value(file));
        }
        // The opened tag, reloaded, lists what a fresh read of every file says.
        if (const auto current = model.currentTag(); current && model.matchAllTags()) {
            model.clearFileCache();
            model.loadFilesForCurrentTag();
            for (int turn = 0;
                 turn < 100 && (model.isLoadingFiles() || !model.loadingTagIDs().isEmpty());
                 ++turn) {
                QCoreApplication::processEvents();
                model.waitForFileWork();
            }
            QVERIFY(!model.isLoadingFiles() && model.loadingTagIDs().isEmpty());
            QSet<QString> listed;
            for (const FileItem& item : model.currentFiles()) {
                listed.insert(item.url.toLocalFile());
                QCOMPARE(canonical(item.tags), canonical(fileTags(item.url.toLocalFile())));
            }
            QVERIFY2(listed == filesUnder(*current, model.hierarchy(), files),
                     qPrintable(QString("listed files differ after step %1 (operation %2)")
                                    .arg(step)
                                    .arg(choice)));
        }
    }
}

QTEST_MAIN(TestRandomOps)
#include "tst_randomops.moc"
