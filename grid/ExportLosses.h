#pragma once

// Texts of a list that a file format cannot hold whole, found before the file is written so
// the operator hears which customers they belong to.

#include "output/SheetTable.h"

#include <vector>

struct CellLoss {
    int row = 0;          // the record, counted from 0
    size_t column = 0;    // in the sheet table
    QString lost;         // characters the file cannot hold, each once
    qsizetype length = 0; // the whole text's length in characters, when it is cut
};

// Texts that an .xls file changes: characters GBK has not, or more GBK bytes than a LABEL holds.
std::vector<CellLoss> xlsLosses(const SheetTable& table);
// Texts longer than a workbook cell holds.
std::vector<CellLoss> xlsxLosses(const SheetTable& table);

// One line per loss naming the customer and the column; the first few of many, then the count.
QString lossLines(const SheetTable& table, const std::vector<CellLoss>& losses);
