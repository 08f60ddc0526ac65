#pragma once

#include <QCollator>
#include <QList>
#include <QString>

#include <algorithm>
#include <numeric>

// Ascending by name, locale-aware and case-insensitive, stable. One collator per sort, so sorts
// may run on any thread. Keys are made from case-folded names: the collator's own sort keys
// keep case differences even when it compares case-insensitively.
template <typename T, typename NameOf>
void sortByName(QList<T>& items, NameOf nameOf) {
    QCollator collator;
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    QList<QCollatorSortKey> keys;
    keys.reserve(items.size());
    for (const T& item : items) {
        keys.append(collator.sortKey(nameOf(item).toCaseFolded()));
    }
    QList<qsizetype> order(items.size());
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(),
                     [&](qsizetype a, qsizetype b) { return keys[a].compare(keys[b]) < 0; });
    QList<T> sorted;
    sorted.reserve(items.size());
    for (const qsizetype index : order) {
        sorted.append(std::move(items[index]));
    }
    items = std::move(sorted);
}
