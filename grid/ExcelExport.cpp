#include "grid/ExcelExport.h"

#include "data/AppError.h"
#include "data/MessageService.h"
#include "data/Query.h"
#include "grid/BiffWriter.h"
#include "grid/ChineseFileDialog.h"
#include "grid/DataGrid.h"
#include "grid/DialogFrame.h"
#include "grid/ExportLosses.h"
#include "grid/GridSheet.h"
#include "grid/ProgressWindow.h"
#include "grid/TextTrim.h"
#include "output/FooterTotal.h"
#include "output/OutputFile.h"
#include "output/SheetFiles.h"
#include "output/SheetXml.h"
#include "output/WorkProgress.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QLocale>
#include <QPointer>
#include <QSaveFile>
#include <cmath>
#include <limits>
#include <vector>

namespace {

constexpr qsizetype kChunkBytes = 256 * 1024;

QString tooManyRecordsText(const DataGrid& grid) {
    return QStringLiteral("记录超过 %1 条，不能导出成Excel文件!").arg(maxExportRecords(grid));
}

// One visible grid column as the sheet needs it.
struct SheetColumn {
    int field = -1;
    FieldKind kind = FieldKind::Text;
    TFooterValueType footerKind = fvtNon;
    QString title;
    QString footerText;
    FooterTotal total;
};

std::vector<SheetColumn> sheetColumns(const Query& query, const DataGrid& grid) {
    std::vector<SheetColumn> columns;
    for (int i = 0; i < grid.columnCount(); ++i) {
        const GridColumn& column = grid.column(i);
        if (!column.visible)
            continue;
        SheetColumn c;
        c.field = grid.columnField(i);
        if (c.field >= 0)
            c.kind = query.field(c.field).shownKind();
        c.footerKind = column.footerKind;
        c.title = grid.columnTitle(i);
        c.footerText = grid.footerValueText(i);
        columns.push_back(std::move(c));
    }
    return columns;
}

void writeRecordCell(BiffWriter& writer, const Query& query, int row, const SheetColumn& c) {
    if (c.field < 0 || query.isNull(row, c.field))
        writer.blank();
    else if (isWholeNumber(c.kind))
        writer.integer(query.value(row, c.field).toLongLong());
    else if (isFraction(c.kind))
        writer.number(query.value(row, c.field).toDouble());
    else if (const auto text = query.plainText(row, c.field))
        writer.labelUtf8(*text);
    else
        writer.label(query.displayText(row, c.field));
}

void addToFooter(SheetColumn& c, const Query& query, int row) {
    if (c.footerKind == fvtCount)
        c.total.addRecord();
    else if (c.footerKind == fvtSum && c.field >= 0 && !query.isNull(row, c.field))
        c.total.addValue(query.value(row, c.field), c.kind);
}

void writeFooterCell(BiffWriter& writer, const SheetColumn& c) {
    if (c.footerKind == fvtSum || c.footerKind == fvtCount)
        writer.number(c.total.value());
    else if (c.footerKind == fvtStaticText)
        writer.label(c.footerText);
    else
        writer.label(u"");
}

// Keeps the grid from repainting while the sheet is written, however the writing ends.
class FrozenDisplay {
  public:
    explicit FrozenDisplay(DataGrid& grid) : grid_(grid) { grid_.beginUpdate(); }
    ~FrozenDisplay() { grid_.endUpdate(); }
    FrozenDisplay(const FrozenDisplay&) = delete;
    FrozenDisplay& operator=(const FrozenDisplay&) = delete;

