#pragma once

// A spreadsheet opening a CSV file evaluates a cell that starts like a formula. The export puts
// an apostrophe before such a text, which spreadsheets show as text; the import takes it off.

#include <QString>
#include <QStringView>

// Whether a spreadsheet would take the text for a formula: "=" or "@" first (after blanks, tabs
// or line breaks), or "+" or "-" before anything but a number or a telephone number.
bool looksLikeFormula(QStringView text);

// The text as the CSV cell holds it.
QString guardedCsvText(const QString& text);
// The cell's text as it was before guardedCsvText; other texts stay as they are.
QString unguardedCsvText(const QString& cell);
