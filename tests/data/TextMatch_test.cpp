#include "DataTestSupport.h"

#include "data/AppError.h"
#include "data/Migrations.h"
#include "data/Statements.h"

#include <QProcess>
#include <gtest/gtest.h>
#include <random>

namespace {

QString u(const char* text) {
    return QString::fromUtf8(text);
}

int rowCount(Connection& connection, const SqlCommand& command) {
    auto rows = connection.query(command);
    int n = 0;
    while (rows->next())
        ++n;
    return n;
}

// The keys of the rows a statement gives, in the order it gives them, or "error".
std::vector<qint64> keys(Connection& connection, const SqlCommand& command) {
    std::vector<qint64> out;
    try {
        auto rows = connection.query(command);
        while (rows->next())
            out.push_back(rows->toInt64(0));
    } catch (const AppError&) {
        out = {-1};
    }
    return out;
}

QString sqlite3Cli(const QString& path, const QString& sql) {
    QProcess cli;
    cli.start("sqlite3", {path, sql});
    cli.waitForFinished(30000);
    return QString::fromUtf8(cli.readAllStandardOutput() + cli.readAllStandardError()).trimmed();
}

TEST(LetterCase, EveryLetterFoldsAlikeInNamesSearchesAndLayoutTableNames) {
    struct Pair {
        const char *stored, *typed;
        bool same;
    } const pairs[] = {
        {"ＡＢＣ贸易", "ａｂｃ贸易", true}, {"ΑΒΓ", "αβγ", true},     {"АБВ公司", "абв公司", true},
        {"ÀÉÎÕÜ", "àéîõü", true},           {"ΣΟΦΟΣ", "σοφος", true}, {"Kelvin", "kelvin", true},
        {"HUAWEI", "huawei", true},         {"ＡＢＣ", "ABC", false}, {"abc", "abd", false},
        {"Straße", "STRASSE", false},       {"北京", "北京 ", false},
    };
    TempDatabase db;
    Connection& c = *db.connection;
    for (const Pair& p : pairs) {
        SCOPED_TRACE(p.stored + std::string(" / ") + p.typed);
        c.execute({"delete from Custom", {}});
        db.addCustomer(u(p.stored));
        c.execute({"insert into T_FieldShow (TableName, Name, Field, show, ShowID) "
                   "values (?, 'n', 'f', 1, 0)",
                   {u(p.stored)}});
        EXPECT_EQ(rowCount(c, Sql::customerByCompany(u(p.typed))), p.same ? 1 : 0);
        EXPECT_EQ(rowCount(c, Sql::customerSearch(c, "Company", u(p.typed))), p.same ? 1 : 0);
        EXPECT_EQ(rowCount(c, Sql::shownLayout(u(p.typed))), p.same ? 1 : 0);
        c.execute({"insert into admin (username, IsUser) values (?, 1)", {u(p.stored)}});
        EXPECT_EQ(rowCount(c, Sql::operatorByName(u(p.typed))), p.same ? 1 : 0);
        c.execute({"delete from T_FieldShow where Name='n'", {}});
        c.execute({"delete from admin where username<>'Admin'", {}});
    }
    // The file stays the plain tool's to read and write, index and all.
    db.connection.reset();
    const QString path = db.program.databasePath();
    EXPECT_EQ(sqlite3Cli(path, "insert into Custom (Company) values ('ａｂｃ'); "
                               "pragma integrity_check; select count(*) from Custom;"),
              "ok\n2");
}

// Texts with every kind of letter the fold joins, bytes that are no UTF-8 and the characters
// the LIKE treats specially; keywords cut from them, respelt and given wildcards.
class SearchPaths : public ::testing::Test {
  protected:
    TempDatabase db;
    std::mt19937 random{20260101};
    const QStringList pieces = QString::fromUtf8("a A b B s S ſ k K K ａ Ａ ｂ α Α σ Σ ς б Б é É "
                                                 "µ μ Μ ÿ Ÿ 中 华 通 0 1 2 ' \" % _ [ ] ! - ^ ")
                                   .split(' ') +
                               QStringList{" ", "  "};
    std::vector<QString> texts;

