#include "DataTestSupport.h"

#include "data/AppError.h"
#include "data/JetFunctions.h"
#include "data/sqlite/SqliteEngine.h"

#include <QDate>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sqlite3.h>

using ::testing::HasSubstr;

namespace {

std::string openError(const QString& path, int timeoutMs = 5000) {
    try {
        openSqliteDatabase(path, {timeoutMs});
    } catch (const AppError& e) {
        return e.text().toStdString();
    }
    return "opened";
}

std::string queryError(const TempDatabase& db, const QString& sql) {
    return errorOf([&] { db.scalar(sql); });
}

// ---- opening ------------------------------------------------------------------------------

TEST(OpenDatabase, RefusesWhatIsNoUsableDatabaseAndNeverCreatesAFile) {
    QTemporaryDir dir;
    const QString missing = dir.filePath("nowhere/Custom.db");
    EXPECT_THAT(openError(missing), HasSubstr("不存在"));
    EXPECT_FALSE(QFile::exists(missing));
    EXPECT_THAT(openError(dir.filePath("absent.db")), HasSubstr("不存在"));
    EXPECT_FALSE(QFile::exists(dir.filePath("absent.db")));

    EXPECT_THAT(openError(dir.path()), HasSubstr("文件夹"));
    EXPECT_THAT(openError(""), HasSubstr("未指定"));

    QFile text(dir.filePath("notes.db"));
    ASSERT_TRUE(text.open(QIODevice::WriteOnly));
    text.write(QByteArray("this is a text file, not a database, but long enough to look like one")
                   .repeated(20));
    text.close();
    EXPECT_THAT(openError(text.fileName()), HasSubstr("不是数据库文件"));

    QFile empty(dir.filePath("empty.db"));
    ASSERT_TRUE(empty.open(QIODevice::WriteOnly));
    empty.close();
    EXPECT_THAT(openError(empty.fileName()), HasSubstr("空的"));
    EXPECT_EQ(QFileInfo(empty.fileName()).size(), 0) << "an empty file stays untouched";

    // Sound first page, damaged pages after it: refused before WAL mode rewrites the header.
    TempProgram damaged;
    damaged.exec("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 2000) "
                 "INSERT INTO Custom (Company, memo2) SELECT 'c' || i, hex(randomblob(60)) FROM n");
    QFile file(damaged.databasePath());
    ASSERT_TRUE(file.open(QIODevice::ReadWrite));
    QByteArray bytes = file.readAll();
    for (qsizetype i = 8192; i < bytes.size(); i += 7)
        bytes[i] = char(i * 31);
    file.seek(0);
    file.write(bytes);
    file.close();
    EXPECT_NE(openError(damaged.databasePath()), "opened");
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_TRUE(file.readAll() == bytes) << "a refused file is left exactly as it was";
}

TEST(OpenDatabase, ALockedDatabaseFailsAfterTheTimeOut) {
    TempProgram program; // the fresh file is in rollback-journal mode, where a writer excludes
    sqlite3* holder = nullptr;
    ASSERT_EQ(sqlite3_open(program.databasePath().toUtf8().constData(), &holder), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(holder, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
    QElapsedTimer timer;
    timer.start();
    EXPECT_THAT(openError(program.databasePath(), 200), HasSubstr("锁定"));
    EXPECT_GE(timer.elapsed(), 150);
    EXPECT_LT(timer.elapsed(), 3000);
    sqlite3_exec(holder, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(holder);
    EXPECT_NO_THROW(openDatabase(program.databasePath()));
}

TEST(OpenDatabase, SharesTheFileWithOtherCopiesInWalMode) {
    TempDatabase db;
    EXPECT_EQ(db.scalar("PRAGMA journal_mode").toString(), "wal");
    auto other = db.secondConnection();
    Transaction writing(*other);
    other->execute({"insert into Custom (Company) values ('写入中')", {}});
    EXPECT_EQ(db.count("1=1"), 0) << "a reader is not blocked by a writer";
    writing.commit();
    EXPECT_EQ(db.count("1=1"), 1);
}

// ---- SQL behaviours -----------------------------------------------------------------------

class EngineSql : public EngineTest {};
RUN_ON_EVERY_ENGINE(EngineSql);

TEST_P(EngineSql, NamesAndTextComparisonsIgnoreLetterCase) {
    db.addCustomer("Acme Trading");
    db.addCustomer("北京华通");
    EXPECT_EQ(db.scalar("select count(*) from CUSTOM where COMPANY='acme TRADING'").toInt(), 1);
    EXPECT_EQ(db.scalar("select count(*) from t_fieldshow where tablename='custom'").toInt(),
              db.scalar("select count(*) from T_FieldShow where TableName='CUSTOM'").toInt());
    EXPECT_EQ(db.count("Company=?", {"北京华通"}), 1);
    EXPECT_EQ(db.count("[Company]=?", {"北京华通"}), 1) << "brackets around a column name";
}

TEST_P(EngineSql, TrueTestsYesNoColumns) {
    db.connection->execute({"insert into admin (username, IsUser) values ('guest', 0)", {}});
    EXPECT_EQ(db.scalar("select count(*) from admin where IsUser=True").toInt(), 1);
    EXPECT_EQ(db.scalar("select username from admin where IsUser=True").toString(), "Admin");
}

TEST_P(EngineSql, LikeUsesAnsiWildcardsSetsAndIgnoresCase) {
    for (const char* name : {"O'Brien Trading", "北京华通科技", "abc_def", "100%纯净水", "Zeta"})
        db.addCustomer(QString::fromUtf8(name));
    db.addCustomer(QString()); // an empty text is a value; a Null below is not
    db.connection->execute({"insert into Custom (Company) values (NULL)", {}});
    auto like = [&](const char* pattern) {
        return db.count("Company like ?", {QString::fromUtf8(pattern)});
    };
    EXPECT_EQ(like("%"), 6) << "Null never matches";
    EXPECT_EQ(db.count("Company not like ?", {"zzz"}), 6) << "nor does it fail to match";
    EXPECT_EQ(like("o'b%"), 1);
    EXPECT_EQ(like("%华通%"), 1);
    EXPECT_EQ(like("abc_def"), 1);
    EXPECT_EQ(like("abc_de_"), 1);
    EXPECT_EQ(like("100[%]%"), 1);
    EXPECT_EQ(like("[a-c]%"), 1);
    EXPECT_EQ(like("[!a-z0-9]%"), 1) << "only the Chinese first letter; the empty text has none";
    EXPECT_EQ(like("[^a-z0-9]%"), 1);
    EXPECT_EQ(like("[xyz]eta"), 1);
    EXPECT_EQ(like(""), 1);
    EXPECT_THAT(queryError(db, "select count(*) from Custom where Company like '[abc'"),
                HasSubstr("'['"));
}

TEST_P(EngineSql, LikeMatchesNumbersAndDatesByTheirText) {
    db.addCustomer("甲", "", "2024-03-05 10:30:00");
    db.addCustomer("乙", "", "2023-12-31 00:00:00");
    EXPECT_EQ(db.count("AddDate like '2024-%'"), 1);
    EXPECT_EQ(db.count("AddDate like '%10:30%'"), 1);
    EXPECT_EQ(db.count("CustCode like '1'"), 1);
    EXPECT_EQ(db.count("CustCode like '_'"), 2);
    EXPECT_EQ(db.scalar("select 2.5 like '2.5'").toInt(), 1);
    EXPECT_EQ(db.scalar("select 'a%b' like 'a!%b' escape '!'").toInt(), 1);
    EXPECT_EQ(db.scalar("select 'axb' like 'a!%b' escape '!'").toInt(), 0);
}

TEST(JetLike, Patterns) {
    struct Case {
        const char* pattern;
        const char* text;
        bool match;
    } cases[] = {
        {"%", "", true},
        {"_", "", false},
        {"_", "华", true},
        {"__", "华", false},
        {"%abc", "xxABC", true},
        {"a%c", "abcbc", true},
        {"a%c", "abcb", false},
        {"%a%b%c%", "xaybzc", true},
        {"%%x", "x", true},
        {"ÄBC", "äbc", true},
        {"[a-c]", "B", true},
        {"[A-C]", "b", true},
        {"[!a-c]", "b", false},
        {"[!a-c]", "d", true},
        {"[]]", "]", true},
        {"[a-]", "-", true},
        {"[丁-七]", "乙", false},
        {"[乙丙]x", "丙x", true},
        {"北京%", "北京大学", true},
        {"%大学", "北京大学", true},
        {"北%学", "北京大学", true},
        {"a_c", "a华c", true},
        {"%123%", "0123-9", true},
        {"123", "1234", false},
        {"%京大%", "北京大学", true},
        {"京大%", "北京大学", false},
        {"%学", "大学x", false},
        {"%“引”%", "说“引”了", true},
        {"%_%_", "a", false},
        // Overlong forms, surrogates and values past U+10FFFF are malformed bytes, one each.
        {"a\xC0\xA5", "abc", false},
        {"a\xC0\xA5", "a\xC0\xA5", true},
        {"_", "\xED\xA0\x80", false},
        {"___", "\xED\xA0\x80", true},
        {"_", "\xF4\x90\x80\x80", false},
        {"_", "\xF8\x90\x80\x80", false},
        {"_", "\xE0\xA0\x80", true},
        {"_", "\xF0\x9F\x98\x80", true},
    };
    for (const Case& c : cases)
        EXPECT_EQ(jetLike(c.pattern, c.text), c.match) << c.pattern << " / " << c.text;
    EXPECT_FALSE(jetLike("\xC0\x80", std::string_view("\0", 1)));
    EXPECT_FALSE(jetLike("\xC1\x9B", "x")) << "an overlong '[' opens no set";
    EXPECT_THROW(jetLike("ab[", "ab"), AppError);
    EXPECT_THROW(jetLike("[!", "x"), AppError);
}

TEST_P(EngineSql, DateIsTodayAndDateDiffCountsCalendarBoundaries) {
    const QString today = QDate::currentDate().toString("yyyy-MM-dd");
    EXPECT_EQ(db.scalar("select Date()").toString(), today + " 00:00:00");
    EXPECT_EQ(db.scalar("select date('2024-01-02')").toString(), "2024-01-02")
        << "the built-in date() with an argument stays";
    auto diff = [&](const char* interval, const char* from, const char* to) {
        return db.scalar("select datediff(?, ?, ?)", {interval, from, to});
    };
    EXPECT_EQ(diff("y", "2024-03-01 23:59:00", "2024-03-02 00:01:00").toInt(), 1);
    EXPECT_EQ(diff("d", "2024-03-02 00:01:00", "2024-03-02 23:59:59").toInt(), 0);
    EXPECT_EQ(diff("Y", "2024-03-02 12:00:00", "2024-02-28 08:00:00").toInt(), -3) << "leap day";
    EXPECT_EQ(diff("y", "2023-12-31", "2025-01-01").toInt(), 367);
    EXPECT_EQ(diff("yyyy", "2023-12-31", "2024-01-01").toInt(), 1);
    EXPECT_EQ(diff("m", "2024-01-31", "2024-02-01").toInt(), 1);
    EXPECT_EQ(diff("q", "2024-03-31", "2024-04-01").toInt(), 1);
    EXPECT_EQ(diff("ww", "2024-06-01", "2024-06-02").toInt(), 1) << "a Sunday starts a week";
    EXPECT_EQ(diff("w", "2024-06-01", "2024-06-07").toInt(), 0);
    EXPECT_EQ(diff("h", "2024-06-01 10:59:59", "2024-06-01 11:00:00").toInt(), 1);
    EXPECT_EQ(diff("n", "2024-06-01 10:00:59", "2024-06-01 10:01:00").toInt(), 1);
    EXPECT_EQ(diff("s", "2024-06-01 10:00:00", "2024-06-01 09:59:00").toInt(), -60);
    EXPECT_FALSE(diff("y", "", "2024-06-01").isValid());
    EXPECT_FALSE(db.scalar("select datediff('y', NULL, Date())").isValid());
    EXPECT_THAT(queryError(db, "select datediff('x', '2024-01-01', '2024-01-02')"),
                HasSubstr("'x'"));
    EXPECT_THAT(queryError(db, "select datediff('y', 'soon', '2024-01-02')"), HasSubstr("'soon'"));

    const QString yesterdayEvening =
        QDate::currentDate().addDays(-1).toString("yyyy-MM-dd") + " 23:30:00";
    db.connection->execute(
        {"insert into T_Schedule (F_User, Awoke, AwokeDate) values ('Admin', 1, ?)",
         {yesterdayEvening}});
    EXPECT_EQ(db.scalar("select datediff('y',Date(),[AwokeDate]) from T_Schedule").toInt(), -1);
}

TEST_P(EngineSql, TransactionsRollBackUnlessCommittedAndNest) {
    {
        Transaction t(*db.connection);
        db.addCustomer("gone");
    }
    EXPECT_EQ(db.count("1=1"), 0);
    {
        Transaction outer(*db.connection);
        db.addCustomer("kept");
        {
            Transaction inner(*db.connection);
            db.addCustomer("inner gone");
        }
        {
            Transaction inner(*db.connection);
            db.addCustomer("inner kept");
            inner.commit();
        }
        outer.commit();
    }
    EXPECT_EQ(db.count("1=1"), 2);
    EXPECT_EQ(db.count("Company like 'inner%'"), 1);
}

TEST_P(EngineSql, StatementErrorsAndParameterCountsAreReported) {
    EXPECT_THAT(queryError(db, "select * from Nowhere"),
                HasSubstr(GetParam() == TestEngine::Sqlite ? "no such table" : "does not exist"));
    EXPECT_THROW(db.connection->query({"select * from Custom where Company=?", {}}), AppError);
    EXPECT_THROW(db.connection->execute({"delete from Custom; delete from admin", {}}), AppError);
    EXPECT_EQ(db.scalar("select count(*) from admin").toInt(), 1);
}

TEST(SqliteSql, FieldKindsComeFromTheDeclaredTypes) {
    TempDatabase db;
    db.connection->execute({"create table kinds (id INTEGER PRIMARY KEY, a INT, b SMALLINT, "
                            "c BIGINT, d REAL, e FLOAT, f DOUBLE, g CURRENCY, h MONEY, "
                            "i DECIMAL(10,2), j NUMERIC, k VARCHAR(30), l TEXT, m CHAR(4), "
                            "n MEMO, o LONGTEXT, p DATETIME, q DATE, r BOOLEAN, s YESNO, "
                            "t BIT, u BLOB)",
                            {}});
    db.connection->execute({"create table pair (x INTEGER, y INTEGER, PRIMARY KEY (x, y))", {}});
    using K = FieldKind;
    const std::vector<K> expected = {K::AutoInc, K::Integer,  K::Integer,  K::LargeInt, K::Float,
                                     K::Float,   K::Float,    K::Currency, K::Currency, K::Decimal,
                                     K::Decimal, K::Text,     K::Text,     K::Text,     K::Memo,
                                     K::Memo,    K::DateTime, K::DateTime, K::Boolean,  K::Boolean,
                                     K::Boolean, K::Bytes};
    auto rows = db.connection->query({"select * from kinds", {}});
    ASSERT_EQ(rows->columnCount(), int(expected.size()));
    for (int i = 0; i < rows->columnCount(); ++i)
        EXPECT_EQ(int(rows->column(i).kind), int(expected[size_t(i)]))
            << rows->column(i).name.toStdString();
    EXPECT_EQ(rows->column(11).size, 30);
    EXPECT_EQ(rows->column(13).size, 4);
    EXPECT_TRUE(rows->column(0).primaryKey);
    EXPECT_EQ(rows->column(0).table, "kinds");

    auto pair = db.connection->query({"select * from pair", {}});
    EXPECT_EQ(int(pair->column(0).kind), int(K::Integer)) << "part of a composite key";
    EXPECT_TRUE(pair->column(0).primaryKey);
    auto custom = db.connection->query({"select CustCode, Company AS Name, 1 + 1 from Custom", {}});
    EXPECT_EQ(int(custom->column(0).kind), int(K::AutoInc));
    EXPECT_EQ(custom->column(1).name, "Name");
    EXPECT_EQ(custom->column(1).baseColumn, "Company");
    EXPECT_TRUE(custom->column(2).table.isEmpty());
}

TEST_P(EngineSql, ColumnsOfATableAndQuotedNames) {
    EXPECT_EQ(db.connection->columnsOf("custom"),
              QStringList({"CustCode", "Company", "tel", "Mobile", "OtherInfo", "memo2", "AddDate",
                           "introduce", "Owner"}));
    EXPECT_TRUE(db.connection->columnsOf("Nowhere").isEmpty());
    db.connection->execute(
        {"create table " + db.connection->quoteIdentifier("we\"ird") + " (a INTEGER)", {}});
    EXPECT_EQ(db.connection->columnsOf("we\"ird"), QStringList{"a"});
}

} // namespace
