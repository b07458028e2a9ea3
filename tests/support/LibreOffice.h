#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// LibreOffice run headless as an independent reader and writer of spreadsheet files.
namespace LibreOffice {

QString program(); // "" when it is not installed

// Converts file into outDir ("csv:<filter>:<options>" or "xlsx" as target), reading it with
// inFilter when given, under the locale. Returns the converted file's path, or "" with the
// reason in *error.
QString convert(const QString& file, const QString& target, const QString& outDir,
                const QString& locale, QString* error, const QString& inFilter = {});

// Comma, double quote, UTF-8, from line 1, full precision.
inline const QString kCsvUtf8 =
    QStringLiteral("csv:Text - txt - csv (StarCalc):44,34,76,1,,0,false,true,false");
inline const QString kCsvGbk = QStringLiteral("csv:Text - txt - csv (StarCalc):44,34,85,1");
inline const QString kReadCsvUtf8 = QStringLiteral("Text - txt - csv (StarCalc):44,34,76,1");

} // namespace LibreOffice

// Splits CSV text with double-quoted fields into rows of fields.
QList<QStringList> parseCsv(const QString& text);
