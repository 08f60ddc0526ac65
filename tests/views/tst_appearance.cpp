#include "ModelFixture.h"
#include "state/AppViewModel.h"
#include "views/column/ColumnRowDelegate.h"
#include "views/column/SingleColumnView.h"
#include "views/common/Colors.h"
#include "views/grid/IconGridView.h"
#include "views/window/ColorSchemeFollower.h"
#include "views/window/MainWindow.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QDir>
#include <QSettings>
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
    void bothViewsFollowThePalette_data() { palettes(); }
    void bothViewsFollowThePalette();
    void everyTextIsReadable_data() { palettes(); }
    void everyTextIsReadable();
    void symbolsAreDrawnForTheScreen();
    void gnomeDarkChoiceIsFollowed();

private:
    // The palettes of this run: KDE's as Qt read it, or Fusion's light and dark.
    void palettes();
    void showWindow(const QPalette& colors);
    // The lines of text inside the widget (or its `part`) that read below 4.5:1 on their
    // background, said with `where`; bands of ink taller than `tallestLine` are symbols.
    QStringList unreadable(const QImage& shot, const QWidget& widget, const QString& where,
                           const QRect& part = {}, int tallestLine = 1000) const;
    QRect areaOf(const QImage& shot, const QWidget& widget, QRect part = {}) const;
    QImage shoot(const QString& name);
    // Luminance (0…1) statistics of a widget's part of a window picture.
    struct Light {
        double mean = 0, darkest = 1, brightest = 0;
    };
    Light lightOf(const QImage& shot, const char* objectName) const;

    std::unique_ptr<MainWindow> m_window;
    QUuid m_projects, m_client;
    QPalette m_desktop;  // as the run started
};

// The desktop's settings portal, answering the colour scheme it is told.
class FakeSettingsPortal : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.portal.Settings")

public:
    uint scheme = 0;

public slots:
    QDBusVariant Read(const QString& group, const QString& key) {
        const QVariant value = group == "org.freedesktop.appearance" && key == "color-scheme"
                                   ? QVariant(scheme)
                                   : QVariant();
        return QDBusVariant(QVariant::fromValue(QDBusVariant(value)));
    }
};

namespace {

// What the run's desktop gives: KDE's colours when the run names KDE (Qt reads them from the
// kdeglobals in the run's config folder), else Fusion's light and dark.
bool isKdeRun() {
    return qEnvironmentVariable("XDG_CURRENT_DESKTOP") == "KDE";
}

// A contrast ratio read off a picture: the background is the commonest colour of the area, and
// a line of text counts by its strongest pixel.
QColor commonest(const QImage& shot, const QRect& area) {
    QHash<QRgb, int> counts;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            ++counts[shot.pixel(x, y)];
        }
    }
    QRgb best = 0;
    int most = -1;
    for (auto it = counts.cbegin(); it != counts.cend(); ++it) {
        if (it.value() > most) {
            best = it.key();
            most = it.value();
        }
    }
    return QColor::fromRgb(best);
}

// Each band of rows with ink in it (a line of text, or a symbol) and its strongest contrast.
QList<std::pair<QRect, double>> inkBands(const QImage& shot, const QRect& area) {
    const QColor background = commonest(shot, area);
    QList<std::pair<QRect, double>> bands;
    int top = -1;
    double strongest = 1;
    for (int y = area.top(); y <= area.bottom() + 1; ++y) {
        double row = 1;
        for (int x = area.left(); y <= area.bottom() && x <= area.right(); ++x) {
            row = std::max(row, Colors::contrast(QColor::fromRgb(shot.pixel(x, y)), background));
        }
        if (row > 1.3 && top < 0) {
            top = y;
            strongest = row;
        } else if (row > 1.3) {
            strongest = std::max(strongest, row);
        } else if (top >= 0) {
            bands.append({QRect(area.left(), top, area.width(), y - top), strongest});
            top = -1;
        }
    }
    return bands;
}

double luminance(QRgb pixel) {
    return (0.2126 * qRed(pixel) + 0.7152 * qGreen(pixel) + 0.0722 * qBlue(pixel)) / 255.0;
}

}  // namespace

void TestAppearance::initTestCase() {
    createHome();
    QApplication::setStyle(QStyleFactory::create("Fusion"));
    m_desktop = QApplication::palette();
    if (isKdeRun()) {
        // Qt read the kdeglobals the run points at, not a palette of the test's own.
        const QSettings kde(qEnvironmentVariable("ORVANE_KDEGLOBALS"), QSettings::IniFormat);
        const QStringList window = kde.value("Colors:Window/BackgroundNormal").toStringList();
        QCOMPARE(m_desktop.color(QPalette::Window),
                 QColor(window.value(0).toInt(), window.value(1).toInt(), window.value(2).toInt()));
    }
}

