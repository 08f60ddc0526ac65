#include "ModelFixture.h"
#include "model/HierarchyCodec.h"
#include "model/HierarchyFile.h"
#include "state/AppViewModel.h"

#include <QtTest>

#include <sys/stat.h>
#include <sys/xattr.h>

class TestEditing : public QObject, public ModelFixture {
    Q_OBJECT

private slots:
    void initTestCase() { createHome(); }
    void init();
    void cleanup() { destroyModel(); }
    void createAppendsAndSaves();
    void renameTrimsAndRefusesBlank();
    void inlineEditCommitsAndCancels();
    void commitRenamesTheFilesThenReloads();
    void deleteCutsThePathAtTheTag();
    void moveRefusesCycles();
    void movedOpenedTagStaysOpenedAtItsNewPlace();
    void depthLimitIsTheReadersLimit();
    void renamesReachTheFilesInOrder();
    void renameToAnotherUnicodeFormKeepsTheTag();
    void colourAndIconSettersClearWhatTheyReplace();
    void everyTreeEditIsUndoneAndRedone_data();
    void everyTreeEditIsUndoneAndRedone();
    void historyKeepsAtLeastAHundredSteps();

private:
    QList<TagNode> saved() {
        return HierarchyCodec::decode(HierarchyFile::read().bytes).value_or(QList<TagNode>());
    }
};

void TestEditing::init() {
    QFile::remove(HierarchyFile::hierarchyFilePath());
    createModel();
    m_services->query.autoAnswerFolder.clear();  // answers are released by each test
}

void TestEditing::createAppendsAndSaves() {
    const QUuid parent = add("Parent");
    add("First", parent);
    m_model->createTag("Second", 4, parent);
    m_model->createTag("Lost", 1, QUuid::createUuid());
    const TagNode* node = AppViewModel::findTag(parent, m_model->hierarchy());
    QCOMPARE(node->children.size(), 2);
    QCOMPARE(node->children[1].name, QString("Second"));
    QCOMPARE(node->children[1].colorIndex, 4);
    QCOMPARE(saved(), m_model->hierarchy());
    QVERIFY(m_model->navigationPath().isEmpty() && !m_model->selectedTagID());
}

void TestEditing::renameTrimsAndRefusesBlank() {
    const QUuid id = add("work");
    m_model->renameTag(id, "  Work\t ");
    QCOMPARE(m_model->hierarchy()[0].name, QString("Work"));
    QSignalSpy changed(m_model.get(), &AppViewModel::hierarchyChanged);
    m_model->renameTag(id, QString::fromUtf8("   \u00a0"));
    QCOMPARE(changed.count(), 0);
    m_model->renameTag(id, "Two\nLines\n");
    QCOMPARE(m_model->hierarchy()[0].name, QString("Two\nLines\n"));
    QCOMPARE(saved()[0].name, QString("Two\nLines\n"));
}

void TestEditing::inlineEditCommitsAndCancels() {
    const QUuid id = add("Alpha");
    m_model->beginRename(m_model->hierarchy()[0]);
    QCOMPARE(m_model->inlineEditingTagID(), id);
    QCOMPARE(m_model->inlineEditingText(), QString("Alpha"));
    m_model->setInlineEditingText("Changed");
    m_model->cancelInlineEdit();
    QCOMPARE(m_model->hierarchy()[0].name, QString("Alpha"));
    QVERIFY(m_model->inlineEditingText().isEmpty());

    m_model->beginRename(m_model->hierarchy()[0]);
    m_model->setInlineEditingText("   ");
    m_model->commitInlineEdit();
    QVERIFY(!m_model->inlineEditingTagID());
    QVERIFY(m_model->inlineEditingText().isEmpty());
    QCOMPARE(m_model->hierarchy()[0].name, QString("Alpha"));

    m_model->beginRename(m_model->hierarchy()[0]);
    m_model->setInlineEditingText(" Alpha ");
    m_model->commitInlineEdit();
    QCOMPARE(m_services->query.askedNames(), QStringList());  // same name: files untouched
    QCOMPARE(m_model->inlineEditingText(), QString(" Alpha "));
}

