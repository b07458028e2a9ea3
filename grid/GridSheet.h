#pragma once

#include "output/SheetTable.h"

class DataGrid;

// The grid's visible columns in screen order, with its titles, widths and footers, over its
// query's records in their present order.
SheetTable gridSheetTable(const Query& query, const DataGrid& grid);
