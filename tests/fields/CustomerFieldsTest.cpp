#include "fields/CustomerFields.h"
#include "data/Migrations.h"
#include "data/Query.h"
#include "data/Statements.h"
#include "output/CustomerImport.h"
#include "output/ImportFile.h"
#include "output/ImportMapping.h"
#include "tests/data/DataTestSupport.h"

#include <QFile>
#include <QTemporaryDir>

namespace {

// One field of each type: three customers' typed values (the first two get values, the
// third stays empty), the texts they read back as, what a search for searchKey finds, and the
// order an ascending sort gives them (the list's order: Chinese texts before Latin ones).
struct FieldCase {
    const char* name;
    FieldDefinition field;
    QStringList typed;    // for 甲, 乙
    QStringList readBack; // as the editor shows them
    QString searchKey;
    int searchHits;
    QStringList sorted; // companies, ascending by the field, the empty third first
    QString badText;    // typed text the field refuses; empty when every text is fine
    qint64 withValue;   // customers counted before removal
};

FieldDefinition def(const QString& title, FieldType type, int length = 50, int decimals = 0,
                    QStringList choices = {}) {
    FieldDefinition f;
    f.title = title;
    f.type = type;
    f.length = length;
    f.decimals = decimals;
    f.choices = choices;
    return f;
}

const FieldCase kCases[] = {
    {"Text",
     def("联系人", FieldType::Text, 6),
     {"王五", "Li Si"},
     {"王五", "Li Si"},
     "li",
     1,
     {"丙", "甲", "乙"},
     "张三李四王五赵",
     2},
    {"Memo",
     def("地址", FieldType::MultiText),
     {"北京\n海淀", "上海"},
     {"北京\n海淀", "上海"},
     "海淀",
     1,
     {"丙", "甲", "乙"},
     "",
     2},
    {"Number",
     def("年采购额", FieldType::Number, 0, 2),
     {"1,200.5", "99"},
     {"1200.50", "99.00"},
     "",
     0,
     {"丙", "乙", "甲"},
     "12a",
     2},
    {"Date",
     def("签约日期", FieldType::Date),
     {"2026/3/9", "2025-12-31"},
     {"2026-03-09", "2025-12-31"},
     "",
     0,
     {"丙", "乙", "甲"},
     "2026-13-01",
     2},
    {"YesNo",
     def("重点客户", FieldType::YesNo),
     {"是", "否"},
     {"是", "否"},
     "",
     0,
     {"乙", "丙", "甲"},
     "也许",
     1},
    {"Choice",
     def("客户类型", FieldType::Choice, 0, 0, {"经销商", "终端", "Potential"}),
     {"终端", "potential"},
     {"终端", "Potential"},
     "端",
     1,
     {"丙", "甲", "乙"},
     "代理",
     2},
};

QStringList companiesInOrder(Query& query) {
    QStringList names;
    for (query.first(); !query.eof(); query.next())
        names << query.asString("Company");
    return names;
}

class CustomerFieldsTest : public EngineTest {
  protected:
    // The index that serves the list's filter by the column: 1 when it is there.
    qint64 valueIndexes(const QString& column) const {
        return db.engine == TestEngine::Postgres
                   ? db.scalar("select count(*) from pg_indexes where indexname=?",
                               {"Custom_" + column + "_fold"})
                         .toLongLong()
                   : db.scalar("select count(*) from sqlite_master where type='index' and name=?",
                               {"Custom_" + column})
                         .toLongLong();
    }
};

TEST_P(CustomerFieldsTest, EveryTypeIsAddedUsedRenamedAndRemoved) {
    Connection& c = *db.connection;
    const QStringList before = c.columnsOf("Custom");
    migrate(c);
    ASSERT_TRUE(CustomerFields::all(c).isEmpty());
    EXPECT_EQ(c.columnsOf("Custom"), before); // an old database gains no column by opening
    for (const char* company : {"甲", "乙", "丙"})
        db.addCustomer(company);

    for (const FieldCase& k : kCases) {
        SCOPED_TRACE(k.name);
        const FieldDefinition field = CustomerFields::add(c, k.field);
        EXPECT_TRUE(c.columnsOf("Custom").contains(field.column, Qt::CaseInsensitive));
        EXPECT_EQ(db.scalar("select Name from T_FieldShow where Field=?", {field.column}),
                  field.title);
        EXPECT_EQ(CustomerFields::all(c).last().choices, k.field.choices);
        // A second field of the same title is refused.
        EXPECT_NE(
            errorOf([&] { CustomerFields::add(c, k.field); }).find(k.field.title.toStdString()),
            std::string::npos);

        for (int i = 0; i < 2; ++i)
            c.execute({"update Custom set " + field.column + "=? where Company=?",
                       {CustomerFields::valueOf(field, k.typed[i]), QString(i ? "乙" : "甲")}});
        if (!k.badText.isEmpty()) {
            EXPECT_NE(errorOf([&] {
                          CustomerFields::valueOf(field, k.badText);
                      }).find("“" + field.title.toStdString() + "”"),
                      std::string::npos);
        }

        Query query{"Qry_Cust", &c};
        query.setCommand(Sql::allCustomers());
        query.open();
        query.setSort("CustCode");
        const int column = query.fieldByName(field.column);
        for (int i = 0; i < 2; ++i)
            EXPECT_EQ(CustomerFields::textOf(field, query.value(i, column)), k.readBack[i]);
        query.setSort(field.column);
        EXPECT_EQ(companiesInOrder(query), k.sorted);
        if (!k.searchKey.isEmpty()) {
            query.setCommand(Sql::customerSearch(c, field.column, k.searchKey));
            query.open();
            EXPECT_EQ(query.recordCount(), k.searchHits);
        }

        if (field.type == FieldType::Choice) { // the list's filter, through the column's index
            query.setCommand(Sql::customerSearch(c, "Company", "", {{field.column, "POTENTIAL"}}));
            query.open();
            EXPECT_EQ(companiesInOrder(query), QStringList{"乙"});
        }

        CustomerFields::rename(c, field.id, QString("改") + field.title);
        EXPECT_EQ(db.scalar("select Name from T_FieldShow where Field=?", {field.column}),
                  "改" + field.title);
        EXPECT_EQ(CustomerFields::customersWithValue(c, field), k.withValue);
    }

    const QList<FieldDefinition> fields = CustomerFields::all(c);
    ASSERT_EQ(fields.size(), std::size(kCases));
    CustomerFields::reorder(c, {fields.last().id});
    EXPECT_EQ(CustomerFields::all(c).first().id, fields.last().id);
    QStringList used;
    for (const FieldDefinition& field : fields) {
        used << field.column;
        CustomerFields::remove(c, field.id);
    }
    EXPECT_TRUE(CustomerFields::all(c).isEmpty());
    // History rows and backups name a removed field's column: the next field gets a new one.
    const FieldDefinition next = CustomerFields::add(c, def("再加", FieldType::Text));
    EXPECT_FALSE(used.contains(next.column, Qt::CaseInsensitive)) << next.column.toStdString();
    CustomerFields::remove(c, next.id);
    EXPECT_EQ(c.columnsOf("Custom"), before);
    EXPECT_EQ(db.scalar("select count(*) from T_FieldShow where TableName='Custom'").toInt(), 9);
}

TEST_P(CustomerFieldsTest, AChoiceInUseStaysAndBadDefinitionsChangeNothing) {
    Connection& c = *db.connection;
    migrate(c);
    db.addCustomer("甲");
    const FieldDefinition field =
        CustomerFields::add(c, def("来源", FieldType::Choice, 0, 0, {"展会", "网络"}));
    c.execute({"update Custom set " + field.column + "=?", {QString("展会")}});
    // A choice field added before its column was indexed gets the index by the migration step.
    EXPECT_EQ(valueIndexes(field.column), 1);
    c.dropValueIndex("Custom", field.column);
    ASSERT_EQ(valueIndexes(field.column), 0);
    c.execute({"update T_SchemaVersion set Version=17", {}});
    migrate(c);
    EXPECT_EQ(valueIndexes(field.column), 1);
    EXPECT_NE(errorOf([&] { CustomerFields::setChoices(c, field.id, {"网络"}); }).find("展会"),
              std::string::npos);
    CustomerFields::setChoices(c, field.id, {"展会", "转介绍"});
    EXPECT_EQ(CustomerFields::all(c).first().choices, QStringList({"展会", "转介绍"}));

    const QStringList columns = c.columnsOf("Custom");
    for (const FieldDefinition& bad :
         {def("", FieldType::Text), def("客户名称", FieldType::Text), def("长", FieldType::Text, 0),
          def("数", FieldType::Number, 0, 9), def("选", FieldType::Choice, 0, 0, {"a", "A"})})
        EXPECT_NE(errorOf([&] { CustomerFields::add(c, bad); }), "no error");
    EXPECT_EQ(c.columnsOf("Custom"), columns);
    EXPECT_EQ(CustomerFields::all(c).size(), 1);
}

} // namespace