void TestEditing::commitRenamesTheFilesThenReloads() {
    const QUuid id = add("Alpha");
    QStringList paths;
    for (const char* name : {"one.txt", "two.txt"}) {
        paths.append(m_home->writeFile(QString("rename/") + name, "x"));
    }
    setxattr(QFile::encodeName(paths[0]).constData(), "user.xdg.tags", "Alpha,Other", 11, 0);
    setxattr(QFile::encodeName(paths[1]).constData(), "user.xdg.tags", "Beta,Alpha", 10, 0);
    const QString fifo = m_home->path("rename/pipe");
    mkfifo(QFile::encodeName(fifo).constData(), 0600);  // cannot be tagged: skipped

    m_model->openTag(id, 0);
    m_services->query.release(0, {});
    QTRY_VERIFY(!m_model->isLoadingFiles());
    m_model->beginRename(m_model->hierarchy()[0]);
    m_model->setInlineEditingText("Beta");
    m_model->commitInlineEdit();
    QCOMPARE(m_model->hierarchy()[0].name, QString("Beta"));
    QCOMPARE(m_services->query.askedNames().last(), QString("Alpha"));
    m_services->query.release(1, {QUrl::fromLocalFile(fifo), QUrl::fromLocalFile(paths[0]),
                                  QUrl::fromLocalFile(paths[1])});
    m_model->waitForFileWork();
    QCOMPARE(m_services->query.askedNames().size(), 3);  // the list reloads when the writes end
    QCOMPARE(m_services->query.askedNames().last(), QString("Beta"));
    QCOMPARE(tagsOf(paths[0]), QByteArray("Beta,Other"));
    QCOMPARE(tagsOf(paths[1]), QByteArray("Beta"));
    QStringList noted;
    for (const auto& [path, names] : m_services->query.notes) {
        noted.append(QString::fromUtf8(path));
    }
    QVERIFY(noted.contains(paths[0]) && noted.contains(paths[1]));

    // Names compare case-sensitively: Beta to beta is a rename on the files too.
    m_model->beginRename(m_model->hierarchy()[0]);
    m_model->setInlineEditingText("beta");
    m_model->commitInlineEdit();
    QTRY_COMPARE(m_services->query.askedNames().size(), 4);
    QCOMPARE(m_services->query.askedNames().last(), QString("Beta"));
    m_services->query.release(3, {QUrl::fromLocalFile(paths[1])});
    QTRY_COMPARE(tagsOf(paths[1]), QByteArray("beta"));
}

void TestEditing::deleteCutsThePathAtTheTag() {
    const QUuid a = add("A");
    const QUuid b = add("B", a);
    const QUuid c = add("C", b);
    m_model->openTag(a, 0);
    m_model->openTag(b, 1);
    m_model->openTag(c, 2);
    m_model->deleteTag(b);
    QCOMPARE(m_model->navigationPath(), QList<QUuid>({a}));
    QVERIFY(!AppViewModel::findTag(c, m_model->hierarchy()));
    QCOMPARE(m_model->currentTag()->id, a);
    QCOMPARE(saved().size(), 1);
    QVERIFY(saved()[0].children.isEmpty());
    QSignalSpy changed(m_model.get(), &AppViewModel::navigationPathChanged);
    m_model->deleteTag(QUuid::createUuid());
    QCOMPARE(changed.count(), 0);
}

void TestEditing::moveRefusesCycles() {
    const QUuid a = add("A");
    const QUuid b = add("B", a);
    const QUuid c = add("C", b);
    const QByteArray before = HierarchyFile::read().bytes;
    m_model->moveTag(a, c);
    m_model->moveTag(a, a);
    m_model->moveTag(QUuid::createUuid(), std::nullopt);
    m_model->moveTag(b, QUuid::createUuid());  // an unknown parent must not drop the subtree
    QCOMPARE(HierarchyFile::read().bytes, before);
    QVERIFY(AppViewModel::findTag(c, m_model->hierarchy()));
    m_model->moveTag(c, std::nullopt);
    QCOMPARE(m_model->hierarchy().size(), 2);
    QCOMPARE(m_model->hierarchy()[1].id, c);
    m_model->moveTag(b, c);  // B keeps its id and is now under C
    QCOMPARE(AppViewModel::findTag(c, m_model->hierarchy())->children[0].id, b);
    QCOMPARE(saved(), m_model->hierarchy());
}

