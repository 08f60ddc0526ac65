#include "state/FileWorkStatus.h"

#include <QHash>
#include <QLocale>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace FileWorkStatus {

namespace {

QString files(qsizetype n) {
    return n == 1 ? QStringLiteral("1 file") : QStringLiteral("%1 files").arg(number(n));
}

// Why files could not be changed, in the words of the status line.
QString failureReason(int error) {
    switch (error) {
        case EROFS:
        case EACCES:
        case EPERM:
            return QStringLiteral("read-only");
        case ENOENT:
        case ENOTDIR:
            return QStringLiteral("gone");
        case E2BIG:
        case ERANGE:
            return QStringLiteral("the tag list is too long for the file system");
        case ENOSPC:
        case EDQUOT:
            return QStringLiteral("no room left on the file system");
        case ENOTSUP:
            return QStringLiteral("this drive cannot store tags");
        case ENAMETOOLONG:
            return QStringLiteral("the path is too long");
        default:
            return QString::fromUtf8(std::strerror(error)).toLower();
    }
}

// The names a drop or lift changed on the files.
QString namesText(const QStringList& names) {
    return names.size() <= 3 ? names.join(", ") : QStringLiteral("%1 tags").arg(names.size());
}

}  // namespace

QString number(qsizetype n) {
    return QLocale(QLocale::English, QLocale::UnitedStates).toString(static_cast<qlonglong>(n));
}

QString fileCountLabel(qsizetype n) {
    return n == 1 ? QStringLiteral("1 File") : QStringLiteral("%1 Files").arg(number(n));
}

QString progress(const Verb& verb, qsizetype done, qsizetype total) {
    return QString::fromUtf8(verb.progress).arg(number(done), number(total));
}

bool hasTrouble(const FileWork::Summary& summary) {
    return summary.failed || summary.changedElsewhere || summary.unsettled || summary.unrecorded;
}

QString summary(const Verb& verb, const FileWork::Summary& summary) {
    QStringList parts;
    parts.append(QString::fromUtf8(verb.done).arg(files(summary.changed)));
    if (summary.changedElsewhere > 0) {
        parts.append(summary.changedElsewhere == 1
                         ? QStringLiteral("1 file changed elsewhere was left as it is")
                         : QStringLiteral("%1 files changed elsewhere were left as they are")
                               .arg(number(summary.changedElsewhere)));
    }
    // One clause per reason, the most common first.
    QList<std::pair<qsizetype, QString>> failures;
    QHash<QString, qsizetype> byReason;
    for (auto it = summary.failures.cbegin(); it != summary.failures.cend(); ++it) {
        byReason[failureReason(it.key())] += it.value();
    }
    for (auto it = byReason.cbegin(); it != byReason.cend(); ++it) {
        failures.append({it.value(), it.key()});
    }
    std::sort(failures.begin(), failures.end(), [](const auto& a, const auto& b) {
        return a.first != b.first ? a.first > b.first : a.second < b.second;
    });
    for (const auto& [count, reason] : std::as_const(failures)) {
        parts.append(QStringLiteral("%1 could not be changed (%2)").arg(number(count), reason));
    }
    if (summary.unsettled > 0) {
        parts.append(QStringLiteral("%1 kept being changed by another program")
                         .arg(number(summary.unsettled)));
    }
    if (summary.unrecorded) {
        parts.append(
            QStringLiteral("the journal could not keep up (a crash now would not be "
                           "finished)"));
    }
    return parts.join("; ");
}

QString dropSummary(const TagEdit& edit, const FileWork::Summary& summary) {
    const QStringList& adding = edit.adding;
    // Untagging cuts a tag out of KDE's paths ("A/B" becomes "A"): the tag is what went.
    const bool cutOut = !edit.removing.isEmpty() && edit.pathTo != edit.pathFrom;
    const QStringList& names = !adding.isEmpty() ? summary.namesAdded
                               : cutOut          ? edit.removing
                                                 : summary.namesRemoved;
    if (summary.changed == 0) {
        return adding.isEmpty() ? QStringLiteral("The files did not have those tags")
                                : "The files already had " + namesText(adding);
    }
    if (adding.isEmpty()) {
        return QStringLiteral("Removed %1 from %2").arg(namesText(names), files(summary.changed));
    }
    return QStringLiteral("Tagged %1 with %2").arg(files(summary.changed), namesText(names));
}

}  // namespace FileWorkStatus
