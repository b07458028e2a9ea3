#include "reminders/WholeNumber.h"

#include "data/AppError.h"

#include <limits>

namespace {
bool isBlank(QChar c) {
    return c == u' ' || c == u'\t';
}
bool isAsciiDigit(QChar c) {
    return c >= u'0' && c <= u'9';
}
} // namespace

std::optional<int> parseWholeNumber(const QString& text) {
    qsizetype i = 0;
    while (i < text.size() && isBlank(text[i]))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == u'+' || text[i] == u'-'))
        negative = text[i++] == u'-';
    if (i == text.size())
        return std::nullopt;
    // Accumulate as a magnitude in 64 bits so that the lowest 32-bit value still fits.
    const qint64 limit = negative ? -qint64(std::numeric_limits<int>::min())
                                  : qint64(std::numeric_limits<int>::max());
    qint64 magnitude = 0;
    for (; i < text.size(); ++i) {
        if (!isAsciiDigit(text[i]))
            return std::nullopt;
        magnitude = magnitude * 10 + (text[i].unicode() - u'0');
        if (magnitude > limit)
            return std::nullopt;
    }
    return int(negative ? -magnitude : magnitude);
}

int toWholeNumber(const QString& text) {
    if (const auto value = parseWholeNumber(text))
        return *value;
    throw AppError(QStringLiteral("'%1' is not a valid integer value").arg(text));
}
