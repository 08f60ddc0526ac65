#include "ModelFixture.h"
#include "state/AppViewModel.h"

#include <QtTest>

#include <sys/xattr.h>

class TestKeyboard : public QObject, public ModelFixture {
    Q_OBJECT

private slots:
    void initTestCase() { createHome(); }
    void init() { createModel(); }
    void cleanup() { destroyModel(); }
    void gridMovesWithinRowsAndEnds();
    void gridWithoutFocus();
    void gridReachesFiles();
    void columnsOpenTheFirstRootTag();
    void columnsWalkTagsThenFiles();
    void columnsStepFromTheLastChildToTheParentsFiles();
    void leftClearsThenGoesBack();

private:
    qsizetype focusedGridIndex() {
        const QList<TagNode> tags = m_model->sortedTagsForColumn(m_model->navigationPath().size());
        for (qsizetype i = 0; i < tags.size(); ++i) {
            if (m_model->selectedTagID() == tags[i].id)
                return i;
        }
        const QList<FileItem>& files = m_model->currentFiles();
        for (qsizetype i = 0; i < files.size(); ++i) {
            if (m_model->selectedFileIDs().contains(files[i].id))
                return tags.size() + i;
        }
        return -1;
    }
    QString selectedFileName() {
        for (const auto& files : m_model->filesPerTag()) {
            for (const FileItem& f : files) {
                if (m_model->selectedFileIDs().contains(f.id))
                    return f.name;
            }
        }
        return {};
    }
};

void TestKeyboard::gridMovesWithinRowsAndEnds() {
    m_model->setViewMode(ViewMode::Icon);
    for (int i = 0; i < 7; ++i) {
        add(QString("t%1").arg(i));
    }
    QCOMPARE(m_model->iconGridColumnsPerRow(), 5);
    m_model->selectGridItem(4);
    m_model->moveRight();
    QCOMPARE(focusedGridIndex(), 4);  // never leaves the row
    m_model->moveDown();
    QCOMPARE(focusedGridIndex(), 4);  // no item 9
    m_model->selectGridItem(1);
    m_model->moveDown();
    QCOMPARE(focusedGridIndex(), 6);
    m_model->selectGridItem(5);
    m_model->moveLeft();
    QCOMPARE(focusedGridIndex(), 5);
    m_model->moveUp();
    QCOMPARE(focusedGridIndex(), 0);
    m_model->moveUp();
    QCOMPARE(focusedGridIndex(), 0);
    m_model->moveRight();
    QCOMPARE(focusedGridIndex(), 1);
    QVERIFY(m_model->navigationPath().isEmpty());  // selecting a tile never opens it
}

void TestKeyboard::gridWithoutFocus() {
    m_model->setViewMode(ViewMode::Icon);
    m_model->moveDown();  // an empty grid: nothing
    QVERIFY(!m_model->selectedTagID());
    add("a");
    add("b");
    add("c");
    m_model->moveDown();
    QCOMPARE(focusedGridIndex(), 0);
    m_model->clearSelection();
    m_model->moveUp();
    QCOMPARE(focusedGridIndex(), 2);
}

void TestKeyboard::gridReachesFiles() {
    m_model->setViewMode(ViewMode::Icon);
    const QUuid a = add("A");
    add("Child", a);
    file("x.txt", "A");
    file("y.txt", "A");
    m_model->enterTag(a);
    settle();
    m_model->selectGridItem(0);
    m_model->moveRight();
    QCOMPARE(focusedGridIndex(), 1);
    QVERIFY(!m_model->selectedTagID());
    m_model->moveRight();
    QCOMPARE(focusedGridIndex(), 2);
    m_model->moveLeft();
    m_model->moveLeft();
    QCOMPARE(focusedGridIndex(), 0);
}

void TestKeyboard::columnsOpenTheFirstRootTag() {
    m_model->moveDown();  // nothing to open
    QVERIFY(m_model->navigationPath().isEmpty());
    add("beta");
    const QUuid alpha = add("Alpha");
    m_model->moveUp();
    QCOMPARE(m_model->navigationPath(), QList<QUuid>({alpha}));
}

void TestKeyboard::columnsWalkTagsThenFiles() {
    const QUuid a = add("A");
    file("x.txt", "A");
    file("y.txt", "A");
    m_model->openTag(a, 0);
    settle();
    m_model->moveRight();
    QCOMPARE(selectedFileName(), QString("x.txt"));
    m_model->moveDown();
    QCOMPARE(selectedFileName(), QString("y.txt"));
    m_model->moveDown();
    QCOMPARE(selectedFileName(), QString("y.txt"));
    m_model->moveRight();  // a file is selected: nothing
    QCOMPARE(selectedFileName(), QString("y.txt"));
    m_model->moveUp();
    m_model->moveUp();
    QCOMPARE(selectedFileName(), QString("x.txt"));  // clamped; A has no child tags
}

void TestKeyboard::columnsStepFromTheLastChildToTheParentsFiles() {
    const QUuid a = add("A");
    const QUuid first = add("B1", a);
    const QUuid last = add("B2", a);
    file("x.txt", "A");
    m_model->openTag(a, 0);
    settle();
    m_model->moveRight();
    QCOMPARE(m_model->navigationPath(), QList<QUuid>({a, first}));
    settle();
    m_model->moveDown();
    QCOMPARE(m_model->navigationPath(), QList<QUuid>({a, last}));
    settle();
    m_model->moveDown();
    QCOMPARE(m_model->navigationPath(), QList<QUuid>({a}));
    QCOMPARE(selectedFileName(), QString("x.txt"));
    m_model->moveUp();  // back onto the last tag of the column
    QCOMPARE(m_model->navigationPath(), QList<QUuid>({a, last}));
}

void TestKeyboard::leftClearsThenGoesBack() {
    const QUuid a = add("A");
    file("x.txt", "A");
    m_model->openTag(a, 0);
    settle();
    m_model->moveRight();
    QCOMPARE(m_model->selectedFileIDs().size(), 1);
    m_model->moveLeft();
    QVERIFY(m_model->selectedFileIDs().isEmpty());
    QCOMPARE(m_model->navigationPath().size(), 1);
    m_model->moveLeft();
    QVERIFY(m_model->navigationPath().isEmpty());
}

QTEST_MAIN(TestKeyboard)
#include "tst_keyboard.moc"
