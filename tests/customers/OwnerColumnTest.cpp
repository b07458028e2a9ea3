#include "CustomerTestSupport.h"

#include "data/Migrations.h"
#include "grid/DataGrid.h"
#include "grid/ExcelExport.h"
#include "operators/OperatorStore.h"
#include "output/CustomerImport.h"
#include "output/ImportFile.h"
#include "output/ImportMapping.h"
#include "tests/data/DataTestSupport.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QTemporaryDir>

namespace {

class OwnerColumn : public CustomerFixture, public ::testing::WithParamInterface<TestEngine> {
  protected:
    OwnerColumn() : CustomerFixture(GetParam()) {}

    Connection& db() { return *data->ADOConnection1; }
    QVariant scalar(const QString& sql, const QVariantList& params = {}) {
        auto rows = db().query({sql, params});
        if (!rows->next() || rows->type(0) == CellType::Null)
            return {};
        const std::string_view text = rows->text(0);
        return QString::fromUtf8(text.data(), qsizetype(text.size()));
    }
    int ownerColumn() {
        for (int i = 0; i < list->Grid_Cust->columnCount(); ++i)
            if (list->Grid_Cust->column(i).fieldName.compare("Owner", Qt::CaseInsensitive) == 0)
                return i;
        return -1;
    }
    // Company → the owner's text in the list, as the grid shows it.
    QMap<QString, QString> shownOwners() {
        QMap<QString, QString> shown;
        const QAbstractItemModel* model = list->Grid_Cust->view()->model();
        const int company = data->Qry_Cust.fieldByName("Company");
        for (int row = 0; row < model->rowCount(); ++row)
            shown[data->Qry_Cust.displayText(row, company)] =
                model->index(row, ownerColumn()).data().toString();
        return shown;
    }
    // Company → the 负责人 cell of a file the list exported, read back as an import reads it.
    QMap<QString, QString> exportedOwners(ExportFormat format, const QString& path) {
        EXPECT_TRUE(writeGridFile(format, data->Qry_Cust, *list->Grid_Cust, path, nullptr));
        ImportFile file = openImportFile(path);
        const qsizetype name = file.titles.indexOf("客户名称"),
                        owner = file.titles.indexOf("负责人");
        EXPECT_GE(owner, 0) << file.titles.join(',').toStdString();
        QMap<QString, QString> read;
        QVariantList cells;
        while (file.rows->next(cells))
            if (cells.value(name).toString() != "总计")
                read[cells.value(name).toString()] = importedText(cells.value(owner));
        return read;
    }
};

// The owner column is a hidden layout row, migrated into older databases; shown, it names
// owners in the list, its sort, its search and every export, and an import reads the names back.
TEST_P(OwnerColumn, ShowsOwnersByNameAndImportsThemBack) {
    // An older database: the step adds the row hidden, beside a shop's own 负责人 field too.
    for (const char* taken : {"", "负责人"}) {
        db().execute({"delete from T_FieldShow where Field='Owner' or Field='Boss'", {}});
        if (*taken)
            db().execute({"insert into T_FieldShow (TableName, Name, Field, show, ShowID) "
                          "values ('Custom', ?, 'Boss', 0, 20)",
                          {QString::fromUtf8(taken)}});
        db().execute({"update T_SchemaVersion set Version=15", {}});
        migrate(db());
        EXPECT_EQ(scalar("select Name from T_FieldShow where Field='Owner'").toString(),
                  *taken ? "负责人（操作员）" : "负责人");
        EXPECT_EQ(scalar("select show from T_FieldShow where Field='Owner'").toInt(), 0);
        EXPECT_EQ(scalar("select ShowID from T_FieldShow where Field='Owner'").toInt(),
                  *taken ? 21 : 8);
    }
    db().execute({"delete from T_FieldShow where Field='Boss'", {}});
    db().execute({"update T_FieldShow set Name='负责人', show=1 where Field='Owner'", {}});

    OperatorStore store(db());
    const qint64 field = store.roleIdByName("业务员");
    const qint64 wang = store.add("小王", field, "", false);
    const qint64 zhang = store.add("老张", field, "", false);
    store.add("Bob", field, "", false);
    store.setEnabled(zhang, false); // a disabled owner still shows by name
    // Keys in the opposite order of the names, so a sort by key is caught.
    db().execute({"update Custom set Owner=? where Company='Acme 公司'", {wang}});
    db().execute({"update Custom set Owner=? where Company='[x] trade'", {zhang}});
    db().execute({"insert into Custom (Company, Owner) values ('失主', 999)", {}});

    openList();
    const QMap<QString, QString> owners{
        {"Acme 公司", "小王"}, {"北京 100%", ""}, {"[x] trade", "老张"}, {"失主", "999"}};
    ASSERT_GE(ownerColumn(), 0);
    EXPECT_EQ(shownOwners(), owners);

    data->Qry_Cust.setSort("Owner");
    QStringList order;
    for (int row = 0; row < data->Qry_Cust.recordCount(); ++row)
        order << data->Qry_Cust.displayText(row, data->Qry_Cust.fieldByName("Company"));
    EXPECT_EQ(order, (QStringList{"北京 100%", "失主", "[x] trade", "Acme 公司"}));

    QTemporaryDir dir;
    for (const auto& [format, name] :
         {std::pair{ExportFormat::Csv, "o.csv"}, std::pair{ExportFormat::Xlsx, "o.xlsx"}}) {
        SCOPED_TRACE(name);
        EXPECT_EQ(exportedOwners(format, dir.filePath(name)), owners);
    }
    ASSERT_TRUE(writeGridFile(ExportFormat::Xls, data->Qry_Cust, *list->Grid_Cust,
                              dir.filePath("o.xls"), nullptr));
    QFile xls(dir.filePath("o.xls"));
    ASSERT_TRUE(xls.open(QIODevice::ReadOnly));
    const QByteArray sheet = xls.readAll();
    EXPECT_TRUE(sheet.contains(QByteArray::fromHex("c0cfd5c5"))) << "老张 as the sheet's GBK";

    list->Combo_Type->setCurrentIndex(list->Combo_Type->findText("负责人"));
    list->Edit_Key->setText("王");
    list->Btn_S_Cust->click();
    waitForSearch(*list);
    EXPECT_EQ(shownOwners(), (QMap<QString, QString>{{"Acme 公司", "小王"}}));

    // The file's 负责人 column names operators; an empty cell leaves the customer in the pool.
    const struct {
        const char *company, *owner, *bad;
        QVariant key;
    } rows[] = {
        {"新甲", "小王", nullptr, wang},
        {"新乙", " bob ", nullptr, store.find("Bob")->key},
        {"新丙", "", nullptr, {}},
        {"新丁", "老张", "“负责人”“老张”已停用", {}},
        {"新戊", "无名氏", "“负责人”“无名氏”不是本店的操作员", {}},
    };
    QString csv = "客户名称,负责人\r\n";
    for (const auto& r : rows)
        csv += QString::fromUtf8(r.company) + "," + QString::fromUtf8(r.owner) + "\r\n";
    QFile in(dir.filePath("in.csv"));
    ASSERT_TRUE(in.open(QIODevice::WriteOnly));
    in.write(csv.toUtf8());
    in.close();
    ImportFile file = openImportFile(in.fileName());
    const QStringList mapping = matchTitles(file.titles, importFields(db()));
    ASSERT_EQ(mapping, (QStringList{"Company", "Owner"}));
    ImportSettings settings;
    settings.onBadRows = OnBadRows::SkipThem;
    const ImportReport report = importCustomers(db(), *file.rows, mapping, settings);
    EXPECT_EQ(report.added, 3);
    QStringList bad;
    for (const BadRow& b : report.bad)
        bad << b.reason;
    QStringList expectedBad;
    for (const auto& r : rows) {
        SCOPED_TRACE(r.company);
        if (r.bad)
            expectedBad << QString::fromUtf8(r.bad);
        else
            EXPECT_EQ(scalar("select Owner from Custom where Company=?", {r.company}).toLongLong(),
                      r.key.toLongLong());
    }
    EXPECT_EQ(bad, expectedBad);
    EXPECT_EQ(scalar("select count(*) from Custom where Company='新丙' and Owner is null").toInt(),
              1);
}

RUN_ON_EVERY_ENGINE(OwnerColumn);

} // namespace
