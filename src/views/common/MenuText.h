#pragma once

#include <QString>

// A user's text (a tag name, a catalogue title) as the text of a button or menu item: an
// ampersand would otherwise mark the next letter as a shortcut and vanish.
inline QString menuText(QString text) {
    return text.replace(QLatin1Char('&'), QStringLiteral("&&"));
}