void TestEditing::movedOpenedTagStaysOpenedAtItsNewPlace() {
    const QUuid a = add("A");
    const QUuid b = add("B", a);
    const QUuid c = add("C", b);
    const QUuid other = add("Other");
    m_model->openTag(a, 0);
    m_model->openTag(b, 1);
    m_model->openTag(c, 2);
    const qsizetype asked = m_services->query.askedNames().size();
    m_model->moveTag(b, other);
    QCOMPARE(m_model->navigationPath(), QList<QUuid>({other, b, c}));
    // The lists reload: under Match All Tags the names they need changed. KDE's path entries
    // through the old place are looked up to move with the tag.
    QCOMPARE(m_services->query.askedNames().mid(asked), QStringList({"/A/B", "C", "Other", "B"}));
}

void TestEditing::depthLimitIsTheReadersLimit() {
    // A chain as deep as the file keeps: 256 levels.
    QList<QUuid> chain;
    for (int level = 1; level <= 256; ++level) {
        chain.append(add(QString("L%1").arg(level),
                         chain.isEmpty() ? std::nullopt : std::optional(chain.last())));
    }
    QVERIFY(!m_model->canCreateTag(chain.last()));
    QVERIFY(m_model->canCreateTag(chain[254]));
    const QByteArray full = HierarchyFile::read().bytes;
    m_model->createTag("TooDeep", 0, chain.last());
    QCOMPARE(HierarchyFile::read().bytes, full);
    for (qsizetype i = 0; i < chain.size(); ++i) {
        m_model->openTag(chain[i], i);
    }
    m_model->requestNewTag();  // the sheet is not offered for a child that cannot be kept
    QVERIFY(!m_model->showNewTagSheet());

    const QUuid loose = add("Loose");
    add("Child", loose);
    const QByteArray withLoose = HierarchyFile::read().bytes;
    m_model->moveTag(loose, chain[254]);  // its child would sit at level 257
    QCOMPARE(HierarchyFile::read().bytes, withLoose);
    m_model->moveTag(loose, chain[253]);  // level 256 exactly
    QCOMPARE(AppViewModel::findTag(chain[253], m_model->hierarchy())->children.size(), 2);
    // What the editor made, the reader takes back whole.
    QCOMPARE(saved(), m_model->hierarchy());
}

void TestEditing::renamesReachTheFilesInOrder() {
    const QUuid id = add("A");
    const QString path = file("order.txt", "A");
    auto rename = [&](const QString& to) {
        m_model->beginRename(*AppViewModel::findTag(id, m_model->hierarchy()));
        m_model->setInlineEditingText(to);
        m_model->commitInlineEdit();
    };
    rename("B");
    rename("C");  // while the index still gathers the files of A
    QCOMPARE(m_services->query.askedNames(), QStringList({"A"}));
    m_services->query.release(0, {QUrl::fromLocalFile(path)});
    QTRY_COMPARE(m_services->query.askedNames(), QStringList({"A", "B"}));
    QCOMPARE(tagsOf(path), QByteArray("B"));
    m_services->query.release(1, {QUrl::fromLocalFile(path)});
    QTRY_COMPARE(tagsOf(path), QByteArray("C"));
    QCOMPARE(m_model->hierarchy()[0].name, QString("C"));
}

void TestEditing::renameToAnotherUnicodeFormKeepsTheTag() {
    const QString decomposed = QString::fromUtf8("Cafe\u0301");
    const QString composed = QString::fromUtf8("Caf\u00e9");
    const QUuid id = add(decomposed);
    const QString path = file("cafe.txt", decomposed.toUtf8() + ",Other");
    m_model->beginRename(*AppViewModel::findTag(id, m_model->hierarchy()));
    m_model->setInlineEditingText(composed);
    m_model->commitInlineEdit();
    m_services->query.release(0, {QUrl::fromLocalFile(path)});
    QTRY_COMPARE(tagsOf(path), composed.toUtf8() + ",Other");
}

void TestEditing::colourAndIconSettersClearWhatTheyReplace() {
    const QUuid id = add("T");
    m_model->setCustomColorHex("FF0000", id);
    m_model->setColorIndex(3, id);
    QVERIFY(!m_model->hierarchy()[0].customColorHex);
    m_model->setCustomColorHex("00FF00", id);
    QCOMPARE(m_model->hierarchy()[0].colorIndex, 3);
    m_model->setIconName("star.fill", id);
    m_model->setCustomIconData(std::nullopt, id);
    QCOMPARE(m_model->hierarchy()[0].iconName, QString("star.fill"));
    m_model->setCustomIconData(QByteArray("png"), id);
    QVERIFY(!m_model->hierarchy()[0].iconName);
    m_model->setIconName("heart.fill", id);
    QVERIFY(!m_model->hierarchy()[0].customIconData);
    QCOMPARE(saved(), m_model->hierarchy());
}