    int below(int n) { return std::uniform_int_distribution<int>(0, n - 1)(random); }
    QString randomText(int maxLength) {
        QString out;
        for (int n = below(maxLength + 1); n > 0; --n)
            out += pieces[below(int(pieces.size()))];
        return out;
    }
    QString respelt(QString text) {
        for (QChar& ch : text)
            if (below(2))
                ch = below(2) ? ch.toUpper() : ch.toLower();
        return text;
    }
    QString keyword() {
        if (below(3) == 0 || texts.empty())
            return randomText(7);
        const QString& text = texts[size_t(below(int(texts.size())))];
        const int from = below(int(text.size()) + 1);
        QString cut = respelt(text.mid(from, below(8)));
        if (below(4) == 0 && !cut.isEmpty())
            cut[below(int(cut.size()))] = below(2) ? u'_' : u'%';
        if (below(6) == 0)
            cut.insert(below(int(cut.size()) + 1), below(2) ? "[a-cK]" : "[!中]");
        return cut;
    }
    void SetUp() override {
        Transaction transaction(*db.connection);
        for (int i = 0; i < 400; ++i) {
            QVariantList values;
            for (int col = 0; col < 5; ++col) {
                texts.push_back(randomText(14));
                values << (below(10) == 0 ? QVariant() : QVariant(texts.back()));
            }
            db.connection->execute({"insert into Custom (Company, tel, Mobile, OtherInfo, memo2) "
                                    "values (?, ?, ?, ?, ?)",
                                    values});
        }
        db.connection->execute({"insert into Custom (Company, tel) values "
                                "(cast(x'c9616263' as text), cast(x'61c3a962c0a5' as text))",
                                {}});
        transaction.commit();
        ASSERT_EQ(db.count("1"), 401);
    }
};

TEST_F(SearchPaths, EveryKeywordFindsWhatTheFullScanFindsInTheSameOrder) {
    Connection& c = *db.connection;
    const QStringList fields = {"Company", "tel", "Mobile", "OtherInfo", "memo2"};
    int narrowed = 0;
    auto check = [&](const QString& field, const QString& kw) {
        const SqlCommand search = Sql::customerSearch(c, field, kw);
        narrowed += search.sql.contains(" match ");
        const SqlCommand scan{"Select * from Custom where \"" + field + "\" like ?",
                              {"%" + kw + "%"}};
        ASSERT_EQ(keys(c, search), keys(c, scan))
            << field.toStdString() << " like %" << kw.toStdString() << "%";
    };
    // Lone bytes C9 and C0 A5 read as É, À and ¥; the tokenizer reads them otherwise.
    for (const char* kw : {"éabc", "ÉAB", "aÉbà¥", "ÉBÀ", "ſKK", "SKk", "中华通"})
        for (const QString& field : fields)
            check(field, u(kw));
    const int rounds = 3000;
    for (int i = 0; i < rounds; ++i)
        check(fields[i % 5], keyword());
    EXPECT_GT(narrowed, rounds / 8) << "the index took too few of the keywords";
}

TEST_F(SearchPaths, TheIndexFollowsEveryWriteAndIsRebuiltAfterWritesPastIt) {
    Connection& c = *db.connection;
    auto same = [&](const QString& kw) {
        return keys(c, Sql::customerSearch(c, "Company", kw)) ==
               keys(c, {"Select * from Custom where Company like ?", {"%" + kw + "%"}});
    };
    c.execute({"update Custom set Company = 'Ｘyz' || Company where CustCode % 3 = 0", {}});
    c.execute({"update Custom set CustCode = CustCode + 1000 where CustCode % 7 = 0", {}});
    c.execute({"delete from Custom where CustCode % 5 = 0", {}});
    EXPECT_TRUE(same("ｘYZ"));
    // A writer that bypasses the triggers leaves the index behind; a rebuild catches it up.
    c.execute({"drop trigger Custom_search_au", {}});
    c.execute({"update Custom set Company = 'qqq'", {}});
    c.execute({"create trigger Custom_search_au after update on Custom begin select 1; end", {}});
    EXPECT_FALSE(same("qqq"));
    c.rebuildSearchIndex();
    EXPECT_TRUE(same("qqq"));
    EXPECT_TRUE(same("QQQ"));
}

TEST(Migrations, StepsApplyOnceInOrderAndAFailedStepLeavesNoTrace) {
    TempDatabase db;
    Connection& c = *db.connection;
    EXPECT_EQ(schemaVersion(c), programMigrations().back().version);
    EXPECT_EQ(c.columnsOf("Custom_search"), QStringList({"Company", "tel", "Mobile", "OtherInfo"}));
    static int applied;
    applied = 0;
    const int base = schemaVersion(c);
    std::vector<MigrationStep> steps = programMigrations();
    steps.push_back({base + 1, "one", [](Connection& c) {
                         c.execute({"create table T_One (x)", {}});
                         ++applied;
                     }});
    migrate(c, steps);
    migrate(c, steps);
    EXPECT_EQ(applied, 1);
    EXPECT_EQ(schemaVersion(*db.secondConnection()), base + 1);
    steps.push_back({base + 2, "broken", [](Connection& c) {
                         c.execute({"create table T_Two (x)", {}});
                         c.execute({"insert into T_Nowhere values (1)", {}});
                     }});
    EXPECT_THROW(migrate(c, steps), AppError);
    EXPECT_EQ(schemaVersion(c), base + 1);
    EXPECT_TRUE(c.columnsOf("T_Two").isEmpty());
}

} // namespace
