#include "ExcelExportFixture.h"

#include "data/Guard.h"

#include <QDir>
#include <QFile>

ExcelExportTest::ExcelExportTest() : data(program.connect(messages)) {
    dialogs.askFileName = [this](const QString& filter) {
        askedFilters << filter;
        return nextFileName;
    };
    dialogs.openFile = [this](const QString& path, const std::function<void()>& failed) {
        openedFiles << path;
        if (openFails)
            failed();
    };
    grid.setFooterRowCount(1);
    grid.setQuery(&query());
}

ExcelExportTest::~ExcelExportTest() {
    grid.setQuery(nullptr);
}

Query& ExcelExportTest::query() {
    return data->Qry_Cust;
}

void ExcelExportTest::openList(const QString& sql,
                               const QList<QPair<QString, TFooterValueType>>& columns) {
    data->OpenQuery(query(), SqlCommand{sql, {}});
    grid.clearColumns();
    for (const auto& [field, footer] : columns) {
        GridColumn column;
        column.fieldName = field;
        column.footerKind = footer;
        if (footer == fvtStaticText)
            column.footerText = QStringLiteral("总计");
        grid.addColumn(column);
    }
}

void ExcelExportTest::openThreeCustomers() {
    program.exec("insert into Custom (Company, tel, Mobile) values "
                 "('甲公司', '010-1', '139'), ('乙公司', '010-2', NULL), ('丙', '', '137')");
    openList(
        "select * from Custom order by CustCode",
        {{"Company", fvtStaticText}, {"tel", fvtCount}, {"CustCode", fvtSum}, {"Mobile", fvtNon}});
    query().setDisplayLabel(query().findField("Company"), QStringLiteral("客户名称"));
}

bool ExcelExportTest::exportAs(const QString& typedName) {
    nextFileName = typedName;
    return guarded(messages, [&] { ExportGridToExcel(messages, query(), grid, dialogs); });
}

QByteArray ExcelExportTest::readFile(const QString& path) {
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << path.toStdString();
    return file.readAll();
}

QStringList ExcelExportTest::filesIn(const QString& dir) {
    return QDir(dir).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot);
}

void ExcelExportTest::writeText(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}
