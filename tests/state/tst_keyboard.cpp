#include "ModelFixture.h"
#include "state/AppViewModel.h"

#include <QtTest>

// Arrow keys in both views, as sequences of keys ("U", "D", "L", "R") and where each leaves
// the focus.
class TestKeyboard : public QObject, public ModelFixture {
    Q_OBJECT

private slots:
    void initTestCase() { createHome(); }
    void init() { createModel(); }
    void cleanup() { destroyModel(); }
    void grid_data();
    void grid();
    void columns_data();
    void columns();

private:
    void press(QChar key) {
        key == 'U'   ? m_model->moveUp()
        : key == 'D' ? m_model->moveDown()
        : key == 'L' ? m_model->moveLeft()
                     : m_model->moveRight();
        settle();
    }
    // The focused item of the grid: tiles first, then files; -1 for none.
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
    // In the columns: the open path's names, and the selected file after a colon.
    QString columnFocus() {
        QStringList names;
        for (const QUuid& id : m_model->navigationPath()) {
            names.append(AppViewModel::findTag(id, m_model->hierarchy())->name);
        }
        QString focus = names.join('/');
        for (const auto& files : m_model->filesPerTag()) {
            for (const FileItem& f : files) {
                if (m_model->selectedFileIDs().contains(f.id))
                    focus += ":" + f.name;
            }
        }
        return focus;
    }
};

void TestKeyboard::grid_data() {
    // Seven tiles t0..t6 five to a row; or, "files": inside A (one child tile, files x and y).
    QTest::addColumn<bool>("files");
    QTest::addColumn<int>("start");  // the tile selected first; -1: none
    QTest::addColumn<QString>("keys");
    QTest::addColumn<QList<qsizetype>>("focus");  // after each key
    using L = QList<qsizetype>;
    QTest::newRow("never leaves the row or lands on no item") << false << 4 << "RD" << L{4, 4};
    QTest::newRow("down to the short last row") << false << 1 << "D" << L{6};
    QTest::newRow("row starts and the top") << false << 5 << "LUUR" << L{5, 0, 0, 1};
    QTest::newRow("no focus: down takes the first") << false << -1 << "D" << L{0};
    QTest::newRow("no focus: up takes the last") << false << -1 << "U" << L{6};
    QTest::newRow("tiles then files") << true << 0 << "RRLL" << L{1, 2, 1, 0};
}

void TestKeyboard::grid() {
    QFETCH(bool, files);
    QFETCH(int, start);
    QFETCH(QString, keys);
    QFETCH(QList<qsizetype>, focus);
    m_model->setViewMode(ViewMode::Icon);
    press('D');  // an empty grid: nothing
    QVERIFY(!m_model->selectedTagID());
    if (files) {
        const QUuid a = add("A");
        add("Child", a);
        file("x.txt", "A");
        file("y.txt", "A");
        m_model->enterTag(a);
        settle();
    } else {
        for (int i = 0; i < 7; ++i) {
            add(QString("t%1").arg(i));
        }
    }
    if (start >= 0) {
        m_model->selectGridItem(start);
    }
    QList<qsizetype> seen;
    for (const QChar key : keys) {
        press(key);
        seen.append(focusedGridIndex());
    }
    QCOMPARE(seen, focus);
    QCOMPARE(m_model->navigationPath().size(), files ? 1 : 0);  // a selected tile never opens
}

void TestKeyboard::columns_data() {
    // A holds B1 and B2 and the files x and y; "beta" and "Alpha" sort after and before A.
    QTest::addColumn<QString>("keys");
    QTest::addColumn<QStringList>("focus");  // after each key
    QTest::newRow("the first root tag by name") << "U" << QStringList{"A"};
    QTest::newRow("children, then the parent's own files, and back")
        << "DRDDU" << QStringList{"A", "A/B1", "A/B2", "A:x.txt", "A/B2"};
    QTest::newRow("files to the end of the column")
        << "DRDDDRUU"
        << QStringList{"A", "A/B1", "A/B2", "A:x.txt", "A:y.txt", "A:y.txt", "A:x.txt", "A/B2"};
    QTest::newRow("left clears the file, then goes back")
        << "DRDDLLL" << QStringList{"A", "A/B1", "A/B2", "A:x.txt", "A", "", ""};
}

void TestKeyboard::columns() {
    QFETCH(QString, keys);
    QFETCH(QStringList, focus);
    press('D');  // nothing to open
    QVERIFY(m_model->navigationPath().isEmpty());
    const QUuid a = add("A");
    add("B1", a);
    add("B2", a);
    add("beta");
    file("x.txt", "A");
    file("y.txt", "A");
    QStringList seen;
    for (const QChar key : keys) {
        press(key);
        seen.append(columnFocus());
    }
    QCOMPARE(seen, focus);
}

QTEST_MAIN(TestKeyboard)
#include "tst_keyboard.moc"
