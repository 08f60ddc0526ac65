#include "platform/TagValueCodec.h"

#include <algorithm>

namespace TagValueCodec {
namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

bool isEscape(const QByteArray& text, qsizetype at) {
    return text[at] == '\\' && at + 1 < text.size() &&
           (text[at + 1] == '\\' || text[at + 1] == ',');
}

}  // namespace

QList<QByteArray> entries(const QByteArray& value) {
    QList<QByteArray> result;
    if (value.isEmpty()) {
        return result;
    }
    qsizetype start = 0;
    for (qsizetype i = 0; i < value.size(); ++i) {
        if (isEscape(value, i)) {
            ++i;
        } else if (value[i] == ',') {
            result.append(value.mid(start, i - start));
            start = i + 1;
        }
    }
    result.append(value.mid(start));
    return result;
}

QByteArray entryName(const QByteArray& entry) {
    QByteArray name;
    name.reserve(entry.size());
    for (qsizetype i = 0; i < entry.size(); ++i) {
        name += isEscape(entry, i) ? entry[++i] : entry[i];
    }
    // Older tools wrote ", " between names; blanks around a name are not part of it.
    qsizetype begin = 0;
    qsizetype end = name.size();
    while (begin < end && isBlank(name[begin])) {
        ++begin;
    }
    while (end > begin && isBlank(name[end - 1])) {
        --end;
    }
    return name.mid(begin, end - begin);
}

QByteArray join(QList<QByteArray> entries) {
    const auto endsInLoneBackslash = [](const QByteArray& entry) {
        qsizetype run = 0;
        while (run < entry.size() && entry[entry.size() - 1 - run] == '\\') {
            ++run;
        }
        return run % 2 == 1;
    };
    std::stable_partition(entries.begin(), entries.end(),
                          [&](const QByteArray& entry) { return !endsInLoneBackslash(entry); });
    return entries.join(',');
}

QByteArray encodeName(const QByteArray& name) {
    QByteArray entry;
    entry.reserve(name.size() + 2);
    for (qsizetype i = 0; i < name.size(); ++i) {
        const char c = name[i];
        if (c == ',') {
            entry += "\\,";
        } else if (c == '\\' &&
                   (i + 1 == name.size() || name[i + 1] == ',' || name[i + 1] == '\\')) {
            entry += "\\\\";
        } else {
            entry += c;
        }
    }
    return entry;
}

QList<QByteArray> decode(const QByteArray& value) {
    QList<QByteArray> names;
    for (const QByteArray& entry : entries(value)) {
        QByteArray name = entryName(entry);
        if (!name.isEmpty()) {
            names.append(std::move(name));
        }
    }
    return names;
}

QByteArray encode(const QList<QByteArray>& names) {
    QByteArray value;
    for (const QByteArray& name : names) {
        if (!value.isEmpty()) {
            value += ',';
        }
        value += encodeName(name);
    }
    return value;
}

}  // namespace TagValueCodec
