#include "FakeServices.h"
#include "TestHome.h"
#include "platform/LocalPreviewSource.h"
#include "state/AppViewModel.h"
#include "views/column/ColumnBrowserView.h"
#include "views/column/ColumnLayoutView.h"
#include "views/column/ColumnModel.h"
#include "views/column/SingleColumnView.h"
#include "views/window/MainWindow.h"
#include "views/window/PreviewWindow.h"

#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPdfWriter>
#include <QtTest>

#include <sys/xattr.h>
#include <unistd.h>

class TestPreview : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
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
    QString file(const QString& name, const QByteArray& bytes, const QByteArray& tags = "A") {
        const QString path = m_home->writeFile(m_folder + "/" + name, bytes);
        setxattr(QFile::encodeName(path).constData(), "user.xdg.tags", tags.constData(),
                 tags.size(), 0);
        return path;
    }
    FilePreview read(const QString& path) {
        return LocalPreviewSource::read(QUrl::fromLocalFile(path));
    }

    std::unique_ptr<TestHome> m_home;
    std::unique_ptr<FakeServices> m_services;
    std::unique_ptr<AppViewModel> m_model;
    std::unique_ptr<MainWindow> m_window;
    QString m_folder;
    QUuid m_a;
};

void TestPreview::initTestCase() {
    m_home = std::make_unique<TestHome>();
    m_folder = m_home->path("preview");
    QImage image(40, 30, QImage::Format_RGB32);
    image.fill(Qt::green);
    QDir().mkpath(m_folder);
    image.save(m_folder + "/one.png");
    setxattr(QFile::encodeName(m_folder + "/one.png").constData(), "user.xdg.tags", "A", 1, 0);
    file("two.txt", "hello there");
    file("three.txt", "third");
}

void TestPreview::init() {
    m_services = std::make_unique<FakeServices>();
    m_services->query.autoAnswerFolder = m_folder;
    m_model = std::make_unique<AppViewModel>(m_services->services(), AppViewModel::Startup::Empty);
    m_model->createTag("A", 0, std::nullopt);
    m_a = m_model->hierarchy()[0].id;
    m_window = std::make_unique<MainWindow>(*m_model);
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
    m_window->activateWindow();
    QTRY_COMPARE(QApplication::activeWindow(), m_window.get());
    m_model->openTag(m_a, 0);
    QTRY_VERIFY(m_model->filesPerTag().value(m_a).size() >= 3);
}

void TestPreview::cleanup() {
    m_window.reset();
    m_model.reset();
    m_services.reset();
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
    QCOMPARE(m_model->inlineEditingText(), QString("A b"));
}

void TestPreview::kindsOfPreview() {
    QCOMPARE(read(m_folder + "/one.png").kind, FilePreview::Kind::Image);
    const FilePreview text = read(file("latin.txt", "caf\xe9 au lait"));
    QCOMPARE(text.kind, FilePreview::Kind::Text);
    QCOMPARE(text.text, QString::fromUtf8("café au lait"));
    const FilePreview utf16 = read(file("wide.txt", QByteArray("\xff\xfeh\0i\0", 6)));
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
    const FilePreview other = read(file("archive.zip", "PK\x03\x04 not really"));
    QCOMPARE(other.kind, FilePreview::Kind::Other);
    QCOMPARE(other.size, 15);
    QVERIFY(!other.typeName.isEmpty());
    QCOMPARE(read(m_folder + "/gone.txt").kind, FilePreview::Kind::Missing);
}

void TestPreview::hostileFilesNeitherCrashNorStall() {
    QElapsedTimer timer;
    timer.start();
    const FilePreview damaged = read(file("damaged.png", "\x89PNG\r\n\x1a\n broken beyond repair"));
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
    QCOMPARE(read(file("data.txt", binary)).kind, FilePreview::Kind::Other);
    QByteArray longText(200000, 'x');
    const FilePreview cut = read(file("long.txt", longText));
    QCOMPARE(cut.text.size(), LocalPreviewSource::kMaxTextBytes);
    QVERIFY(cut.truncated);
    QVERIFY(timer.elapsed() < 5000);

    // In the window: the user interface keeps answering while these load.
    m_model->createTag("Bad", 0, std::nullopt);
    setxattr(QFile::encodeName(sparse).constData(), "user.xdg.tags", "Bad", 3, 0);
    setxattr(QFile::encodeName(m_folder + "/damaged.png").constData(), "user.xdg.tags", "Bad", 3,
             0);
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
