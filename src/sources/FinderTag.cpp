#include "sources/FinderTag.h"

#include <QHash>

qint64 finderColorIndexByName(const QString& name) {
    static const QHash<QString, qint64> table = {
        {"Red", 6},  {"Orange", 7}, {"Yellow", 5}, {"Green", 2},
        {"Blue", 4}, {"Purple", 3}, {"Gray", 1},   {"Grey", 1},
    };
    return table.value(name, 0);
}
