#include "output/SheetFiles.h"

#include "data/AppError.h"
#include "data/Query.h"
#include "output/OutputFile.h"
#include "output/SheetXml.h"
#include "output/WorkProgress.h"
#include "output/ZipEntryWorker.h"
#include "output/ZipWriter.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace {

constexpr size_t kChunkBytes = 256 * 1024;

QString tooManyRecordsText(const SheetTable& table) {
    return QStringLiteral("记录超过 %1 条，不能导出成Excel文件!").arg(maxXlsxRecords(table));
}

// Hands the sheet's XML to the compressing worker a chunk at a time.
class SheetStream {
  public:
    explicit SheetStream(ZipEntryWorker& worker) : worker_(worker) { out_.reserve(kChunkBytes); }
    std::string& out() { return out_; }
    // False once the worker failed.
    bool flush(size_t atLeast = kChunkBytes) {
        if (out_.size() < atLeast)
            return true;
        const bool taken = worker_.push(out_);
        out_.reserve(kChunkBytes + kChunkBytes / 4);
        return taken;
    }

  private:
    ZipEntryWorker& worker_;
    std::string out_;
};

// Streams the sheet's rows; false when cancelled. A failed worker ends it early, and the
// worker's finish() says why.
bool streamSheet(const SheetTable& table, SheetStream& stream, WorkProgress* progress) {
    const Query& query = *table.query;
    const std::vector<SheetCell> footer = footerCells(table);
    SheetXml sheet(table);
    sheet.begin(stream.out());
    const qint64 first = table.titles ? 2 : 1;
    if (table.titles) {
        sheet.beginRow(1);
        for (size_t c = 0; c < table.columns.size(); ++c)
            sheet.title(stream.out(), c, table.columns[c].title);
        sheet.endRow(stream.out());
    }
    ProgressTicker ticker(progress, query.recordCount());
    for (int row = 0; row < query.recordCount(); ++row) {
        if (!ticker.tick(row))
            return false;
        sheet.beginRow(first + row);
        for (size_t c = 0; c < table.columns.size(); ++c) {
            sheet.cell(stream.out(), c, recordCell(query, row, table.columns[c]));
            if (!stream.flush()) // per cell: even a row of long texts stays in a chunk's room
                return true;
        }
        sheet.endRow(stream.out());
    }
    for (int f = 0; f < table.footerRows; ++f) {
        sheet.beginRow(first + query.recordCount() + f);
        for (size_t c = 0; c < footer.size(); ++c)
            sheet.cell(stream.out(), c, footer[c]);
        sheet.endRow(stream.out());
    }
    sheet.end(stream.out());
    stream.flush(0);
    return ticker.finish();
}

// Writes the workbook onto file; false when cancelled.
bool writeBook(const SheetTable& table, QFile& file, const QString& path, WorkProgress* progress) {
    ZipWriter zip(file, shownPath(path));
    for (const auto& [name, bytes] : workbookParts(table))
        zip.addEntry(name, bytes);
    zip.beginEntry(kSheetPart);
    {
        ZipEntryWorker worker(zip);
        SheetStream stream(worker);
        if (!streamSheet(table, stream, progress))
            return false;
        worker.finish();
    }
    zip.endEntry();
    zip.finish();
    if (!file.flush())
        throw AppError(QStringLiteral("Cannot write file \"%1\". %2")
                           .arg(shownPath(path), file.errorString()));
    return true;
}

} // namespace

qint64 maxXlsxRecords(const SheetTable& table) {
    return kSheetMaxRows - (table.titles ? 1 : 0) - table.footerRows;
}

bool writeXlsx(const SheetTable& table, const QString& path, WorkProgress* progress) {
    if (table.query->recordCount() > maxXlsxRecords(table))
        throw AppError(tooManyRecordsText(table));
    if (qint64(table.columns.size()) > kSheetMaxColumns)
        throw AppError(QStringLiteral("列超过 %1 列，不能导出成Excel文件!").arg(kSheetMaxColumns));
    // Written beside the target, so the last step is a rename within one folder.
    const QFileInfo target(path);
    QTemporaryFile aside(target.absolutePath() + QStringLiteral("/.") + target.fileName() +
                         QStringLiteral(".XXXXXX"));
    if (!aside.open())
        throw AppError(cannotCreateText(path, aside.errorString()));
    if (!writeBook(table, aside, path, progress))
        return false;
    aside.close();
    aside.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup |
                         QFile::ReadOther);
    if (std::rename(QFile::encodeName(aside.fileName()).constData(),
                    QFile::encodeName(target.absoluteFilePath()).constData()) != 0)
        throw AppError(cannotCreateText(path, QString::fromLocal8Bit(std::strerror(errno))));
    aside.setAutoRemove(false); // it carries the target's name now
    return true;
}