  private:
    DataGrid& grid_;
};

// Records are read by position, so the current record and the view never move.
void writeSheet(OutputFile& file, const Query& query, const DataGrid& grid) {
    std::vector<SheetColumn> columns = sheetColumns(query, grid);
    BiffWriter writer(static_cast<int>(columns.size()));
    writer.bof();
    writer.codePage();
    if (grid.titlesShown())
        for (const SheetColumn& c : columns)
            writer.label(c.title);
    for (int row = 0; row < query.recordCount(); ++row) {
        for (SheetColumn& c : columns) {
            writeRecordCell(writer, query, row, c);
            addToFooter(c, query, row);
        }
        if (writer.bytes().size() >= kChunkBytes) {
            file.write(writer.bytes());
            writer.clearBytes();
        }
    }
    for (int footerRow = 0; footerRow < grid.footerRowCount(); ++footerRow)
        for (const SheetColumn& c : columns)
            writeFooterCell(writer, c);
    writer.eof();
    file.write(writer.takeBytes());
}

QLatin1String suffixOf(ExportFormat format) {
    switch (format) {
    case ExportFormat::Xlsx:
        return QLatin1String(".xlsx");
    case ExportFormat::Csv:
        return QLatin1String(".csv");
    case ExportFormat::Xls:
        break;
    }
    return QLatin1String(".xls");
}

// The workbook an .xls name becomes when the operator takes the workbook instead.
QString workbookName(const QString& xlsName) {
    return xlsName.endsWith(QLatin1String(".xls")) ? xlsName + u'x'
                                                   : exportFileName(ExportFormat::Xlsx, xlsName);
}

// Names the texts the file would not hold whole and lets the operator choose: an .xls may
// become a workbook, which holds every character. False when the operator stops the export.
bool acceptLosses(MessageService& messages, QObject* owner, const SheetTable& table,
                  ExportTarget& target) {
    const QString caption = QStringLiteral("提示");
    if (target.format == ExportFormat::Xls) {
        const std::vector<CellLoss> losses = xlsLosses(table);
        if (!losses.empty()) {
            const QString workbook = workbookName(target.path);
            const int answer = messages.messageBox(
                owner,
                QStringLiteral("下列内容保存为.xls文件会丢失字符：\n") + lossLines(table, losses) +
                    QStringLiteral("\n\n是否改为保存为.xlsx文件%1？选“否”仍保存为.xls文件。")
                        .arg(workbook),
                caption, MsgIcon::Question, mbYes | mbNo | mbCancel);
            if (answer == mbCancel)
                return false;
            if (answer == mbYes)
                target = {ExportFormat::Xlsx, workbook};
        }
    }
    if (target.format != ExportFormat::Xlsx)
        return true;
    const std::vector<CellLoss> cuts = xlsxLosses(table);
    return cuts.empty() ||
           messages.messageBox(owner,
                               QStringLiteral("下列内容超过一个单元格能保存的 %1 个字符：\n")
                                       .arg(kSheetMaxCellChars) +
                                   lossLines(table, cuts) + QStringLiteral("\n\n是否仍然保存？"),
                               caption, MsgIcon::Warning, mbOK | mbCancel) == mbOK;
}

} // namespace

ExportFormat exportFormatOfFilter(const QString& filter) {
    if (filter == kXlsxFileFilter)
        return ExportFormat::Xlsx;
    if (filter == kCsvFileFilter)
        return ExportFormat::Csv;
    return ExportFormat::Xls;
}

SaveChoice askSaveFile(QFileDialog& dialog, const QString& filters) {
    speakChinese(dialog);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilters(filters.split(QStringLiteral(";;")));
    dialog.setDefaultSuffix(QString());
    dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
    dialog.selectFile(QString());
    frameResizableDialog(dialog);
    if (dialog.exec() != QDialog::Accepted)
        return {};
    return {dialog.selectedFiles().value(0), dialog.selectedNameFilter()};
}

QString askSaveFileName(QFileDialog& dialog, const QString& filter) {
    return askSaveFile(dialog, filter).path;
}

ExportDialogs desktopExportDialogs(QFileDialog& saveDialog) {
    QWidget* owner = saveDialog.parentWidget();
    return {[&saveDialog](const QString& filters) { return askSaveFile(saveDialog, filters); },
            openWithDefaultProgram,
            [owner] { return progressWindow(QStringLiteral("正在导出..."), owner); }};
}

ExportDialogs desktopExportDialogs(QWidget* parent) {
    return {[parent](const QString& filters) {
                QFileDialog dialog(parent);
                return askSaveFile(dialog, filters);
            },
            openWithDefaultProgram,
            [parent] { return progressWindow(QStringLiteral("正在导出..."), parent); }};
}