namespace {

// An import fills the shop's fields by their titles: a choice is taken whatever its letter
// case and stored as offered, an unknown one makes the row bad with the field named.
TEST_P(CustomerFieldsTest, AnImportFillsTheFieldsAndRefusesAnUnknownChoice) {
    Connection& c = *db.connection;
    migrate(c);
    const FieldDefinition kind =
        CustomerFields::add(c, def("客户类型", FieldType::Choice, 0, 0, {"Dealer", "终端"}));
    const FieldDefinition amount = CustomerFields::add(c, def("年采购额", FieldType::Number));
    QTemporaryDir dir;
    const QString path = dir.filePath("rows.csv");
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("客户名称,客户类型,年采购额\r\n甲,终端,12\r\n乙,DEALER,3\r\n丙,代理,1\r\n丁,,\r\n");
    file.close();
    ImportFile source = openImportFile(path);
    const QStringList mapping = matchTitles(source.titles, importFields(c));
    EXPECT_EQ(mapping, QStringList({"Company", kind.column, amount.column}));
    ImportSettings settings;
    settings.onBadRows = OnBadRows::SkipThem;
    const ImportReport report = importCustomers(c, *source.rows, mapping, settings);
    EXPECT_EQ(report.added, 3);
    ASSERT_EQ(report.bad.size(), 1);
    EXPECT_EQ(report.bad[0].line, 4);
    EXPECT_TRUE(report.bad[0].reason.contains("“客户类型”没有“代理”"))
        << report.bad[0].reason.toStdString();
    EXPECT_EQ(db.scalar("select " + kind.column + " from Custom where Company='乙'"), "Dealer");
    EXPECT_EQ(db.scalar("select " + amount.column + " from Custom where Company='甲'").toInt(), 12);
    EXPECT_EQ(CustomerFields::customersWithValue(c, kind), 2); // an empty cell is no choice
}

} // namespace

RUN_ON_EVERY_ENGINE(CustomerFieldsTest);
