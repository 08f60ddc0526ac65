#pragma once

#include <QString>

// When two tag names are the same, side by side, and what of a typed name counts. Order is another
// matter: names are sorted by NameOrder, in the user's language and without regard to case.
namespace TagNames {

// The same name exactly: canonically equivalent Unicode spellings (a composed "é" and "e" with
// a combining accent) are one name, and case counts. Entries on files, the tree's names and
// what file work edits compare this way, so that "work" and "Work" stay two tags.
inline QString exactKey(const QString& name) {
    return name.normalized(QString::NormalizationForm_C);
}

// The same name for finding files: case and spelling fold away, as the desktop's search does,
// so that opening "Work" lists the files tagged "work" too.
inline QString matchKey(const QString& name) {
    return name.toCaseFolded().normalized(QString::NormalizationForm_C);
}

// The same name for finding a tag by what was typed: case and accents fold away ("cafe" finds
// "Café").
inline QString searchKey(const QString& name) {
    const QString decomposed = name.normalized(QString::NormalizationForm_KD);
    QString folded;
    folded.reserve(decomposed.size());
    for (const QChar c : decomposed) {
        if (c.category() != QChar::Mark_NonSpacing && c.category() != QChar::Mark_Enclosing) {
            folded.append(c);
        }
    }
    return folded.toCaseFolded();
}

// A typed name without the spaces and tabs around it; line breaks are kept, as typed.
inline QString trimmed(const QString& text) {
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

}  // namespace TagNames