QString fileNotOpenedText(const QString& path) {
    return QStringLiteral("无法打开文件%1，它已保存在该位置，请用其他程序打开。")
        .arg(QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath()));
}

QString excelFileName(const QString& typed) {
    QString name = trimBlanks(typed);
    if (!name.contains(QLatin1String(".xls"), Qt::CaseSensitive))
        name += QLatin1String(".xls");
    return name;
}

QString exportFileName(ExportFormat format, const QString& typed) {
    if (format == ExportFormat::Xls)
        return excelFileName(typed);
    const QLatin1String suffix = suffixOf(format);
    QString name = trimBlanks(typed);
    if (!name.contains(suffix, Qt::CaseSensitive))
        name += suffix;
    return name;
}

ExportTarget exportTarget(ExportFormat chosen, const QString& typed) {
    const QString name = trimBlanks(typed);
    for (const ExportFormat other : {ExportFormat::Xls, ExportFormat::Xlsx, ExportFormat::Csv})
        if (other != chosen && name.endsWith(suffixOf(other), Qt::CaseSensitive))
            return {other, name};
    return {chosen, exportFileName(chosen, typed)};
}

int maxExportRecords(const DataGrid& grid) {
    return biff::kMaxRows - (grid.titlesShown() ? 1 : 0) - grid.footerRowCount();
}

void writeGridWorksheet(Query& query, DataGrid& grid, const QString& path) {
    if (query.recordCount() > maxExportRecords(grid))
        throw AppError(tooManyRecordsText(grid)); // the rows would wrap round to the top
    OutputFile file(path);
    {
        FrozenDisplay frozen(grid);
        writeSheet(file, query, grid);
    }
    file.commit();
}

bool writeGridFile(ExportFormat format, Query& query, DataGrid& grid, const QString& path,
                   WorkProgress* progress) {
    if (format == ExportFormat::Xls) { // at most 65,535 rows: quick enough to need no window
        writeGridWorksheet(query, grid, path);
        return true;
    }
    const SheetTable table = gridSheetTable(query, grid);
    FrozenDisplay frozen(grid);
    return format == ExportFormat::Xlsx ? writeXlsx(table, path, progress)
                                        : writeCsv(table, path, progress);
}

void ExportGridToExcel(MessageService& messages, Query& query, DataGrid& grid,
                       const ExportDialogs& dialogs) {
    QObject* owner = grid.window();
    if (!query.isActive()) {
        messages.notice(QStringLiteral("数据没有显示不能导出成Excel文件!"), owner);
        return;
    }
    if (query.isEmpty()) {
        messages.notice(QStringLiteral("没有数据,不能导出成Excel文件!"), owner);
        return;
    }
    const SaveChoice choice = dialogs.askFileName(kExportFileFilters);
    if (choice.path.isEmpty())
        return;
    ExportTarget target = exportTarget(exportFormatOfFilter(choice.filter), choice.path);
    if (target.format == ExportFormat::Xls && query.recordCount() > maxExportRecords(grid)) {
        messages.notice(tooManyRecordsText(grid), owner);
        return;
    }
    if (!acceptLosses(messages, owner, gridSheetTable(query, grid), target))
        return;
    const QString& name = target.path;
    std::unique_ptr<WorkProgress> progress =
        target.format != ExportFormat::Xls && dialogs.showProgress ? dialogs.showProgress()
                                                                   : nullptr;
    if (!writeGridFile(target.format, query, grid, name, progress.get()))
        return;       // cancelled: no file, no question
    progress.reset(); // the window goes before the question comes
    const QString question =
        QStringLiteral("文件") + name + QStringLiteral("已建立，是否打开文件？");
    if (messages.information(question, mbOK | mbCancel, owner) != mbOK)
        return;
    // The message service outlives every window; the owner may be gone by the answer.
    dialogs.openFile(name, [&messages, owner = QPointer<QObject>(owner), name] {
        messages.messageBox(owner, fileNotOpenedText(name), QStringLiteral("提示"),
                            MsgIcon::Warning, mbOK);
    });
}
