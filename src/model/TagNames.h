#pragma once

#include <QString>

// A typed tag name without the spaces and tabs around it; line breaks are kept, as typed.
inline QString trimmedTagName(const QString& text) {
    auto blank = [](QChar c) { return c == u'\t' || c.category() == QChar::Separator_Space; };
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && blank(text[begin])) {
        ++begin;
    }
    while (end > begin && blank(text[end - 1])) {
        --end;
    }
    return text.mid(begin, end - begin);
}