using TreeEdit = std::function<void(AppViewModel&, const QUuid& a, const QUuid& b)>;
Q_DECLARE_METATYPE(TreeEdit)

void TestEditing::everyTreeEditIsUndoneAndRedone_data() {
    QTest::addColumn<TreeEdit>("edit");
    QTest::addColumn<QString>("label");
    QTest::newRow("create") << TreeEdit([](AppViewModel& m, auto&, auto& b) {
        m.createTag(" New ", 3, b);
    }) << "New Tag \u201cNew\u201d";
    QTest::newRow("rename") << TreeEdit([](AppViewModel& m, auto& a, auto&) {
        m.renameTag(a, "Renamed");
    }) << "Rename \u201cA\u201d";
    QTest::newRow("move") << TreeEdit([](AppViewModel& m, auto&, auto& b) {
        m.moveTag(b, std::nullopt);
    }) << "Move \u201cB\u201d";
    QTest::newRow("colour") << TreeEdit([](AppViewModel& m, auto& a, auto&) {
        m.setColorIndex(5, a);
    }) << "Set Color of \u201cA\u201d";
    QTest::newRow("custom colour")
        << TreeEdit([](AppViewModel& m, auto& a, auto&) { m.setCustomColorHex("#123456", a); })
        << "Set Color of \u201cA\u201d";
    QTest::newRow("icon") << TreeEdit([](AppViewModel& m, auto& a, auto&) {
        m.setIconName("star", a);
    }) << "Set Icon of \u201cA\u201d";
    QTest::newRow("custom image") << TreeEdit([](AppViewModel& m, auto& a, auto&) {
        m.setCustomIconData(QByteArray("\x89PNG\r\n\x1a\n"), a);
    }) << "Set Icon of \u201cA\u201d";
    QTest::newRow("delete branch")
        << TreeEdit([](AppViewModel& m, auto& a, auto&) { m.deleteTag(a); })
        << "Delete \u201cA\u201d";
}

void TestEditing::everyTreeEditIsUndoneAndRedone() {
    QFETCH(TreeEdit, edit);
    QFETCH(QString, label);
    const QUuid a = add("A");
    const QUuid b = add("B", a);
    m_model->setColorIndex(2, b);
    const QList<TagNode> before = m_model->hierarchy();
    edit(*m_model, a, b);
    const QList<TagNode> after = m_model->hierarchy();
    QVERIFY(after != before);
    QCOMPARE(m_model->undoLabel(), "Undo " + label);
    // A name found on the files joins the tree before the undo: undo and redo leave it be.
    m_services->query.tagNamesOnFiles = {"Merged"};
    m_model->mergeTagsOnFiles(true);
    QTRY_COMPARE(m_model->hierarchy().size(), after.size() + 1);
    const TagNode merged = m_model->hierarchy().last();

    m_model->undo();
    QCOMPARE(m_model->hierarchy(), before + QList{merged});  // ids, colours, icons included
    QCOMPARE(saved(), before + QList{merged});
    QCOMPARE(m_model->redoLabel(), "Redo " + label);
    m_model->redo();
    QCOMPARE(m_model->hierarchy(), after + QList{merged});
    QCOMPARE(saved(), after + QList{merged});
    // A new edit after an undo drops what could have been redone.
    m_model->undo();
    m_model->createTag("Other", 0, std::nullopt);
    QCOMPARE(m_model->redoLabel(), std::nullopt);
}

void TestEditing::historyKeepsAtLeastAHundredSteps() {
    const QList<TagNode> empty = m_model->hierarchy();
    for (int i = 0; i < 120; ++i) {
        m_model->createTag(QString("T%1").arg(i), 0, std::nullopt);
    }
    for (int i = 0; i < 120; ++i) {
        m_model->undo();
    }
    QCOMPARE(m_model->hierarchy(), empty);
    QCOMPARE(m_model->undoLabel(), std::nullopt);

    // A new edit after an undo ends the undone steps: they are neither redone nor undone again.
    m_model->redo();
    m_model->createTag("New", 0, std::nullopt);
    QCOMPARE(m_model->redoLabel(), std::nullopt);
    m_model->undo();
    QCOMPARE(m_model->undoLabel(), QString("Undo New Tag \u201cT0\u201d"));
}

QTEST_MAIN(TestEditing)
#include "tst_editing.moc"
