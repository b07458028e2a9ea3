#include "output/SheetFiles.h"

#include "data/AppError.h"
#include "data/Query.h"
#include "output/OutputFile.h"
#include "output/WorkProgress.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <utility>
#include <xlsxwriter.h>

namespace {

constexpr int kMaxCellChars = 32767; // what one cell of the format holds

QString tooManyRecordsText(const SheetTable& table) {
    return QStringLiteral("记录超过 %1 条，不能导出成Excel文件!").arg(maxXlsxRecords(table));
}

// A text cut to what a cell holds, never inside a surrogate pair.
QByteArray cellUtf8(const QString& text) {
    if (text.size() <= kMaxCellChars)
        return text.toUtf8();
    qsizetype keep = kMaxCellChars;
    if (text.at(keep - 1).isHighSurrogate())
        --keep;
    return text.left(keep).toUtf8();
}

lxw_datetime toLxw(const QDateTime& value) {
    const QDate d = value.date();
    const QTime t = value.time();
    return {d.year(), d.month(), d.day(), t.hour(), t.minute(), t.second() + t.msec() / 1000.0};
}

// The workbook under construction, closed (and so written) exactly once.
class Workbook {
  public:
    explicit Workbook(const QByteArray& path) {
        lxw_workbook_options options{};
        options.constant_memory = LXW_TRUE; // rows go to disk as written: memory stays flat
        book_ = workbook_new_opt(path.constData(), &options);
        if (!book_)
            return;
        sheet_ = workbook_add_worksheet(book_, nullptr);
        bold_ = workbook_add_format(book_);
        format_set_bold(bold_);
        date_ = workbook_add_format(book_);
        format_set_num_format(date_, "yyyy-mm-dd");
        dateTime_ = workbook_add_format(book_);
        format_set_num_format(dateTime_, "yyyy-mm-dd hh:mm:ss");
    }
    ~Workbook() {
        if (book_)
            workbook_close(book_);
    }
    Workbook(const Workbook&) = delete;
    Workbook& operator=(const Workbook&) = delete;

    bool isOpen() const { return book_ && sheet_; }
    lxw_worksheet* sheet() const { return sheet_; }
    lxw_format* bold() const { return bold_; }

    lxw_error write(lxw_row_t row, lxw_col_t col, const SheetCell& cell) {
        switch (cell.type) {
        case SheetCell::Blank:
            return LXW_NO_ERROR;
        case SheetCell::Number:
            return worksheet_write_number(sheet_, row, col, cell.number, nullptr);
        case SheetCell::Date:
            if (cell.date.date().year() >= 1900 && cell.date.date().year() <= 9999) {
                lxw_datetime when = toLxw(cell.date);
                lxw_format* format = cell.date.time() == QTime(0, 0) ? date_ : dateTime_;
                return worksheet_write_datetime(sheet_, row, col, &when, format);
            }
            // before the format's first day: the date stays readable as a text
            return writeText(row, col, sheetDateText(cell.date), nullptr);
        case SheetCell::Text:
            return writeText(row, col, cell.text, nullptr);
        }
        return LXW_NO_ERROR;
    }

    lxw_error writeText(lxw_row_t row, lxw_col_t col, const QString& text, lxw_format* format) {
        if (text.isEmpty())
            return format ? worksheet_write_blank(sheet_, row, col, format) : LXW_NO_ERROR;
        return worksheet_write_string(sheet_, row, col, cellUtf8(text).constData(), format);
    }

    lxw_error close() { return workbook_close(std::exchange(book_, nullptr)); }

  private:
    lxw_workbook* book_ = nullptr;
    lxw_worksheet* sheet_ = nullptr;
    lxw_format* bold_ = nullptr;
    lxw_format* date_ = nullptr;
    lxw_format* dateTime_ = nullptr;
};

void check(lxw_error error, const QString& path) {
    if (error != LXW_NO_ERROR)
        throw AppError(QStringLiteral("Cannot write file \"%1\". %2")
                           .arg(shownPath(path), QString::fromUtf8(lxw_strerror(error))));
}

void layOut(Workbook& book, const SheetTable& table, lxw_row_t lastRecordRow) {
    for (size_t c = 0; c < table.columns.size(); ++c)
        worksheet_set_column_pixels(book.sheet(), lxw_col_t(c), lxw_col_t(c),
                                    uint32_t(std::max(0, table.columns[c].widthPixels)), nullptr);
    if (!table.titles || table.columns.empty())
        return;
    worksheet_freeze_panes(book.sheet(), 1, 0);
    worksheet_autofilter(book.sheet(), 0, 0, lastRecordRow, lxw_col_t(table.columns.size() - 1));
}

// Writes the sheet into the file at path; false when cancelled.
bool writeBook(const SheetTable& table, const QString& path, WorkProgress* progress) {
    const Query& query = *table.query;
    const std::vector<SheetCell> footer = footerCells(table);
    Workbook book(QFile::encodeName(path));
    if (!book.isOpen())
        throw AppError(cannotCreateText(path, QStringLiteral("workbook")));
    const lxw_row_t first = table.titles ? 1 : 0;
    layOut(book, table, first + lxw_row_t(std::max(0, query.recordCount() - 1)));
    if (table.titles)
        for (size_t c = 0; c < table.columns.size(); ++c)
            check(book.writeText(0, lxw_col_t(c), table.columns[c].title, book.bold()), path);
    ProgressTicker ticker(progress, query.recordCount());
    for (int row = 0; row < query.recordCount(); ++row) {
        if (!ticker.tick(row))
            return false;
        for (size_t c = 0; c < table.columns.size(); ++c)
            check(book.write(first + lxw_row_t(row), lxw_col_t(c),
                             recordCell(query, row, table.columns[c])),
                  path);
    }
    const lxw_row_t footerRow = first + lxw_row_t(query.recordCount());
    for (int f = 0; f < table.footerRows; ++f)
        for (size_t c = 0; c < footer.size(); ++c)
            check(book.write(footerRow + lxw_row_t(f), lxw_col_t(c), footer[c]), path);
    if (!ticker.finish())
        return false;
    check(book.close(), path);
    return true;
}

} // namespace

qint64 maxXlsxRecords(const SheetTable& table) {
    return qint64(LXW_ROW_MAX) - (table.titles ? 1 : 0) - table.footerRows;
}

bool writeXlsx(const SheetTable& table, const QString& path, WorkProgress* progress) {
    if (table.query->recordCount() > maxXlsxRecords(table))
        throw AppError(tooManyRecordsText(table));
    if (qint64(table.columns.size()) > LXW_COL_MAX)
        throw AppError(QStringLiteral("列超过 %1 列，不能导出成Excel文件!").arg(LXW_COL_MAX));
    // Written beside the target, so the last step is a rename within one folder.
    const QFileInfo target(path);
    QTemporaryFile aside(target.absolutePath() + QStringLiteral("/.") + target.fileName() +
                         QStringLiteral(".XXXXXX"));
    if (!aside.open())
        throw AppError(cannotCreateText(path, aside.errorString()));
    aside.close();
    if (!writeBook(table, aside.fileName(), progress))
        return false;
    aside.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup |
                         QFile::ReadOther);
    if (std::rename(QFile::encodeName(aside.fileName()).constData(),
                    QFile::encodeName(target.absoluteFilePath()).constData()) != 0)
        throw AppError(cannotCreateText(path, QString::fromLocal8Bit(std::strerror(errno))));
    aside.setAutoRemove(false); // it carries the target's name now
    return true;
}
