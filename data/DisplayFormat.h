#pragma once

// Text forms of values, shared by the grid, export, printing and the date box, and the one
// stored form of a date/time ('yyyy-MM-dd HH:mm:ss', local time).

#include <QDateTime>
#include <QString>
#include <optional>
#include <string_view>

// The stored text of a date/time: 'yyyy-MM-dd HH:mm:ss'.
QString storedDateTimeText(const QDateTime& value);
// Reads 'yyyy-MM-dd[( |T)HH:mm[:ss[.zzz]]]' (also with '/'); nullopt for anything else.
std::optional<QDateTime> parseStoredDateTime(std::string_view text);
// The same text's date and time as written: no local-time arithmetic, which asks the system's
// zone file on every call and so costs a file lookup per cell.
struct StoredDateTime {
    QDate date;
    QTime time; // midnight when the text has none or an impossible one
};
std::optional<StoredDateTime> parseStoredDateAndTime(std::string_view text);
// yyyyMMddHHmmss as one number, ordered as the times are; nullopt when not a date.
std::optional<qint64> storedDateTimeKey(std::string_view text);

// The date and time formats of every list, export, printout and date box: yyyy-MM-dd, HH:mm:ss.
const QString& shortDateFormat();
const QString& longTimeFormat();

QString formatDate(const QDate& date);
// The short date, followed by a blank and the long time when the time is not midnight.
QString formatDateTime(const QDateTime& value);
QString formatDateTime(const QDate& date, const QTime& time);
// General format with 15 significant digits: "1.5", "100", "1E20", "1.5E-7".
QString formatFloat(double value);
QString formatBoolean(bool value); // "True" / "False"
