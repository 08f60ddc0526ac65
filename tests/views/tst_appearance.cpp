#include "ModelFixture.h"
#include "state/AppViewModel.h"
#include "views/grid/IconGridView.h"
#include "views/window/MainWindow.h"

#include <QDir>
#include <QStyleFactory>
#include <QToolButton>
#include <QtTest>

// The window as people see it, with the desktop's light or dark colours and at the scale
// factor the run was started with (QT_SCALE_FACTOR). Keeps each picture in ORVANE_SCREENSHOTS.
class TestAppearance : public QObject, public ModelFixture {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void bothViewsFollowThePalette_data();
    void bothViewsFollowThePalette();
    void symbolsAreDrawnForTheScreen();

private:
    void showWindow(const QPalette& colors);
    QImage shoot(const QString& name);
    // Luminance (0…1) statistics of a widget's part of a window picture.
    struct Light {
        double mean = 0, darkest = 1, brightest = 0;
    };
    Light lightOf(const QImage& shot, const char* objectName) const;

    std::unique_ptr<MainWindow> m_window;
    QUuid m_projects, m_client;
};

namespace {

QPalette darkPalette() {
    QPalette colors;
    const QColor window(0x2d, 0x2d, 0x2d), base(0x1e, 0x1e, 0x1e), text(0xe8, 0xe8, 0xe8);
    colors.setColor(QPalette::Window, window);
    colors.setColor(QPalette::WindowText, text);
    colors.setColor(QPalette::Base, base);
    colors.setColor(QPalette::AlternateBase, window);
    colors.setColor(QPalette::Text, text);
    colors.setColor(QPalette::Button, window);
    colors.setColor(QPalette::ButtonText, text);
    colors.setColor(QPalette::Highlight, QColor(0x35, 0x84, 0xe4));
    colors.setColor(QPalette::HighlightedText, Qt::white);
    colors.setColor(QPalette::PlaceholderText, QColor(0x9a, 0x9a, 0x9a));
    colors.setColor(QPalette::Mid, QColor(0x44, 0x44, 0x44));
    colors.setColor(QPalette::ToolTipBase, base);
    colors.setColor(QPalette::ToolTipText, text);
    colors.setColor(QPalette::Disabled, QPalette::WindowText, QColor(0x77, 0x77, 0x77));
    colors.setColor(QPalette::Disabled, QPalette::ButtonText, QColor(0x77, 0x77, 0x77));
    colors.setColor(QPalette::Disabled, QPalette::Text, QColor(0x77, 0x77, 0x77));
    return colors;
}

double luminance(QRgb pixel) {
    return (0.2126 * qRed(pixel) + 0.7152 * qGreen(pixel) + 0.0722 * qBlue(pixel)) / 255.0;
}

}  // namespace

void TestAppearance::initTestCase() {
    createHome();
    QApplication::setStyle(QStyleFactory::create("Fusion"));
}

void TestAppearance::init() {
    createModel();
    m_projects = add("Projects");
    m_client = add("Client", m_projects);
    add("Archive", m_projects);
    const QUuid travel = add("Travel");
    add("Receipts");
    m_model->setColorIndex(6, m_projects);
    m_model->setColorIndex(4, m_client);
    m_model->setIconName(QString("airplane"), travel);
    file("Budget 2027.ods", "Projects");
    file("Proposal.pdf", "Projects,Client");
    file("notes.txt", "Projects");
}

void TestAppearance::cleanup() {
    m_window.reset();
    destroyModel();
    QApplication::setPalette(QApplication::style()->standardPalette());
}

void TestAppearance::showWindow(const QPalette& colors) {
    QApplication::setPalette(colors);
    m_window = std::make_unique<MainWindow>(*m_model);
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
}

QImage TestAppearance::shoot(const QString& name) {
    QTest::qWait(50);  // let the views finish a relayout
    const QImage shot = m_window->grab().toImage();
    const QString folder = qEnvironmentVariable("ORVANE_SCREENSHOTS");
    if (!folder.isEmpty()) {
        QDir().mkpath(folder);
        const int scale = qRound(m_window->devicePixelRatioF());
        shot.save(QString("%1/%2@%3x.png").arg(folder, name).arg(scale));
    }
    return shot;
}

TestAppearance::Light TestAppearance::lightOf(const QImage& shot, const char* objectName) const {
    auto* widget = m_window->findChild<QWidget*>(objectName);
    const qreal scale = shot.devicePixelRatio();
    const QRect area(QPointF(widget->mapTo(m_window.get(), QPoint()) * scale).toPoint(),
                     QSizeF(widget->size() * scale).toSize());
    Light light;
    double sum = 0;
    qint64 count = 0;
    for (int y = area.top(); y <= area.bottom() && y < shot.height(); ++y) {
        for (int x = area.left(); x <= area.right() && x < shot.width(); ++x) {
            const double value = luminance(shot.pixel(x, y));
            sum += value;
            light.darkest = std::min(light.darkest, value);
            light.brightest = std::max(light.brightest, value);
            ++count;
        }
    }
    light.mean = count ? sum / static_cast<double>(count) : 0;
    return light;
}

void TestAppearance::bothViewsFollowThePalette_data() {
    QTest::addColumn<bool>("dark");
    QTest::newRow("light") << false;
    QTest::newRow("dark") << true;
}

void TestAppearance::bothViewsFollowThePalette() {
    QFETCH(bool, dark);
    showWindow(dark ? darkPalette() : QApplication::style()->standardPalette());
    const QString theme = dark ? "dark" : "light";

    m_model->setViewMode(ViewMode::Icon);
    m_model->enterTag(m_projects);
    settle();
    m_model->setSelectedFileIDs({m_model->currentFiles().first().id});
    const QImage icons = shoot(theme + "-icon-view");
    m_model->setViewMode(ViewMode::Column);
    m_model->openTag(m_projects, 0);
    m_model->openTag(m_client, 1);
    settle();
    const QImage columns = shoot(theme + "-column-view");

    // No part keeps a light background under dark colours, and all text stands out.
    for (const auto& [shot, content] : {std::pair{icons, "iconGrid"}, {columns, "columnBrowser"}}) {
        for (const char* part : {"toolbar", "pathBar", content, "statusBar"}) {
            const Light light = lightOf(shot, part);
            const QString where = theme + " " + part;
            QVERIFY2(dark ? light.mean < 0.3 : light.mean > 0.6, qPrintable(where));
            QVERIFY2(light.brightest - light.darkest > 0.35,
                     qPrintable(where + " has no contrast"));
        }
    }
}

void TestAppearance::symbolsAreDrawnForTheScreen() {
    showWindow(darkPalette());
    m_model->setViewMode(ViewMode::Icon);
    const QImage shot = shoot("dark-tags");
    const qreal scale = shot.devicePixelRatio();
    if (scale < 2) {
        QSKIP("run with QT_SCALE_FACTOR=2 to check the symbols' sharpness");
    }
    // Each symbol on a button has a picture drawn for this screen's pixels, not one stretched
    // (and blurred) from a smaller one.
    int checked = 0;
    for (QToolButton* button : m_window->findChildren<QToolButton*>()) {
        if (button->icon().isNull() || !button->isVisible()) {
            continue;
        }
        const QSize needed = button->iconSize() * scale;
        QVERIFY2(button->icon().availableSizes().contains(needed),
                 qPrintable(button->accessibleName() + button->text()));
        ++checked;
    }
    QVERIFY(checked >= 5);  // Back, the two view modes, New Tag, the "Tags" chip
}

QTEST_MAIN(TestAppearance)
#include "tst_appearance.moc"
