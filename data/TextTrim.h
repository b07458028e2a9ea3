#pragma once

#include <QString>

// Drops blanks and control characters (everything up to U+0020) at both ends. Unlike
// QString::trimmed it keeps the full-width blank U+3000, which operators type on purpose.
inline QString trimBlanks(const QString& text) {
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && text.at(begin).unicode() <= 0x20)
        ++begin;
    while (end > begin && text.at(end - 1).unicode() <= 0x20)
        --end;
    return text.mid(begin, end - begin);
}
