#include "data/AppError.h"
#include "data/MessageService.h"
#include "data/Query.h"
#include "data/SettingsFile.h"
#include "data/Statements.h"
#include "data/U_Data.h"
#include "grid/ColumnLayout.h"
#include "grid/DataGrid.h"
#include "grid/ExcelExport.h"
#include "grid/ExportLosses.h"
#include "grid/GridSheet.h"
#include "operators/Owners.h"
#include "output/CustomerImport.h"
#include "output/ImportFile.h"
#include "tools/admin/AdminCommand.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <cstdio>
#include <unistd.h>

namespace {

// Messages of the export's layout step go nowhere: its failures arrive as AppError.
class SilentMessages : public MessageService {
  public:
    SilentMessages() : MessageService(QStringLiteral("custdesk-admin")) {}

  protected:
    int present(const MessageBoxRequest&) override { return mbOK; }
};

bool takeFlag(QStringList& arguments, const QString& name) {
    return arguments.removeAll(name) > 0;
}

// Every value of an option that may be given more than once.
QStringList takeOptions(QStringList& arguments, const QString& name) {
    QStringList values;
    for (QString value = takeOption(arguments, name); !value.isNull();
         value = takeOption(arguments, name))
        values << value;
    return values;
}

// How far a long import has come, on standard error once it has lasted a second: one line
// redrawn on a terminal, a line every tenth otherwise.
class ConsoleProgress : public WorkProgress {
  public:
    explicit ConsoleProgress(QString what) : what_(std::move(what)), terminal_(isatty(2)) {
        clock_.start();
    }
    ~ConsoleProgress() override {
        if (shown_ >= 0 && terminal_)
            std::fputs("\n", stderr);
    }
    bool advance(qint64 done, qint64 total) override {
        const int percent = total > 0 ? int(std::min<qint64>(100, done * 100 / total)) : 0;
        if (clock_.elapsed() < 1000 || percent == shown_ ||
            (!terminal_ && percent / 10 == shown_ / 10))
            return true;
        shown_ = percent;
        const QByteArray line = QStringLiteral("%1 %2%").arg(what_).arg(percent).toLocal8Bit();
        std::fprintf(stderr, terminal_ ? "\r%s" : "%s\n", line.constData());
        std::fflush(stderr);
        return true;
    }

  private:
    QString what_;
    bool terminal_;
    int shown_ = -1;
    QElapsedTimer clock_;
};

TextEncoding encodingOption(const QString& name) {
    const QString n = name.toLower();
    if (n == "utf-8" || n == "utf8")
        return TextEncoding::Utf8;
    if (n == "utf-16" || n == "utf16")
        return TextEncoding::Utf16;
    if (n == "gbk" || n == "gb18030" || n == "gb2312")
        return TextEncoding::Gb18030;
    if (n != "auto")
        throw AppError(QStringLiteral("不认识编码“%1”；可用 auto、utf-8、utf-16、gbk。").arg(name));
    return TextEncoding::Detect;
}

// --sheet: a sheet's name, or its number counted from 1.
int sheetOption(const QString& path, const QString& sheet) {
    if (sheet.isEmpty())
        return 0;
    if (!isWorkbookName(path))
        throw AppError(QStringLiteral("--sheet 只用于 .xlsx 工作簿。"));
    const QStringList names = openImportFile(path).sheetNames;
    if (const qsizetype at = names.indexOf(sheet); at >= 0)
        return int(at);
    bool ok = false;
    const int number = sheet.toInt(&ok);
    if (ok && number >= 1 && number <= names.size())
        return number - 1;
    throw AppError(QStringLiteral("文件中没有工作表“%1”；有：%2。").arg(sheet, names.join(u'、')));
}

QString normalTitle(const QString& title) {
    return title.trimmed().toCaseFolded();
}

// Each "文件列=字段" puts the field (by its name or its title in the list; empty: none) on the
// column with that title, taking it from any other column.
void applyMaps(const QStringList& maps, const QStringList& titles, const ImportFields& fields,
               QStringList& mapping) {
    for (const QString& map : maps) {
        const qsizetype equals = map.lastIndexOf(u'=');
        if (equals < 0)
            throw AppError(QStringLiteral("--map “%1” 应写成 文件列=字段。").arg(map));
        const QString column = map.left(equals), wanted = map.mid(equals + 1).trimmed();
        qsizetype at = -1;
        for (qsizetype c = 0; c < titles.size() && at < 0; ++c)
            if (normalTitle(titles[c]) == normalTitle(column))
                at = c;
        if (at < 0)
            throw AppError(QStringLiteral("文件中没有标题为“%1”的列；有：%2。")
                               .arg(column, titles.join(u'、')));
        QString field;
        QStringList known;
        for (const ImportField& f : fields.fields) {
            known << f.title;
            if (!wanted.isEmpty() && (normalTitle(f.field) == normalTitle(wanted) ||
                                      normalTitle(f.title) == normalTitle(wanted)))
                field = f.field;
        }
        if (!wanted.isEmpty() && field.isEmpty())
            throw AppError(
                QStringLiteral("没有字段“%1”；可用的字段：%2。").arg(wanted, known.join(u'、')));
        if (!field.isEmpty())
            for (QString& other : mapping)
                if (other == field)
                    other.clear();
        mapping[at] = field;
    }
}

} // namespace

