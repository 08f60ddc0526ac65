#include "FileTags.h"
#include "WindowFixture.h"
#include "platform/LocalPreviewSource.h"
#include "state/AppViewModel.h"
#include "views/window/MainWindow.h"
#include "views/window/PreviewWindow.h"

#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPdfWriter>
#include <QPlainTextEdit>
#include <QtTest>

// The preview window, in the real window over Alpha's files: one.png, three.txt and two.txt.
class TestPreview : public QObject, public WindowFixture {
    Q_OBJECT

private slots:
    void initTestCase() { createHome(); }
    void init();
    void cleanup() { destroyWindow(); }
    void spaceNeedsASelectionAndNoCtrl();
    void spaceToggles();
    void previewFollowsTheArrowKeys();
    void spaceTypesIntoARenameField();
    void kindsOfPreview();
    void hostileFilesNeitherCrashNorStall();

private:
    QWidget* focus() {
        return QApplication::focusWidget() ? QApplication::focusWidget() : m_window.get();
    }
    // A file holding `bytes`, tagged `tags`.
    QString content(const QString& name, const QByteArray& bytes,
                    const QByteArray& tags = "Alpha") {
        const QString path = m_home->writeFile(m_folder + "/" + name, bytes);
        setRaw(path, tags);
        return path;
    }
    FilePreview read(const QString& path) {
        return LocalPreviewSource::read(QUrl::fromLocalFile(path));
    }
};

void TestPreview::init() {
    createWindow(false);
    QImage image(40, 30, QImage::Format_RGB32);
    image.fill(Qt::green);
    image.save(m_folder + "/one.png");
    setRaw(m_folder + "/one.png", "Alpha");
    content("two.txt", "hello there");
    content("three.txt", "third");
    m_model->openTag(m_a, 0);
    QTRY_VERIFY(m_model->filesPerTag().value(m_a).size() >= 3);
}

void TestPreview::spaceNeedsASelectionAndNoCtrl() {
    QTest::keyClick(focus(), Qt::Key_Space);
    QVERIFY(!m_window->preview().isVisible());
    m_model->selectFile(m_model->filesPerTag().value(m_a)[0], AppViewModel::SelectMode::Replace);
    QTest::keyClick(focus(), Qt::Key_Space, Qt::ControlModifier);
    QVERIFY(!m_window->preview().isVisible());
}

void TestPreview::spaceToggles() {
    const FileItem first = m_model->filesPerTag().value(m_a)[0];
    m_model->selectFile(first, AppViewModel::SelectMode::Replace);
    QTest::keyClick(focus(), Qt::Key_Space);
    PreviewWindow& preview = m_window->preview();
    QVERIFY(preview.isVisible());
    QCOMPARE(preview.items(), QList<QUrl>({first.url}));
    QTRY_VERIFY(preview.shown().has_value());
    QCOMPARE(preview.shown()->kind, FilePreview::Kind::Image);
    // The second press goes to whichever window is active; both close the preview.
    QTest::keyClick(
        QApplication::activeWindow() == &preview ? static_cast<QWidget*>(&preview) : focus(),
        Qt::Key_Space);
    QVERIFY(!preview.isVisible());
    // Escape closes it too, from the main window as from the preview.
    m_window->activateWindow();
    QTRY_VERIFY(m_window->isActiveWindow());
    QTest::keyClick(focus(), Qt::Key_Space);
    QVERIFY(preview.isVisible());
    QTest::keyClick(focus(), Qt::Key_Escape);
    QVERIFY(!preview.isVisible());
    // A folder's title is its name, even from a URL that ends in a slash.
    preview.setItems({QUrl::fromLocalFile(m_folder + "/")});
    QCOMPARE(preview.findChild<QLabel*>("previewTitle")->text(), QFileInfo(m_folder).fileName());
}

void TestPreview::previewFollowsTheArrowKeys() {
    const QList<FileItem> files = m_model->filesPerTag().value(m_a);
    m_model->selectFile(files[0], AppViewModel::SelectMode::Replace);
    QTest::keyClick(focus(), Qt::Key_Space);
    PreviewWindow& preview = m_window->preview();
    QTest::keyClick(focus(), Qt::Key_Down);
    QCOMPARE(preview.items(), QList<QUrl>({files[1].url}));
    QTRY_VERIFY(preview.shown() && preview.shown()->url == files[1].url);
    QCOMPARE(preview.shown()->kind, FilePreview::Kind::Text);
    QCOMPARE(preview.shown()->text, QString("third"));  // sorted: one, three, two
    // Several selected files: in order, with steps between them.
    m_model->selectFile(files[2], AppViewModel::SelectMode::Toggle);
    QCOMPARE(preview.items().size(), 2);
    preview.step(1);
    preview.step(1);
    QCOMPARE(preview.currentIndex(), 1);
    // Long lines wrap; with nothing selected no file's name is left in the title.
    QCOMPARE(preview.findChild<QPlainTextEdit*>()->lineWrapMode(), QPlainTextEdit::WidgetWidth);
    m_model->setSelectedFileIDs({});
    QVERIFY(preview.findChild<QLabel*>("previewTitle")->text().isEmpty());
    QCOMPARE(preview.windowTitle(), QString("Preview"));
}

