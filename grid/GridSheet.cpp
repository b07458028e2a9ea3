#include "grid/GridSheet.h"

#include "data/Query.h"
#include "grid/DataGrid.h"

namespace {

SheetFooter sheetFooter(TFooterValueType kind) {
    switch (kind) {
    case fvtSum:
        return SheetFooter::Sum;
    case fvtCount:
        return SheetFooter::Count;
    case fvtStaticText:
        return SheetFooter::Text;
    case fvtNon:
        break;
    }
    return SheetFooter::None;
}

} // namespace

SheetTable gridSheetTable(const Query& query, const DataGrid& grid) {
    SheetTable table;
    table.query = &query;
    table.titles = grid.titlesShown();
    table.footerRows = grid.footerRowCount();
    for (int i = 0; i < grid.columnCount(); ++i) {
        const GridColumn& column = grid.column(i);
        if (!column.visible)
            continue;
        SheetColumn c;
        c.title = grid.columnTitle(i);
        c.field = grid.columnField(i);
        if (c.field >= 0)
            c.kind = query.field(c.field).shownKind();
        c.footer = sheetFooter(column.footerKind);
        c.footerText = grid.footerValueText(i);
        c.widthPixels = column.width;
        table.columns.push_back(std::move(c));
    }
    return table;
}