void TestAppearance::palettes() {
    QTest::addColumn<QPalette>("colors");
    if (isKdeRun()) {
        QTest::newRow(qPrintable(qEnvironmentVariable("ORVANE_THEME"))) << m_desktop;
    } else {
        QTest::newRow("fusion-light") << QApplication::style()->standardPalette();
        QTest::newRow("fusion-dark") << ColorSchemeFollower::darkPalette();
    }
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
    QApplication::setPalette(m_desktop);
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

void TestAppearance::bothViewsFollowThePalette() {
    QFETCH(QPalette, colors);
    showWindow(colors);
    const bool dark = colors.color(QPalette::Window).lightness() < 128;
    const QString theme = QTest::currentDataTag();

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

QRect TestAppearance::areaOf(const QImage& shot, const QWidget& widget, QRect part) const {
    const qreal scale = shot.devicePixelRatio();
    if (part.isNull()) {
        part = widget.rect();
    }
    const QPoint origin = widget.mapTo(m_window.get(), part.topLeft());
    return QRect((QPointF(origin) * scale).toPoint(), (QSizeF(part.size()) * scale).toSize())
        .intersected(shot.rect());
}

QStringList TestAppearance::unreadable(const QImage& shot, const QWidget& widget,
                                       const QString& where, const QRect& part,
                                       int tallestLine) const {
    QStringList found;
    int lines = 0;
    for (const auto& [band, contrast] : inkBands(shot, areaOf(shot, widget, part))) {
        if (band.height() <= tallestLine * shot.devicePixelRatio()) {
            ++lines;
            if (contrast < Colors::kReadable) {
                found.append(
                    QString("%1, line %2: %3:1").arg(where).arg(lines).arg(contrast, 0, 'f', 2));
            }
        }
    }
    return lines > 0 ? found : QStringList{where + " shows no text"};
}

void TestAppearance::everyTextIsReadable() {
    QFETCH(QPalette, colors);
    showWindow(colors);
    const QString theme = QTest::currentDataTag();
    m_model->setViewMode(ViewMode::Column);
    m_model->openTag(m_projects, 0);
    m_model->openTag(m_client, 1);
    settle();
    QImage shot = shoot(theme + "-texts");
    // The status line and every chip of the path bar, the current one and the others.
    QStringList failures = unreadable(shot, *m_window->findChild<QWidget*>("statusText"), "status");
    for (QToolButton* chip :
         m_window->findChild<QWidget*>("pathBar")->findChildren<QToolButton*>()) {
        if (chip->isVisible()) {
            failures += unreadable(shot, *chip, "chip " + chip->text());
        }
    }
    // The text of each row of the columns (tags, the "Files" header, files), without the
    // symbol before it.
    for (const char* name : {"column0", "column1", "column2"}) {
        auto* column = m_window->findChild<SingleColumnView*>(name);
        for (int row = 0; row < column->model()->rowCount(); ++row) {
            const QRect rect = column->visualRect(column->model()->index(row, 0));
            if (rect.height() > 10) {
                failures +=
                    unreadable(shot, *column->viewport(), QString("%1 row %2").arg(name).arg(row),
                               ColumnRowDelegate::nameRect(rect));
            }
        }
    }
    // An empty home: the help in both views, line by line (the faint symbol above is no text).
    m_window.reset();
    destroyModel();
    createModel();
    showWindow(colors);
    for (const char* view : {"iconGrid", "column0"}) {
        m_model->setViewMode(view == QStringLiteral("iconGrid") ? ViewMode::Icon
                                                                : ViewMode::Column);
        shot = shoot(theme + "-empty");
        failures += unreadable(shot, *m_window->findChild<QAbstractItemView*>(view)->viewport(),
                               QString("empty home in %1").arg(view), {}, 30);
    }
    QVERIFY2(failures.isEmpty(), qPrintable(theme + ": " + failures.join("; ")));
}

void TestAppearance::gnomeDarkChoiceIsFollowed() {
    // The portal lives on a connection of its own, as another process would.
    QDBusConnection bus = QDBusConnection::connectToBus(QDBusConnection::SessionBus, "portal");
    if (!bus.isConnected() || !bus.registerService("org.freedesktop.portal.Desktop")) {
        QSKIP("no session bus of the test's own (run under dbus-run-session)");
    }
    FakeSettingsPortal portal;
    QVERIFY(bus.registerObject("/org/freedesktop/portal/desktop", &portal,
                               QDBusConnection::ExportAllSlots));
    portal.scheme = ColorSchemeFollower::Dark;
    ColorSchemeFollower follower;
    follower.follow();
    QVERIFY(QApplication::palette().color(QPalette::Window).lightness() < 128);
    showWindow(QApplication::palette());
    // The user switches to light while Orvane runs.
    QDBusMessage changed = QDBusMessage::createSignal(
        "/org/freedesktop/portal/desktop", "org.freedesktop.portal.Settings", "SettingChanged");
    changed << QString("org.freedesktop.appearance") << QString("color-scheme")
            << QVariant::fromValue(QDBusVariant(uint(ColorSchemeFollower::Light)));
    QVERIFY(bus.send(changed));
    QTRY_VERIFY(QApplication::palette().color(QPalette::Window).lightness() >= 128);
    // What was drawn for dark is drawn again for light.
    const QImage shot = shoot("gnome-switched-to-light");
    QStringList failures = unreadable(shot, *m_window->findChild<QWidget*>("statusText"), "status");
    for (QToolButton* chip :
         m_window->findChild<QWidget*>("pathBar")->findChildren<QToolButton*>()) {
        failures += unreadable(shot, *chip, "chip " + chip->text());
    }
    QVERIFY2(failures.isEmpty(), qPrintable("after the switch: " + failures.join("; ")));
    bus.unregisterObject("/org/freedesktop/portal/desktop");
    bus.unregisterService("org.freedesktop.portal.Desktop");
}

void TestAppearance::symbolsAreDrawnForTheScreen() {
    showWindow(ColorSchemeFollower::darkPalette());
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