void TestPreview::spaceTypesIntoARenameField() {
    m_model->selectFile(m_model->filesPerTag().value(m_a)[0], AppViewModel::SelectMode::Replace);
    m_model->beginRename(m_model->hierarchy()[0]);
    QLineEdit* editor = nullptr;
    QTRY_VERIFY((editor = m_window->findChild<QLineEdit*>("tagNameEditor")) && editor->hasFocus());
    QTest::keyClick(editor, Qt::Key_End);
    QTest::keyClick(editor, Qt::Key_Space);
    QTest::keyClick(editor, Qt::Key_B);
    QVERIFY(!m_window->preview().isVisible());
    QCOMPARE(m_model->inlineEditingText(), QString("Alpha b"));
}

void TestPreview::kindsOfPreview() {
    QCOMPARE(read(m_folder + "/one.png").kind, FilePreview::Kind::Image);
    const FilePreview text = read(content("latin.txt", "caf\xe9 au lait"));
    QCOMPARE(text.kind, FilePreview::Kind::Text);
    QCOMPARE(text.text, QString::fromUtf8("café au lait"));
    const FilePreview utf16 = read(content("wide.txt", QByteArray("\xff\xfeh\0i\0", 6)));
    QCOMPARE(utf16.text, QString("hi"));
    QDir().mkpath(m_folder + "/folder/inner");
    m_home->writeFile(m_folder + "/folder/z.txt", "z");
    const FilePreview folder = read(m_folder + "/folder");
    QCOMPARE(folder.kind, FilePreview::Kind::Folder);
    QCOMPARE(folder.entries, QStringList({"inner", "z.txt"}));
    {
        QPdfWriter writer(m_folder + "/doc.pdf");
        QPainter painter(&writer);
        painter.drawText(100, 100, "A page");
        writer.newPage();
    }
    const FilePreview pdf = read(m_folder + "/doc.pdf");
    QCOMPARE(pdf.kind, FilePreview::Kind::Pdf);
    QCOMPARE(pdf.pageCount, 2);
    QVERIFY(!pdf.image.isNull());
    QCOMPARE(pdf.image.pixelColor(2, 2), QColor(Qt::white));  // a page is paper, not glass
    const FilePreview other = read(content("archive.zip", "PK\x03\x04 not really"));
    QCOMPARE(other.kind, FilePreview::Kind::Other);
    QCOMPARE(other.size, 15);
    QVERIFY(!other.typeName.isEmpty());
    QCOMPARE(read(m_folder + "/gone.txt").kind, FilePreview::Kind::Missing);
}

void TestPreview::hostileFilesNeitherCrashNorStall() {
    const FilePreview damaged =
        read(content("damaged.png", "\x89PNG\r\n\x1a\n broken beyond repair"));
    QCOMPARE(damaged.kind, FilePreview::Kind::Other);
    const QString sparse = m_folder + "/huge.txt";
    QFile big(sparse);
    QVERIFY(big.open(QIODevice::WriteOnly));
    QVERIFY(big.resize(2LL * 1024 * 1024 * 1024));  // 2 GB, sparse
    big.close();
    const FilePreview huge = read(sparse);
    QCOMPARE(huge.size, 2LL * 1024 * 1024 * 1024);
    QCOMPARE(huge.kind, FilePreview::Kind::Other);  // all NUL bytes: not text
    QByteArray binary;
    for (int i = 0; i < 4096; ++i)
        binary.append(static_cast<char>(i % 256));
    QCOMPARE(read(content("data.txt", binary)).kind, FilePreview::Kind::Other);
    QByteArray longText(200000, 'x');
    const FilePreview cut = read(content("long.txt", longText));
    QCOMPARE(cut.text.size(), LocalPreviewSource::kMaxTextBytes);
    QVERIFY(cut.truncated);

    // In the window: the user interface keeps answering while these load.
    m_model->createTag("Bad", 0, std::nullopt);
    setRaw(sparse, "Bad");
    setRaw(m_folder + "/damaged.png", "Bad");
    const QUuid bad = m_model->hierarchy()[1].id;
    m_model->openTag(bad, 0);
    QTRY_COMPARE(m_model->filesPerTag().value(bad).size(), 2);
    for (const FileItem& f : m_model->filesPerTag().value(bad)) {
        m_model->selectFile(f, AppViewModel::SelectMode::Toggle);
    }
    QTest::keyClick(focus(), Qt::Key_Space);
    QTRY_VERIFY(m_window->preview().shown().has_value());
    m_window->preview().step(1);
    QTRY_VERIFY(m_window->preview().shown().has_value());
    QCOMPARE(m_window->preview().shown()->kind, FilePreview::Kind::Other);
}

QTEST_MAIN(TestPreview)
#include "tst_preview.moc"
