#include "DisplayFormat.h"

#include <QLocale>

namespace {

struct DateParts {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0, msec = 0;
};

class Scanner {
  public:
    explicit Scanner(std::string_view text) : s_(text) {}
    bool atEnd() const { return i_ == s_.size(); }
    bool take(char c) {
        if (i_ < s_.size() && s_[i_] == c) {
            ++i_;
            return true;
        }
        return false;
    }
    bool takeAnyOf(const char* chars) {
        for (const char* c = chars; *c; ++c)
            if (take(*c))
                return true;
        return false;
    }
    // Reads minDigits..maxDigits digits.
    bool number(int minDigits, int maxDigits, int& out) {
        int n = 0;
        out = 0;
        while (n < maxDigits && i_ < s_.size() && s_[i_] >= '0' && s_[i_] <= '9') {
            out = out * 10 + (s_[i_++] - '0');
            ++n;
        }
        return n >= minDigits;
    }

  private:
    std::string_view s_;
    size_t i_ = 0;
};

std::optional<DateParts> parseParts(std::string_view text) {
    Scanner in(text);
    DateParts p;
    if (!in.number(4, 4, p.year) || !in.takeAnyOf("-/") || !in.number(1, 2, p.month) ||
        !in.takeAnyOf("-/") || !in.number(1, 2, p.day))
        return std::nullopt;
    if (in.takeAnyOf(" T")) {
        if (!in.number(1, 2, p.hour) || !in.take(':') || !in.number(2, 2, p.minute))
            return std::nullopt;
        if (in.take(':') && !in.number(2, 2, p.second))
            return std::nullopt;
        if (in.take('.') && !in.number(1, 3, p.msec))
            return std::nullopt;
    }
    if (!in.atEnd() || p.month < 1 || p.month > 12 || p.day < 1 || p.day > 31 || p.hour > 23 ||
        p.minute > 59 || p.second > 59)
        return std::nullopt;
    return p;
}

} // namespace

QString storedDateTimeText(const QDateTime& value) {
    return value.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

std::optional<StoredDateTime> parseStoredDateAndTime(std::string_view text) {
    const std::optional<DateParts> p = parseParts(text);
    if (!p)
        return std::nullopt;
    const QDate date(p->year, p->month, p->day);
    if (!date.isValid())
        return std::nullopt;
    const QTime time(p->hour, p->minute, p->second, p->msec);
    return StoredDateTime{date, time.isValid() ? time : QTime(0, 0)};
}

std::optional<QDateTime> parseStoredDateTime(std::string_view text) {
    const std::optional<StoredDateTime> parts = parseStoredDateAndTime(text);
    if (!parts)
        return std::nullopt;
    return QDateTime(parts->date, parts->time);
}

std::optional<qint64> storedDateTimeKey(std::string_view text) {
    const std::optional<DateParts> p = parseParts(text);
    if (!p)
        return std::nullopt;
    qint64 key = p->year;
    for (int part : {p->month, p->day, p->hour, p->minute, p->second})
        key = key * 100 + part;
    return key * 1000 + p->msec;
}

const QString& shortDateFormat() {
    // One spelling whatever the desktop's locale, the one the operators' other records use.
    static const QString format = QStringLiteral("yyyy-MM-dd");
    return format;
}

const QString& longTimeFormat() {
    static const QString format = QStringLiteral("HH:mm:ss");
    return format;
}

QString formatDate(const QDate& date) {
    return date.toString(shortDateFormat());
}

QString formatDateTime(const QDateTime& value) {
    return formatDateTime(value.date(), value.time());
}

QString formatDateTime(const QDate& date, const QTime& time) {
    QString text = formatDate(date);
    if (time != QTime(0, 0))
        text += u' ' + time.toString(longTimeFormat());
    return text;
}

QString formatFloat(double value) {
    QString text = QString::number(value, 'g', 15);
    const qsizetype e = text.indexOf(u'e');
    if (e >= 0) { // "1e+20" -> "1E20", "1.5e-07" -> "1.5E-7"
        QString exponent = text.mid(e + 1);
        const bool negative = exponent.startsWith(u'-');
        exponent.remove(0, exponent.startsWith(u'-') || exponent.startsWith(u'+') ? 1 : 0);
        while (exponent.size() > 1 && exponent.startsWith(u'0'))
            exponent.remove(0, 1);
        text = text.left(e) + u'E' + (negative ? QStringLiteral("-") : QString()) + exponent;
    }
    const QString point = QLocale().decimalPoint();
    if (point != u".")
        text.replace(u'.', point);
    return text;
}

QString formatBoolean(bool value) {
    return value ? QStringLiteral("True") : QStringLiteral("False");
}
