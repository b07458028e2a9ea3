#include "DataTestSupport.h"

#include "data/AppError.h"
#include "data/DisplayFormat.h"
#include "data/QueryStore.h"

#include <QCollator>
#include <QSignalSpy>
#include <algorithm>
#include <array>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <numeric>
#include <random>

using ::testing::HasSubstr;

namespace {

class QueryTestBase : public ::testing::Test {
  protected:
    explicit QueryTestBase(TestEngine engine) : db(engine) {}
    TempDatabase db;
    Query query{"Qry_Cust", db.connection.get()};

    void openCustomers(const QString& sql = "Select  * from Custom") {
        query.setCommand({sql, {}});
        query.open();
    }
    QStringList column(const QString& field) {
        QStringList out;
        const int f = query.fieldByName(field);
        for (int r = 0; r < query.recordCount(); ++r)
            out << query.displayText(r, f);
        return out;
    }
    QString currentCompany() { return query.asString("Company"); }
};

// Tests whose tables are made with the embedded engine's own column types.
class QueryTest : public QueryTestBase {
  protected:
    QueryTest() : QueryTestBase(TestEngine::Sqlite) {}
};

class QueryOnEngines : public QueryTestBase, public ::testing::WithParamInterface<TestEngine> {
  protected:
    QueryOnEngines() : QueryTestBase(GetParam()) {}
};
RUN_ON_EVERY_ENGINE(QueryOnEngines);

TEST_P(QueryOnEngines, ReadsTheWholeResultAndWalksIt) {
    for (const char* name : {"甲", "乙", "丙"})
        db.addCustomer(QString::fromUtf8(name));
    openCustomers();
    EXPECT_TRUE(query.isActive());
    EXPECT_EQ(query.recordCount(), 3);
    EXPECT_EQ(query.recNo(), 0);
    EXPECT_TRUE(query.bof());
    EXPECT_FALSE(query.eof());
    QStringList walked;
    for (query.first(); !query.eof(); query.next())
        walked << currentCompany();
    EXPECT_EQ(walked, QStringList({"甲", "乙", "丙"}));
    EXPECT_EQ(query.recNo(), 2);
    query.prior();
    EXPECT_EQ(currentCompany(), "乙");
    query.last();
    EXPECT_TRUE(query.eof());
    query.setRecNo(99);
    EXPECT_EQ(query.recNo(), 2);

    query.close();
    EXPECT_FALSE(query.isActive());
    EXPECT_EQ(query.recordCount(), 0);
    EXPECT_TRUE(query.bof() && query.eof());
}

TEST_P(QueryOnEngines, AnEmptyResultHasNoCurrentRowAndReadsAsNull) {
    openCustomers();
    EXPECT_TRUE(query.isEmpty());
    EXPECT_EQ(query.recNo(), -1);
    EXPECT_TRUE(query.bof() && query.eof());
    EXPECT_EQ(query.asString("Company"), "");
    EXPECT_EQ(query.asInteger("CustCode"), 0);
    EXPECT_THROW(query.edit({{"Company", "x"}}), AppError);
}

TEST_P(QueryOnEngines, FieldsByNameKindsLabelsAndTheMissingFieldText) {
    openCustomers("select * from custom");
    EXPECT_EQ(query.fieldCount(), 9);
    EXPECT_EQ(query.findField("COMPANY"), 1);
    EXPECT_EQ(query.field(0).kind, FieldKind::AutoInc);
    EXPECT_EQ(query.field(1).kind, FieldKind::Text);
    EXPECT_EQ(query.field(1).size, 100);
    EXPECT_EQ(query.field(5).kind, FieldKind::Memo);
    EXPECT_EQ(query.field(6).kind, FieldKind::DateTime);
    EXPECT_EQ(errorOf([&] { query.fieldByName("Nothing"); }),
              "Qry_Cust: Field 'Nothing' not found");

    query.setDisplayLabel(1, "客户名称");
    EXPECT_EQ(query.field(1).displayLabel, "客户名称");
    query.close();
    query.open();
    EXPECT_EQ(query.field(1).displayLabel, "") << "labels last until the query is closed";
}

TEST_F(QueryTest, CellsReadAsTypedValuesAndDisplayTexts) {
    db.connection->execute({"create table mix (id INTEGER PRIMARY KEY, n INTEGER, f FLOAT, "
                            "b BOOLEAN, d DATETIME, t VARCHAR(10), m MEMO)",
                            {}});
    const QString memo = QString("第一行\r\n第二行").repeated(50);
    db.connection->execute({"insert into mix values (1, 42, 1.5, 1, '2024-03-05 00:00:00', "
                            "'x', ?), (2, NULL, 1e20, 0, '2024-03-05 14:07:09', NULL, NULL)",
                            {memo}});
    openCustomers("select * from mix order by id");
    EXPECT_EQ(query.value(0, 1), QVariant(qint64(42)));
    EXPECT_EQ(query.value(0, 2), QVariant(1.5));
    EXPECT_EQ(query.value(0, 3), QVariant(true));
    EXPECT_EQ(query.value(0, 4), QVariant(QDateTime(QDate(2024, 3, 5), QTime(0, 0))));
    EXPECT_FALSE(query.value(1, 1).isValid());
    EXPECT_TRUE(query.isNull(1, 5));

    EXPECT_EQ(query.displayText(0, 1), "42");
    EXPECT_EQ(query.displayText(0, 2), "1.5");
    EXPECT_EQ(query.displayText(1, 2), "1E20");
    EXPECT_EQ(query.displayText(0, 3), "True");
    EXPECT_EQ(query.displayText(1, 3), "False");
    EXPECT_EQ(query.displayText(0, 4), formatDate(QDate(2024, 3, 5))) << "midnight shows no time";
    EXPECT_EQ(query.displayText(1, 4),
              formatDate(QDate(2024, 3, 5)) + " " +
                  QLocale::system().toString(QTime(14, 7, 9), longTimeFormat()));
    EXPECT_EQ(query.displayText(0, 6), memo);
    EXPECT_EQ(query.displayText(1, 5), "");

    EXPECT_EQ(query.asInteger("n"), 42);
    EXPECT_EQ(query.asDateTime("d"), QDateTime(QDate(2024, 3, 5), QTime(0, 0)));
    query.next();
    EXPECT_EQ(query.asInteger("n"), 0);
    EXPECT_EQ(query.asString("t"), "");
    EXPECT_FALSE(query.asDateTime("t").isValid());
    EXPECT_EQ(query.asInteger("m"), 0);
    query.first();
    EXPECT_THROW(query.asInteger("m"), AppError) << "a text that is no number";
}

// Rows are kept in blocks of a few thousand and texts with their length in front: cells on
// either side of a block's edge, and texts whose length takes one, two and three bytes, read
// back as written, also after rows are added and changed once the result is open.
TEST_P(QueryOnEngines, ABigResultKeepsEveryCellAcrossItsBlocks) {
    db.connection->execute({"with recursive n(i) as (select 1 union all select i + 1 from n "
                            "where i < 9000) insert into Custom (CustCode, Company, tel) "
                            "select i, 'c' || i, case when i % 3 = 0 then null else '' end "
                            "from n",
                            {}});
    const QString medium = QString("中").repeated(100);
    const QString large = QString("x").repeated(20000);
    db.connection->execute(
        {"update Custom set memo2 = ? where CustCode in (4096, 4097)", {medium}});
    db.connection->execute({"update Custom set memo2 = ? where CustCode = 8193", {large}});
    openCustomers("Select  * from Custom order by CustCode");
    ASSERT_EQ(query.recordCount(), 9000);
    const int company = query.fieldByName("Company"), tel = query.fieldByName("tel"),
              memo = query.fieldByName("memo2");
    for (int r : {0, 4094, 4095, 4096, 8191, 8192, 8999}) {
        EXPECT_EQ(query.displayText(r, company), QString("c%1").arg(r + 1));
        EXPECT_EQ(query.isNull(r, tel), (r + 1) % 3 == 0) << r;
    }
    EXPECT_EQ(query.displayText(4095, memo), medium);
    EXPECT_EQ(query.displayText(4096, memo), medium);
    EXPECT_EQ(query.displayText(8192, memo), large);
    EXPECT_TRUE(query.isNull(8191, memo));

    query.append({{"Company", "新"}});
    query.setRecNo(8192);
    query.edit({{"tel", "改"}});
    EXPECT_EQ(query.recordCount(), 9001);
    EXPECT_EQ(query.displayText(9000, company), "新");
    EXPECT_EQ(query.displayText(8192, tel), "改");
    EXPECT_EQ(query.displayText(8192, memo), large);
    EXPECT_EQ(query.displayText(8999, company), "c9000");
}

// A result read in parts (streamed over a network) is the whole result once its last part is in,
// first part small; parts that come after a sort are sorted in, and views hear of each part.
TEST_P(QueryOnEngines, AResultInPartsEndsAsTheWholeResultSortedAsItCame) {
    db.connection->execute({"with recursive n(i) as (select 1 union all select i + 1 from n "
                            "where i < 3000) insert into Custom (CustCode, Company, tel) "
                            "select i, 'c' || (i * 7919 % 3000), case when i % 5 = 0 then null "
                            "else 't' || i end from n",
                            {}});
    const SqlCommand all{"Select  * from Custom", {}};
    std::vector<size_t> sizes;
    bool ended = false;
    QSignalSpy appended(&query, &Query::rowsAppended);
    QueryStore::readInParts(*db.connection, all, [&](std::unique_ptr<QueryStore> part, bool last) {
        ASSERT_FALSE(ended) << "a part after the last";
        ended = last;
        sizes.push_back(part->storedRows());
        if (sizes.size() == 1) {
            query.adopt(all, std::move(part));
            query.setSort("Company desc"); // the operator sorts while the rest is on its way
        } else {
            query.appendPart(std::move(part));
        }
    });
    ASSERT_TRUE(ended);
    ASSERT_GE(sizes.size(), 2u);
    EXPECT_LE(sizes.front(), 1000u);
    EXPECT_EQ(appended.size(), qsizetype(std::count_if(sizes.begin() + 1, sizes.end(),
                                                       [](size_t n) { return n > 0; })));

    Query whole("whole", db.connection.get());
    whole.setCommand(all);
    whole.open();
    whole.setSort("Company desc");
    ASSERT_EQ(query.recordCount(), 3000);
    const int company = query.fieldByName("Company"), tel = query.fieldByName("tel"),
              code = query.fieldByName("CustCode");
    for (int r = 0; r < 3000; ++r) {
        ASSERT_EQ(query.displayText(r, company), whole.displayText(r, company)) << r;
        ASSERT_EQ(query.displayText(r, code), whole.displayText(r, code)) << r;
        ASSERT_EQ(query.isNull(r, tel), whole.isNull(r, tel)) << r;
    }
}

// Rows moved in from another result land after the rows there, across a block's edge, and
// keep their texts once that result is gone; a result of other columns is refused.
TEST_F(QueryTest, RowsMovedFromAnotherResultKeepTheirCellsOnceItIsGone) {
    db.connection->execute({"with recursive n(i) as (select 1 union all select i + 1 from n "
                            "where i < 6000) insert into Custom (CustCode, Company, memo2) "
                            "select i, 'c' || i, replace(hex(zeroblob(i % 200)), '00', '中') "
                            "from n",
                            {}});
    auto rows =
        QueryStore::read(*db.connection, {"select * from Custom where CustCode < 4096", {}});
    std::vector<uint32_t> odd;
    {
        auto more =
            QueryStore::read(*db.connection, {"select * from Custom where CustCode >= 4096", {}});
        for (uint32_t row = 1; row < more->storedRows(); row += 2)
            odd.push_back(row);
        rows->appendRows(std::move(*more), odd);
    }
    ASSERT_EQ(rows->order.size(), 4095 + odd.size());
    for (size_t at = 4090; at < rows->order.size(); ++at) {
        const uint32_t row = rows->order[at];
        const qint64 code = at < 4095 ? qint64(at) + 1 : 4097 + 2 * qint64(at - 4095);
        EXPECT_EQ(rows->integer(row, 0), code);
        EXPECT_EQ(rows->text(row, 1), "c" + std::to_string(code));
        EXPECT_EQ(QString::fromUtf8(rows->text(row, 5)), QString("中").repeated(code % 200));
        EXPECT_EQ(rows->position(row), int(at));
    }
    auto codes = QueryStore::read(*db.connection, {"select CustCode from Custom", {}});
    EXPECT_THROW(rows->appendRows(std::move(*codes), {0}), AppError);
}

TEST_P(QueryOnEngines, SignalsTellViewsWhatChanged) {
    db.addCustomer("甲");
    QSignalSpy reset(&query, &Query::reset);
    QSignalSpy current(&query, &Query::currentChanged);
    openCustomers();
    EXPECT_EQ(reset.count(), 1);
    EXPECT_EQ(current.takeLast().at(0).toInt(), 0);
    QSignalSpy inserted(&query, &Query::rowInserted);
    query.append({{"Company", "乙"}});
    EXPECT_EQ(inserted.takeFirst().at(0).toInt(), 1);
    EXPECT_EQ(current.takeLast().at(0).toInt(), 1);
    QSignalSpy changed(&query, &Query::rowChanged);
    query.edit({{"tel", "123"}});
    EXPECT_EQ(changed.takeFirst().at(0).toInt(), 1);
    QSignalSpy removed(&query, &Query::rowRemoved);
    query.remove();
    EXPECT_EQ(removed.takeFirst().at(0).toInt(), 1);
    EXPECT_EQ(current.takeLast().at(0).toInt(), 0);
}

// ---- sorting ------------------------------------------------------------------------------

TEST_P(QueryOnEngines, SortsTextsInPinyinOrderNullFirstAndStable) {
    const QList<std::pair<QString, QString>> rows = {{"上海", "2"}, {"北京", "1"}, {"深圳", "1"},
                                                     {"", "3"},     {"广州", "2"}, {"北京", "2"}};
    for (const auto& [company, tel] : rows)
        db.addCustomer(company, tel);
    db.connection->execute({"insert into Custom (Company, tel) values (NULL, '4')", {}});
    openCustomers();
    query.setRecNo(2); // 深圳
    query.setSort("Company");
    EXPECT_EQ(column("Company"), QStringList({"", "", "北京", "北京", "广州", "上海", "深圳"}));
    EXPECT_EQ(column("tel"), QStringList({"3", "4", "1", "2", "2", "2", "1"}))
        << "equal keys keep the database order";
    EXPECT_EQ(currentCompany(), "深圳") << "the current row stays current";
    EXPECT_EQ(query.sort(), "Company");

    query.setSort("  tel DESC , Company");
    EXPECT_EQ(column("Company"), QStringList({"", "", "北京", "广州", "上海", "北京", "深圳"}));
    EXPECT_EQ(currentCompany(), "深圳");

    query.setSort("");
    EXPECT_EQ(column("Company"), QStringList({"上海", "北京", "深圳", "", "广州", "北京", ""}));
}

TEST_P(QueryOnEngines, SortsNumbersAndDatesByValue) {
    db.addCustomer("a", "", "2024-10-01 09:00:00");
    db.addCustomer("b", "", "2024-9-30 23:00:00");
    db.addCustomer("c", "", QVariant());
    db.addCustomer("d", "", "2024-10-01 08:59:59");
    openCustomers();
    query.setSort("AddDate");
    EXPECT_EQ(column("Company"), QStringList({"c", "b", "d", "a"}));
    query.setSort("CustCode desc");
    EXPECT_EQ(column("Company"), QStringList({"d", "c", "b", "a"}));
}

TEST_P(QueryOnEngines, ABadSortTextChangesNothing) {
    db.addCustomer("乙");
    db.addCustomer("甲");
    openCustomers();
    query.setSort("Company");
    const QStringList sorted = column("Company");
    EXPECT_EQ(errorOf([&] { query.setSort("Company DOWN"); }).find("排序"), 0u);
    EXPECT_EQ(errorOf([&] { query.setSort("Company,"); }).find("排序"), 0u);
    EXPECT_EQ(errorOf([&] { query.setSort("Nothing"); }), "Qry_Cust: Field 'Nothing' not found");
    EXPECT_EQ(column("Company"), sorted);
    EXPECT_EQ(query.sort(), "Company");
}

// One stored value as a sort should see it: empty, then numbers, texts, bytes.
struct MixedCell {
    QVariant stored;
    int rank() const {
        switch (stored.typeId()) {
        case QMetaType::LongLong:
        case QMetaType::Double:
            return 1;
        case QMetaType::QString:
            return stored.toString().isEmpty() ? 0 : 2;
        case QMetaType::QByteArray:
            return 3;
        default:
            return 0;
        }
    }
};

int compareMixed(const MixedCell& a, const MixedCell& b, const QCollator& collator) {
    auto sign = [](auto x, auto y) { return x < y ? -1 : y < x ? 1 : 0; };
    if (a.rank() != b.rank())
        return sign(a.rank(), b.rank());
    switch (a.rank()) {
    case 1:
        if (a.stored.typeId() == QMetaType::LongLong && b.stored.typeId() == QMetaType::LongLong)
            return sign(a.stored.toLongLong(), b.stored.toLongLong());
        return sign(a.stored.toDouble(), b.stored.toDouble());
    case 2:
        return sign(collator.compare(a.stored.toString(), b.stored.toString()), 0);
    case 3:
        return sign(a.stored.toByteArray(), b.stored.toByteArray());
    default:
        return 0;
    }
}

// Random columns holding every kind of value, with many ties, sorted by one and two keys each
// way, against a plain stable sort of the values as they were stored.
TEST_F(QueryTest, SortAgreesWithAPlainStableSortOfTheStoredValues) {
    const QVariantList pool = {QVariant(),
                               QString(),
                               qint64(-3),
                               qint64(7),
                               qint64(9007199254740993), // apart from its neighbour only exactly
                               qint64(9007199254740992),
                               2.5,
                               -0.25,
                               QString("北京"),
                               QString("beijing"),
                               QString("Beijing"),
                               QString("广州"),
                               QString("abc"),
                               QString("ABD"),
                               QString("上海路1号"),
                               QString("10"),
                               QByteArray("\x01z"),
                               QByteArray("\xff")};
    db.connection->execute({"create table Mix (id integer primary key, a, b)", {}});
    std::mt19937 random(20241001);
    std::uniform_int_distribution<qsizetype> pick(0, pool.size() - 1);
    std::vector<std::array<MixedCell, 2>> rows(300);
    for (auto& row : rows) {
        row = {MixedCell{pool[pick(random)]}, MixedCell{pool[pick(random)]}};
        db.connection->execute(
            {"insert into Mix (a, b) values (?, ?)", {row[0].stored, row[1].stored}});
    }
    openCustomers("select * from Mix");
    QCollator collator(QLocale(QLocale::Chinese, QLocale::China));
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    const QList<std::pair<QString, QList<std::pair<int, bool>>>> sorts = {
        {"a", {{0, false}}},
        {"b DESC", {{1, true}}},
        {"a DESC, b", {{0, true}, {1, false}}},
        {"b, a DESC", {{1, false}, {0, true}}}};
    for (const auto& [text, keys] : sorts) {
        std::vector<int> expected(rows.size());
        std::iota(expected.begin(), expected.end(), 1);
        std::stable_sort(expected.begin(), expected.end(), [&](int x, int y) {
            for (const auto& [column, descending] : keys)
                if (const int c = compareMixed(rows[size_t(x - 1)][size_t(column)],
                                               rows[size_t(y - 1)][size_t(column)], collator))
                    return descending ? c > 0 : c < 0;
            return false;
        });
        query.setSort(text);
        QStringList expectedIds;
        for (int id : expected)
            expectedIds << QString::number(id);
        EXPECT_EQ(column("id"), expectedIds) << text.toStdString();
    }
}

// ---- changes ------------------------------------------------------------------------------

TEST_P(QueryOnEngines, AppendEditAndRemoveReachTheDatabaseAtOnce) {
    openCustomers();
    const QDateTime added(QDate(2024, 5, 6), QTime(7, 8, 9));
    query.append({{"company", "O'Brien 贸易"}, {"TEL", "010-1234"}, {"AddDate", added}});
    EXPECT_EQ(query.recordCount(), 1);
    const qint64 code = query.asInteger("CustCode");
    EXPECT_GT(code, 0) << "the auto-number comes back into the row";
    EXPECT_EQ(query.asDateTime("AddDate"), added);
    EXPECT_EQ(db.scalar("select AddDate from Custom where CustCode=?", {code}).toString(),
              "2024-05-06 07:08:09");

    query.append({{"Company", "第二"}});
    EXPECT_GT(query.asInteger("CustCode"), code);
    EXPECT_EQ(query.recNo(), 1);

    query.first();
    query.edit({{"memo2", "多行\n说明"}, {"tel", QVariant()}});
    auto other = db.secondConnection();
    Query seen("seen", other.get());
    seen.setCommand({"select * from Custom where CustCode=?", {code}});
    seen.open();
    EXPECT_EQ(seen.asString("memo2"), "多行\n说明");
    EXPECT_TRUE(seen.isNull(0, seen.fieldByName("tel")));

    query.remove();
    EXPECT_EQ(query.recordCount(), 1);
    EXPECT_EQ(currentCompany(), "第二");
    EXPECT_EQ(db.count("CustCode=?", {code}), 0);

    EXPECT_THROW(query.edit({{"CustCode", 5}}), AppError) << "the auto-number is the database's";
    EXPECT_THROW(query.edit({{"Nothing", 5}}), AppError);
    EXPECT_THROW(query.edit({{"AddDate", "not a date"}}), AppError);
    EXPECT_EQ(currentCompany(), "第二");
}

TEST_P(QueryOnEngines, AChangeByAnotherCopyIsNeverOverwritten) {
    db.addCustomer("Acme", "1");
    auto otherConnection = db.secondConnection();
    Query other("Qry_Cust", otherConnection.get());
    other.setCommand({"Select  * from Custom", {}});
    openCustomers();
    other.open();

    other.edit({{"tel", "2"}});
    EXPECT_EQ(errorOf([&] {
                  query.edit({{"tel", "3"}});
              }),
              "该记录已被其他用户修改或删除，未能保存。");
    EXPECT_EQ(db.count("tel='2'"), 1) << "the other copy's change stays";
    EXPECT_EQ(query.asString("tel"), "2") << "the row now shows what the database has";
    query.edit({{"tel", "3"}});
    EXPECT_EQ(db.count("tel='3'"), 1) << "a fresh row saves";

    other.open();
    query.edit({{"Company", "ACME"}}); // a change of letter case only is still a change
    EXPECT_THAT(errorOf([&] { other.edit({{"tel", "4"}}); }), HasSubstr("其他用户"));
    EXPECT_EQ(other.asString("Company"), "ACME");
    EXPECT_EQ(db.count("tel='3'"), 1);
}

TEST_P(QueryOnEngines, ARowDeletedByAnotherCopyLeavesTheQuery) {
    db.addCustomer("甲");
    db.addCustomer("乙");
    auto otherConnection = db.secondConnection();
    Query other("other", otherConnection.get());
    other.setCommand({"Select  * from Custom", {}});
    openCustomers();
    other.open();
    other.remove();

    QSignalSpy removed(&query, &Query::rowRemoved);
    EXPECT_EQ(errorOf([&] {
                  query.edit({{"tel", "9"}});
              }),
              "该记录已被其他用户修改或删除，未能保存。");
    EXPECT_EQ(removed.count(), 1);
    EXPECT_EQ(query.recordCount(), 1);
    EXPECT_EQ(currentCompany(), "乙");

    query.edit({{"tel", "5"}});
    EXPECT_THAT(errorOf([&] { other.remove(); }), HasSubstr("其他用户"));
    EXPECT_EQ(db.count("1=1"), 1) << "the changed row was not deleted";
    EXPECT_EQ(other.asString("tel"), "5");
}

TEST_P(QueryOnEngines, OnlyARowOfOneTableWithAnAutoNumberCanBeChanged) {
    db.addCustomer("甲");
    openCustomers("select Company, tel from Custom");
    EXPECT_THAT(errorOf([&] { query.edit({{"tel", "1"}}); }), HasSubstr("主键"));
    openCustomers("select c.*, 1 + 1 as two from Custom c");
    EXPECT_THAT(errorOf([&] { query.append({}); }), HasSubstr("不能修改"));
    EXPECT_EQ(db.count("1=1"), 1);
}

TEST_P(QueryOnEngines, AFailedOpenLeavesTheQueryClosed) {
    openCustomers();
    query.setCommand({"select * from Nowhere", {}});
    EXPECT_THROW(query.open(), AppError);
    EXPECT_FALSE(query.isActive());
    EXPECT_EQ(query.recordCount(), 0);
    Query unconnected("Qry_Temp");
    EXPECT_THROW(unconnected.open(), AppError);
}

} // namespace
