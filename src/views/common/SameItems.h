#pragma once

#include <QList>

// Whether two lists hold the same items (by id) in the same order: a model over them then
// repaints rather than resets, which would close what is open over its rows.
template <typename Item>
bool sameItems(const QList<Item>& a, const QList<Item>& b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (qsizetype i = 0; i < a.size(); ++i) {
        if (a[i].id != b[i].id) {
            return false;
        }
    }
    return true;
}
