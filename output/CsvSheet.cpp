#include "output/SheetFiles.h"

#include "data/Query.h"
#include "output/CsvGuard.h"
#include "output/OutputFile.h"
#include "output/WorkProgress.h"

#include <QLocale>
#include <utility>

namespace {

constexpr qsizetype kChunkBytes = 256 * 1024;
constexpr double kExactWholeLimit = 9007199254740992.0; // 2^53

QString numberText(double value) {
    if (value == double(qint64(value)) && value > -kExactWholeLimit && value < kExactWholeLimit)
        return QString::number(qint64(value));
    return QString::number(value, 'g', QLocale::FloatingPointShortest);
}

QString cellText(const SheetCell& cell) {
    switch (cell.type) {
    case SheetCell::Blank:
        return {};
    case SheetCell::Number:
        return numberText(cell.number);
    case SheetCell::Date:
        return sheetDateText(cell.date);
    case SheetCell::Text: // numbers and dates never start like a formula; texts may
        return guardedCsvText(cell.text);
    }
    return {};
}

void endLine(QByteArray& out) {
    out.chop(1); // the separator after the last field
    out += "\r\n";
}

} // namespace

void appendCsvField(QByteArray& line, QStringView text) {
    const bool quoted =
        text.contains(u',') || text.contains(u'"') || text.contains(u'\n') || text.contains(u'\r');
    if (!quoted) {
        line += text.toUtf8();
    } else {
        line += '"';
        line += text.toString().replace(u'"', QStringLiteral("\"\"")).toUtf8();
        line += '"';
    }
    line += ',';
}

bool writeCsv(const SheetTable& table, const QString& path, WorkProgress* progress) {
    const Query& query = *table.query;
    const std::vector<SheetCell> footer = footerCells(table);
    OutputFile file(path);
    QByteArray out("\xEF\xBB\xBF");
    if (table.titles && !table.columns.empty()) {
        for (const SheetColumn& column : table.columns)
            appendCsvField(out, guardedCsvText(column.title));
        endLine(out);
    }
    ProgressTicker ticker(progress, query.recordCount());
    for (int row = 0; row < query.recordCount() && !table.columns.empty(); ++row) {
        if (!ticker.tick(row))
            return false;
        for (const SheetColumn& column : table.columns)
            appendCsvField(out, cellText(recordCell(query, row, column)));
        endLine(out);
        if (out.size() >= kChunkBytes)
            file.write(std::exchange(out, {}));
    }
    for (int footerRow = 0; footerRow < table.footerRows && !footer.empty(); ++footerRow) {
        for (const SheetCell& cell : footer)
            appendCsvField(out, cellText(cell));
        endLine(out);
    }
    file.write(out);
    if (!ticker.finish())
        return false;
    file.commit();
    return true;
}