int importCommand(const QStringList& given) {
    QStringList arguments = given;
    const QString db = takeOption(arguments, "--db");
    const QString rule = takeOption(arguments, "--on-duplicate", "skip");
    const bool skipBad = takeFlag(arguments, "--skip-bad");
    const QString sheet = takeOption(arguments, "--sheet");
    const QString encoding = takeOption(arguments, "--encoding", "auto");
    const QStringList maps = takeOptions(arguments, "--map");
    if (arguments.size() != 1 || !QStringList({"skip", "update", "add"}).contains(rule))
        return kExitUsage;
    const QString path = arguments.first();
    ImportFileOptions options;
    options.csv.encoding = encodingOption(encoding);
    ImportSettings settings;
    settings.onDuplicate = rule == "update" ? OnDuplicate::Update
                           : rule == "add"  ? OnDuplicate::Add
                                            : OnDuplicate::Skip;
    settings.onBadRows = skipBad ? OnBadRows::SkipThem : OnBadRows::WriteNothing;

    auto connection = openAdminDatabase(db);
    options.sheet = sheetOption(path, sheet);
    ConsoleProgress progress(QStringLiteral("正在导入 %1").arg(QFileInfo(path).fileName()));
    options.progress = &progress;
    ImportFile file = openImportFile(path, options);
    const ImportFields fields = importFields(*connection);
    // The mapping the import window last chose for these titles, else the titles' own match.
    const SettingsFile config(QDir(programDirectory()).filePath("Config.ini"));
    QStringList mapping = rememberedMapping(config, file.titles, fields);
    if (mapping.isEmpty())
        mapping = matchTitles(file.titles, fields);
    applyMaps(maps, file.titles, fields, mapping);
    const ImportReport report =
        importCustomers(*connection, *file.rows, mapping, settings, &progress);
    printLine(report.text(QFileInfo(path).fileName()).trimmed());
    return report.written ? kExitDone : kExitFailed;
}

int exportCommand(const QStringList& given) {
    QStringList arguments = given;
    const QString db = takeOption(arguments, "--db");
    const QString format = takeOption(arguments, "--format");
    const QStringList formats = {"xls", "xlsx", "csv"};
    if (arguments.size() != 1 || !formats.contains(format))
        return kExitUsage;
    SilentMessages messages;
    TFrm_Data data(programDirectory(), messages);
    data.ADOConnection1 = openAdminDatabase(db);
    for (Query* query : {&data.Qry_Cust, &data.Qry_FieldShow, &data.Qry_Temp})
        query->setConnection(data.ADOConnection1.get());
    data.OpenQuery(data.Qry_Cust, Sql::allCustomers());
    DataGrid grid;
    grid.setQuery(&data.Qry_Cust);
    ApplyColumnLayout(data, grid, data.Qry_Cust, QStringLiteral("Custom"));
    Owners::OwnerNames names;
    Owners::showOwnerNames(*data.ADOConnection1, data.Qry_Cust, names);
    const ExportFormat kind = format == "xlsx"  ? ExportFormat::Xlsx
                              : format == "csv" ? ExportFormat::Csv
                                                : ExportFormat::Xls;
    if (kind == ExportFormat::Xls && data.Qry_Cust.recordCount() > maxExportRecords(grid))
        throw AppError(QStringLiteral("记录超过 %1 条，不能导出成 .xls 文件；请用 xlsx 或 csv。")
                           .arg(maxExportRecords(grid)));
    const SheetTable table = gridSheetTable(data.Qry_Cust, grid);
    const std::vector<CellLoss> losses = kind == ExportFormat::Xls    ? xlsLosses(table)
                                         : kind == ExportFormat::Xlsx ? xlsxLosses(table)
                                                                      : std::vector<CellLoss>{};
    if (!losses.empty()) // written all the same, as the command asked; the operator hears which
        printErrorLine(QStringLiteral("注意，下列内容不能完整保存：\n") + lossLines(table, losses));
    writeGridFile(kind, data.Qry_Cust, grid, arguments.first(), nullptr);
    printLine(QStringLiteral("已导出 %1 位客户到 %2")
                  .arg(data.Qry_Cust.recordCount())
                  .arg(arguments.first()));
    grid.setQuery(nullptr);
    return kExitDone;
}
