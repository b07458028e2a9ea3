#include "grid/ExcelExport.h"

#include "data/AppError.h"
#include "data/MessageService.h"
#include "data/Query.h"
#include "grid/BiffWriter.h"
#include "grid/DataGrid.h"
#include "grid/DialogFrame.h"
#include "grid/TextTrim.h"

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

constexpr qint64 kUnitsPerOne = 10000;
constexpr qsizetype kChunkBytes = 256 * 1024;

bool isWholeNumber(FieldKind kind) {
    return kind == FieldKind::Integer || kind == FieldKind::AutoInc;
}

bool isFraction(FieldKind kind) {
    return kind == FieldKind::Float || kind == FieldKind::Currency || kind == FieldKind::Decimal;
}

QString tooManyRecordsText(const DataGrid& grid) {
    return QStringLiteral("记录超过 %1 条，不能导出成Excel文件!").arg(maxExportRecords(grid));
}

[[noreturn]] void totalOverflow() {
    throw AppError(QStringLiteral("合计超出范围,不能导出成Excel文件!"));
}

// A footer total in 1/10000 units, added up as a currency amount is.
class FooterTotal {
  public:
    void addRecord() { add(kUnitsPerOne); }

    void addValue(const QVariant& value, FieldKind kind) {
        if (isWholeNumber(kind) || kind == FieldKind::LargeInt) {
            qint64 units;
            if (__builtin_mul_overflow(value.toLongLong(), kUnitsPerOne, &units))
                totalOverflow();
            add(units);
        } else if (isFraction(kind)) {
            addFraction(value.toDouble());
        } else if (kind == FieldKind::Text || kind == FieldKind::Memo) {
            bool ok = false;
            const double number = QLocale::c().toDouble(value.toString().trimmed(), &ok);
            if (ok)
                addFraction(number);
        }
    }

    double value() const { return double(units_) / kUnitsPerOne; }

  private:
    // Extended precision, so that only a true half is rounded to the even unit.
    void addFraction(double number) {
        const long double units = std::nearbyintl(static_cast<long double>(number) * kUnitsPerOne);
        if (!(std::fabs(units) < 9.2e18L))
            totalOverflow();
        add(static_cast<qint64>(units));
    }

    void add(qint64 units) {
        if (__builtin_add_overflow(units_, units, &units_))
            totalOverflow();
    }

    qint64 units_ = 0;
};

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
            c.kind = query.field(c.field).kind;
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

// The save file and the texts of its failures.
class SheetFile {
  public:
    explicit SheetFile(const QString& path)
        : file_(path), shownPath_(QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath())) {
        if (!file_.open(QIODevice::WriteOnly))
            fail(QStringLiteral("Cannot create file \"%1\". %2"));
    }

    void write(const QByteArray& bytes) {
        if (file_.write(bytes) != bytes.size())
            fail(QStringLiteral("Cannot write file \"%1\". %2"));
    }

    // Puts the written sheet in place of any earlier file; until then that file stays.
    void commit() {
        if (!file_.commit())
            fail(QStringLiteral("Cannot write file \"%1\". %2"));
    }

  private:
    [[noreturn]] void fail(const QString& pattern) {
        throw AppError(pattern.arg(shownPath_, file_.errorString()));
    }

    QSaveFile file_;
    QString shownPath_;
};

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
void writeSheet(SheetFile& file, const Query& query, const DataGrid& grid) {
    std::vector<SheetColumn> columns = sheetColumns(query, grid);
    BiffWriter writer(static_cast<int>(columns.size()));
    writer.bof();
    if (grid.titlesShown())
        for (const SheetColumn& c : columns)
            writer.label(c.title);
    for (int row = 0; row < query.recordCount(); ++row) {
        for (SheetColumn& c : columns) {
            writeRecordCell(writer, query, row, c);
            addToFooter(c, query, row);
        }
        if (writer.bytes().size() >= kChunkBytes)
            file.write(writer.takeBytes());
    }
    for (int footerRow = 0; footerRow < grid.footerRowCount(); ++footerRow)
        for (const SheetColumn& c : columns)
            writeFooterCell(writer, c);
    writer.eof();
    file.write(writer.takeBytes());
}

} // namespace

QString askSaveFileName(QFileDialog& dialog, const QString& filter) {
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilter(filter);
    dialog.setDefaultSuffix(QString());
    dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
    dialog.selectFile(QString());
    frameResizableDialog(dialog);
    if (dialog.exec() != QDialog::Accepted)
        return {};
    return dialog.selectedFiles().value(0);
}

ExportDialogs desktopExportDialogs(QFileDialog& saveDialog) {
    return {[&saveDialog](const QString& filter) { return askSaveFileName(saveDialog, filter); },
            openWithDefaultProgram};
}

ExportDialogs desktopExportDialogs(QWidget* parent) {
    return {[parent](const QString& filter) {
                QFileDialog dialog(parent);
                return askSaveFileName(dialog, filter);
            },
            openWithDefaultProgram};
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

int maxExportRecords(const DataGrid& grid) {
    return biff::kMaxRows - (grid.titlesShown() ? 1 : 0) - grid.footerRowCount();
}

void writeGridWorksheet(Query& query, DataGrid& grid, const QString& path) {
    if (query.recordCount() > maxExportRecords(grid))
        throw AppError(tooManyRecordsText(grid)); // the rows would wrap round to the top
    SheetFile file(path);
    {
        FrozenDisplay frozen(grid);
        writeSheet(file, query, grid);
    }
    file.commit();
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
    if (query.recordCount() > maxExportRecords(grid)) {
        messages.notice(tooManyRecordsText(grid), owner);
        return;
    }
    const QString typed = dialogs.askFileName(kExcelFileFilter);
    if (typed.isEmpty())
        return;
    const QString name = excelFileName(typed);
    writeGridWorksheet(query, grid, name);
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
