#pragma once

// Writing a list as a modern worksheet or as CSV text. Either file appears under its name only
// once it is whole: a cancelled or failed writing leaves any earlier file there untouched.

#include "output/SheetTable.h"

class WorkProgress;

// The most records a file holds beside its title and footer rows.
qint64 maxXlsxRecords(const SheetTable& table);

// A workbook of one sheet: bold titles in a frozen first row with an auto-filter, numbers and
// dates typed, widths as the grid's. Returns false when the operator cancelled; throws AppError
// when the file cannot be written or the list does not fit.
bool writeXlsx(const SheetTable& table, const QString& path, WorkProgress* progress);

// UTF-8 text with a byte-order mark, fields quoted where RFC 4180 asks, lines ended CR LF.
bool writeCsv(const SheetTable& table, const QString& path, WorkProgress* progress);

// One CSV field, quoted when it holds a separator, a quote or a line break.
void appendCsvField(QByteArray& line, QStringView text);
