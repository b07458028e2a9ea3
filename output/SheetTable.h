#pragma once

// A list as the file writers take it: the records of an open query under a row of titles, one
// column per shown field, and a footer row of fixed texts, counts and sums.

#include "data/Engine.h"

#include <QDateTime>
#include <QString>
#include <vector>

class Query;

enum class SheetFooter { None, Sum, Count, Text };

struct SheetColumn {
    QString title;
    int field = -1; // the query field behind the column; -1: none, every cell is blank
    FieldKind kind = FieldKind::Text;
    SheetFooter footer = SheetFooter::None;
    QString footerText; // shown by SheetFooter::Text
    int widthPixels = 64;
};

struct SheetTable {
    const Query* query = nullptr;
    std::vector<SheetColumn> columns;
    bool titles = true;
    int footerRows = 0;
};

// One cell of a record, as every format but the old worksheet writes it.
struct SheetCell {
    enum Type { Blank, Number, Date, Text } type = Blank;
    double number = 0;
    QDateTime date; // Date: time 00:00:00 when the value is a plain date
    QString text;
};

SheetCell recordCell(const Query& query, int row, const SheetColumn& column);

// The footer cells, computed over every record as the old worksheet computes them.
std::vector<SheetCell> footerCells(const SheetTable& table);

// Dates and date-times as the files write them and the import reads them back.
QString sheetDateText(const QDateTime& value);
