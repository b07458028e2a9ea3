#include "output/CsvGuard.h"

namespace {

bool isLeadingSpace(QChar c) {
    return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n';
}

// Digits with the signs, blanks and punctuation of numbers and telephone numbers: nothing a
// formula could name or call.
bool isPlainNumber(QStringView text) {
    for (const QChar c : text)
        if (!c.isDigit() && !QStringView(u" +-.()/").contains(c))
            return false;
    return true;
}

// An apostrophe run before a formula-like text: the form guardedCsvText gives.
bool isGuarded(QStringView cell) {
    qsizetype i = 0;
    while (i < cell.size() && cell[i] == u'\'')
        ++i;
    return i > 0 && looksLikeFormula(cell.sliced(i));
}

} // namespace

bool looksLikeFormula(QStringView text) {
    qsizetype i = 0;
    while (i < text.size() && isLeadingSpace(text[i]))
        ++i;
    if (i == text.size())
        return false;
    const QChar lead = text[i];
    if (lead == u'=' || lead == u'@')
        return true;
    return (lead == u'+' || lead == u'-') && !isPlainNumber(text.sliced(i));
}

// A text that already reads as guarded gets one apostrophe more, so the import's taking one
// off gives it back whole.
QString guardedCsvText(const QString& text) {
    if (looksLikeFormula(text) || isGuarded(text))
        return QLatin1Char('\'') + text;
    return text;
}

QString unguardedCsvText(const QString& cell) {
    return isGuarded(cell) ? cell.sliced(1) : cell;
}
