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
#include "output/CustomerImport.h"
#include "output/ImportFile.h"
#include "tools/admin/AdminCommand.h"

#include <QDir>
#include <QFileInfo>

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

} // namespace

int importCommand(const QStringList& given) {
    QStringList arguments = given;
    const QString db = takeOption(arguments, "--db");
    const QString rule = takeOption(arguments, "--on-duplicate", "skip");
    const bool skipBad = takeFlag(arguments, "--skip-bad");
    if (arguments.size() != 1 || !QStringList({"skip", "update", "add"}).contains(rule))
        return kExitUsage;
    const QString path = arguments.first();
    ImportSettings settings;
    settings.onDuplicate = rule == "update" ? OnDuplicate::Update
                           : rule == "add"  ? OnDuplicate::Add
                                            : OnDuplicate::Skip;
    settings.onBadRows = skipBad ? OnBadRows::SkipThem : OnBadRows::WriteNothing;

    auto connection = openAdminDatabase(db);
    ImportFile file = openImportFile(path);
    const ImportFields fields = importFields(*connection);
    // The mapping the import window last chose for these titles, else the titles' own match.
    const SettingsFile config(QDir(programDirectory()).filePath("Config.ini"));
    QStringList mapping = rememberedMapping(config, file.titles, fields);
    if (mapping.isEmpty())
        mapping = matchTitles(file.titles, fields);
    const ImportReport report = importCustomers(*connection, *file.rows, mapping, settings);
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
