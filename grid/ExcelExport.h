#pragma once

// Saving a list as an Excel worksheet: the grid's visible columns in screen order, its titles,
// every record of the query in its present order and the footer row.

#include "grid/DesktopOpen.h"

#include <QString>
#include <functional>
#include <memory>

class DataGrid;
class MessageService;
class Query;
class QFileDialog;
class QWidget;
class WorkProgress;

// The save dialog's answer: the name typed and the filter chosen ("" for the first).
struct SaveChoice {
    SaveChoice(QString path = {}, QString filter = {})
        : path(std::move(path)), filter(std::move(filter)) {}
    QString path;
    QString filter;
};

// What the export asks of the desktop; tests put in their own.
struct ExportDialogs {
    // Shows the save dialog with the filters (";;" between them); "" when cancelled.
    std::function<SaveChoice(const QString& filters)> askFileName;
    // Opens the written file in its default program; failed runs when that could not be done.
    std::function<void(const QString& path, const std::function<void()>& failed)> openFile =
        openWithDefaultProgram;
    // A progress window with a cancel button for the long formats; none when unset.
    std::function<std::unique_ptr<WorkProgress>()> showProgress;
};

enum class ExportFormat { Xls, Xlsx, Csv };

inline const QString kExcelFileFilter = QStringLiteral("EXCEL文件(*.xls)");
inline const QString kXlsxFileFilter = QStringLiteral("EXCEL 2007文件(*.xlsx)");
inline const QString kCsvFileFilter = QStringLiteral("CSV文件(*.csv)");
// The old worksheet stays first, so it is the default.
inline const QString kExportFileFilters = kExcelFileFilter + QStringLiteral(";;") +
                                          kXlsxFileFilter + QStringLiteral(";;") + kCsvFileFilter;

ExportFormat exportFormatOfFilter(const QString& filter);

// Runs the given save dialog: empty file name, the filter, no default suffix, no question
// before replacing a file. Returns the chosen path, "" when cancelled.
QString askSaveFileName(QFileDialog& dialog, const QString& filter);
SaveChoice askSaveFile(QFileDialog& dialog, const QString& filters);

// The desktop's dialogs: the window's own save dialog, or a fresh one over parent each time.
ExportDialogs desktopExportDialogs(QFileDialog& saveDialog);
ExportDialogs desktopExportDialogs(QWidget* parent);

// The typed name with blanks and control characters trimmed, and ".xls" appended unless those
// four characters occur in it (letter case counts).
QString excelFileName(const QString& typed);
// The same rule with the format's own suffix: ".xlsx" or ".csv" appended unless it occurs.
QString exportFileName(ExportFormat format, const QString& typed);

// What is written: the format and the file's name.
struct ExportTarget {
    ExportFormat format;
    QString path;
};
// A typed name ending in the suffix of another offered format is written in that format under
// the trimmed name; any other name in the chosen format by exportFileName.
ExportTarget exportTarget(ExportFormat chosen, const QString& typed);

// Tells where the written file is when the desktop could not open it.
QString fileNotOpenedText(const QString& path);

// The most records a sheet of this grid holds beside its title and footer rows.
int maxExportRecords(const DataGrid& grid);

// Writes the sheet under path, replacing any file there only once the whole sheet is written.
// The grid's display is frozen meanwhile; current record and view stay. Throws AppError
// "Cannot create file "<path>". <reason>" when the file cannot be made.
void writeGridWorksheet(Query& query, DataGrid& grid, const QString& path);

// Writes the grid in the format; false when cancelled through the progress, leaving no file.
bool writeGridFile(ExportFormat format, Query& query, DataGrid& grid, const QString& path,
                   WorkProgress* progress);

// The whole command: refusals, the save dialog, the file and the offer to open it.
void ExportGridToExcel(MessageService& messages, Query& query, DataGrid& grid,
                       const ExportDialogs& dialogs);
