#include "output/SheetTable.h"

#include "data/Query.h"
#include "output/FooterTotal.h"

namespace {

// Beyond 2^53 a double no longer holds every whole number, so such values stay texts.
constexpr qint64 kExactDoubleLimit = qint64(1) << 53;

SheetCell textCell(QString text) {
    SheetCell cell;
    cell.type = SheetCell::Text;
    cell.text = std::move(text);
    return cell;
}

SheetCell numberCell(double value) {
    SheetCell cell;
    cell.type = SheetCell::Number;
    cell.number = value;
    return cell;
}

} // namespace

SheetCell recordCell(const Query& query, int row, const SheetColumn& column) {
    if (column.field < 0 || query.isNull(row, column.field))
        return {};
    const QVariant value = query.value(row, column.field);
    // A number column may still hold a text the database kept as it was given.
    if ((isWholeNumber(column.kind) || isFraction(column.kind)) &&
        value.typeId() != QMetaType::QString)
        return numberCell(value.toDouble());
    if (column.kind == FieldKind::LargeInt) {
        const qint64 whole = value.toLongLong();
        if (whole > -kExactDoubleLimit && whole < kExactDoubleLimit)
            return numberCell(double(whole));
    }
    if (column.kind == FieldKind::DateTime && value.toDateTime().isValid()) {
        SheetCell cell;
        cell.type = SheetCell::Date;
        cell.date = value.toDateTime();
        return cell;
    }
    return textCell(query.displayText(row, column.field));
}

std::vector<SheetCell> footerCells(const SheetTable& table) {
    std::vector<FooterTotal> totals(table.columns.size());
    const Query& query = *table.query;
    for (int row = 0; row < query.recordCount(); ++row)
        for (size_t c = 0; c < table.columns.size(); ++c) {
            const SheetColumn& column = table.columns[c];
            if (column.footer == SheetFooter::Count)
                totals[c].addRecord();
            else if (column.footer == SheetFooter::Sum && column.field >= 0 &&
                     !query.isNull(row, column.field))
                totals[c].addValue(query.value(row, column.field), column.kind);
        }
    std::vector<SheetCell> cells;
    for (size_t c = 0; c < table.columns.size(); ++c) {
        const SheetColumn& column = table.columns[c];
        if (column.footer == SheetFooter::Sum || column.footer == SheetFooter::Count)
            cells.push_back(numberCell(totals[c].value()));
        else
            cells.push_back(
                textCell(column.footer == SheetFooter::Text ? column.footerText : QString()));
    }
    return cells;
}

QString sheetDateText(const QDateTime& value) {
    if (value.time() == QTime(0, 0))
        return value.date().toString(QStringLiteral("yyyy-MM-dd"));
    return value.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}
