#include "views/window/ColorSchemeFollower.h"

#include <QApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QStyle>

namespace {

const QString kService = QStringLiteral("org.freedesktop.portal.Desktop");
const QString kPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString kSettings = QStringLiteral("org.freedesktop.portal.Settings");
const QString kGroup = QStringLiteral("org.freedesktop.appearance");
const QString kKey = QStringLiteral("color-scheme");
constexpr int kReadTimeoutMs = 300;

// The portal answers a variant inside a variant (older portals one level less).
QVariant unwrapped(QVariant value) {
    while (value.canConvert<QDBusVariant>() && value.userType() == qMetaTypeId<QDBusVariant>()) {
        value = value.value<QDBusVariant>().variant();
    }
    return value;
}

}  // namespace

ColorSchemeFollower::ColorSchemeFollower(QObject* parent) : QObject(parent) {}

bool ColorSchemeFollower::isWanted() {
    return qEnvironmentVariable("XDG_CURRENT_DESKTOP")
        .split(u':')
        .contains("GNOME", Qt::CaseInsensitive);
}

void ColorSchemeFollower::follow() {
    QDBusMessage call =
        QDBusMessage::createMethodCall(kService, kPath, kSettings, QStringLiteral("Read"));
    call << kGroup << kKey;
    const QDBusMessage reply =
        QDBusConnection::sessionBus().call(call, QDBus::BlockWithGui, kReadTimeoutMs);
    if (reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty()) {
        apply(unwrapped(reply.arguments().first()).toUInt());
    }
    // Connected once the bus has answered: Qt 6.4 refuses a signal connection made on a
    // session bus connection that has not carried a call yet.
    QDBusConnection::sessionBus().connect(
        kService, kPath, kSettings, QStringLiteral("SettingChanged"), QStringLiteral("ssv"), this,
        SLOT(settingChanged(QString, QString, QDBusVariant)));
}

void ColorSchemeFollower::settingChanged(const QString& group, const QString& key,
                                         const QDBusVariant& value) {
    if (group == kGroup && key == kKey) {
        apply(unwrapped(value.variant()).toUInt());
    }
}

void ColorSchemeFollower::apply(uint scheme) {
    const bool dark = scheme == Dark;
    if (dark == m_dark) {
        return;
    }
    m_dark = dark;
    QApplication::setPalette(dark ? darkPalette() : QApplication::style()->standardPalette());
}

QPalette ColorSchemeFollower::darkPalette() {
    // Fusion's dark colours, as Qt draws them when a desktop asks for dark.
    const QColor window(0x32, 0x32, 0x32);
    const QColor base(0x24, 0x24, 0x24);
    const QColor text(0xf0, 0xf0, 0xf0);
    const QColor disabled(0x82, 0x82, 0x82);
    QPalette palette(text, window, window.lighter(150), window.darker(200), window.darker(130),
                     text, text, base, window);
    palette.setColor(QPalette::Button, QColor(0x3c, 0x3c, 0x3c));
    palette.setColor(QPalette::ButtonText, text);
    palette.setColor(QPalette::Highlight, QColor(0x30, 0x8c, 0xc6));
    palette.setColor(QPalette::HighlightedText, Qt::white);
    palette.setColor(QPalette::AlternateBase, QColor(0x2c, 0x2c, 0x2c));
    palette.setColor(QPalette::ToolTipBase, base);
    palette.setColor(QPalette::ToolTipText, text);
    palette.setColor(QPalette::PlaceholderText, QColor(0xa0, 0xa0, 0xa0));
    palette.setColor(QPalette::Link, QColor(0x4a, 0xa8, 0xe8));
    for (auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText}) {
        palette.setColor(QPalette::Disabled, role, disabled);
    }
    return palette;
}
