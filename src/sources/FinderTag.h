#pragma once

#include <QList>
#include <QString>

// One entry of a system tag list: a name that is never empty and its colour index.
struct FinderTag {
    QString name;
    qint64 colorIndex = 0;

    friend bool operator==(const FinderTag&, const FinderTag&) = default;
};

using FinderTagList = QList<FinderTag>;

// The colour index that goes with the standard colour names (exact, case-sensitive); 0 for any
// other name.
qint64 finderColorIndexByName(const QString& name);
