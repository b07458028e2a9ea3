#include "ColumnLayout.h"

#include "DataGrid.h"
#include "data/AppError.h"
#include "data/MessageService.h"
#include "data/Statements.h"
#include "data/U_Data.h"

namespace {

constexpr int maxShownColumns = 51; // layout rows beyond this are not applied

// One shown T_FieldShow row, read from the current row of the layout query.
struct LayoutRow {
    QString field;
    int width = 0;
    QString name;
    bool sum = false;
    bool button = false;
};

LayoutRow readLayoutRow(const Query& rows) {
    return {rows.asString("Field"), int(rows.asInteger("Width")), rows.asString("Name"),
            rows.asInteger("SumField") == 1, rows.asInteger("ShowButton") == 1};
}

// Adds the column; the field lookup may fail, and then the column stays with its field
// name, width and title button only.
void applyLayoutRow(DataGrid& grid, Query& query, const LayoutRow& row) {
    GridColumn column;
    column.fieldName = row.field;
    column.width = row.width;
    column.titleButton = true;
    const int i = grid.addColumn(column);
    query.setDisplayLabel(query.fieldByName(row.field), row.name);
    column.title = row.name;
    if (row.sum)
        column.footerKind = fvtSum;
    column.alwaysShowEditButton = row.button;
    grid.setColumn(i, column); // also shows the new title
}

// The column as applyLayoutRow leaves it, apart from its footer, which its owner may set.
bool showsLayoutRow(const GridColumn& column, const LayoutRow& row) {
    return column.fieldName == row.field && column.width == row.width && column.title == row.name &&
           column.titleButton && column.sortMarker == smNoneEh &&
           column.alwaysShowEditButton == row.button && column.visible && !column.textOf &&
           column.trueText.isEmpty() && column.falseText.isEmpty();
}

bool showsLayout(const DataGrid& grid, const Query& query, const QList<LayoutRow>& rows) {
    if (!grid.hasOwnColumns() || grid.columnCount() != rows.size())
        return false;
    for (int i = 0; i < rows.size(); ++i)
        if (!showsLayoutRow(grid.column(i), rows[i]) || query.findField(rows[i].field) < 0)
            return false;
    return true;
}

} // namespace

void ApplyColumnLayout(TFrm_Data& data, DataGrid& grid, Query& query, const QString& tableName,
                       bool reread) {
    Query& rows = data.Qry_FieldShow;
    const SqlCommand layout = Sql::shownLayout(tableName);
    const bool kept = !reread && rows.isActive() && rows.command().sql == layout.sql &&
                      rows.command().params == layout.params;
    if (!kept) {
        grid.clearColumns(); // a layout that cannot be read leaves no columns
        data.OpenQuery(rows, layout);
    }
    QList<LayoutRow> shown;
    rows.first();
    const int n = qMin(rows.recordCount(), maxShownColumns);
    for (int i = 0; i < n; ++i) {
        shown.append(readLayoutRow(rows));
        rows.next();
    }
    // A new result under the columns a search left: only its titles are new, so the header and
    // the view keep their geometry and the result is painted once.
    if (kept && showsLayout(grid, query, shown)) {
        for (const LayoutRow& row : shown)
            query.setDisplayLabel(query.fieldByName(row.field), row.name);
        grid.refreshTitles();
        return;
    }
    grid.clearColumns();
    for (const LayoutRow& row : shown)
        applyLayoutRow(grid, query, row);
}

void SaveColumnLayout(TFrm_Data& data, MessageService& messages, DataGrid& grid,
                      const QString& tableName, int announce) {
    if (!data.ADOConnection1)
        throw AppError(QStringLiteral("数据库没有连接"));
    data.rights.require(Permission::ChangeLayout);
    {
        // All positions or none: a rejected statement leaves the stored layout as it was.
        Transaction transaction(*data.ADOConnection1);
        for (int i = 0; i < grid.columnCount(); ++i) {
            const GridColumn& column = grid.column(i);
            data.ExecQuery(data.Qry_Temp,
                           Sql::saveLayoutColumn(tableName, column.fieldName, i, column.width));
        }
        transaction.commit();
    }
    data.Qry_FieldShow.close(); // the rows read before are no longer the layout
    if (announce == 1)
        messages.confirm(QStringLiteral("列属性已成功保存!"), mbOK);
}

QString sortMarkersText(const DataGrid& grid) {
    QString text;
    for (int i : grid.sortMarkedColumns()) {
        const GridColumn& column = grid.column(i);
        text += column.fieldName +
                (column.sortMarker == smUpEh ? QStringLiteral(" DESC , ") : QStringLiteral(", "));
    }
    if (text.isEmpty())
        return text;
    text.chop(2);
    return QStringLiteral("  ") + text;
}

void ApplySortMarkers(DataGrid& grid, Query& query) {
    if (query.isActive())
        query.setSort(sortMarkersText(grid));
}
