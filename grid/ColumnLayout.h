#pragma once

// The layouts of the lists live in T_FieldShow: which columns a grid shows, in which order,
// under which titles, how wide, and which carry a sum in the footer.

#include <QString>

class DataGrid;
class Query;
class TFrm_Data;
class MessageService;

// Replaces the grid's columns by the shown layout rows of the table. Throws AppError
// "<query>: Field '<f>' not found" for a row naming a missing field; earlier columns stay.
// Without reread the rows last read for the same table are used again while they are open;
// whatever writes the layout closes them. A grid that still shows their columns as laid out
// (no width dragged, no column moved or sorted) then keeps them and only takes the titles.
void ApplyColumnLayout(TFrm_Data& data, DataGrid& grid, Query& query, const QString& tableName,
                       bool reread = true);

// Writes the grid's column order and widths back, all or nothing. announce == 1 shows
// "列属性已成功保存!" afterwards.
void SaveColumnLayout(TFrm_Data& data, MessageService& messages, DataGrid& grid,
                      const QString& tableName, int announce);

// Re-sorts the open query by the grid's sort-marked columns; builds the text as
// sortMarkersText does. Does nothing on a closed query.
void ApplySortMarkers(DataGrid& grid, Query& query);

// "  A DESC , B" from the marked columns in marking order; "" when none is marked.
QString sortMarkersText(const DataGrid& grid);
