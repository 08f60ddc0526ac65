#pragma once

#include <QDBusVariant>
#include <QObject>
#include <QPalette>

// On GNOME, the desktop's light or dark choice: the settings portal's "color-scheme", which
// Qt's own GNOME theme does not read here. A dark choice gives the application Fusion's dark
// colours, a light one (or none) the style's own; a change while Orvane runs is followed.
class ColorSchemeFollower : public QObject {
    Q_OBJECT

public:
    enum Scheme : uint { NoPreference = 0, Dark = 1, Light = 2 };

    explicit ColorSchemeFollower(QObject* parent = nullptr);

    // Whether the desktop is one whose choice only the portal tells.
    static bool isWanted();
    // Asks the portal, waiting at most a moment (before the window is shown), then follows its
    // changes.
    void follow();
    void apply(uint scheme);
    static QPalette darkPalette();

private slots:
    void settingChanged(const QString& group, const QString& key, const QDBusVariant& value);

private:
    bool m_dark = false;
};
