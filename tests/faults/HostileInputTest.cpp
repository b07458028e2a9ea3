// Broken database files, hostile settings files and hostile texts: each is told in the
// program's own words, nothing crashes, and nothing that was there is lost.

#include "data/AppError.h"
#include "data/Statements.h"
#include "data/U_Data.h"
#include "tests/support/RecordingMessageService.h"
#include "tests/support/TempProgram.h"

#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <functional>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

using ::testing::HasSubstr;

namespace {

const QString kConnectFailed = QStringLiteral("连接数据库失败,您要连接本机数据库吗! ");

QByteArray fileBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void putBytes(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
}

// A database with enough customers to span many pages, closed and in rollback mode.
void fill(const TempProgram& program) {
    program.exec("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 3000) "
                 "INSERT INTO Custom (Company, memo2) SELECT 'c' || i, hex(randomblob(60)) FROM n");
}

struct Damage {
    const char* name;
    std::function<void(const QString& path)> apply;
};

const Damage kDamages[] = {
    {"truncated to half", [](const QString& p) { QFile::resize(p, QFileInfo(p).size() / 2); }},
    {"pages overwritten",
     [](const QString& p) {
         QByteArray b = fileBytes(p);
         for (qsizetype i = 4096; i < b.size(); i += 7)
             b[i] = char(i * 31);
         putBytes(p, b);
     }},
    {"header overwritten",
     [](const QString& p) {
         QByteArray b = fileBytes(p);
         b.replace(0, 100, QByteArray(100, '\xAA'));
         putBytes(p, b);
     }},
    {"a folder",
     [](const QString& p) {
         QFile::remove(p);
         QDir().mkpath(p);
     }},
};

TEST(BrokenDatabase, IsToldAsAFailedConnectionOrAFailedReadAndIsLeftAsItWas) {
    for (const Damage& damage : kDamages) {
        SCOPED_TRACE(damage.name);
        TempProgram program;
        fill(program);
        damage.apply(program.databasePath());
        const QByteArray before = fileBytes(program.databasePath());

        RecordingMessageService messages;
        messages.answers << mbNo;
        auto data = program.connect(messages);
        if (!data->DBConnected) {
            ASSERT_EQ(messages.shown.size(), 1);
            EXPECT_EQ(messages.last().text, kConnectFailed);
        } else {
            // Only the first page was sound: the damage shows at the first full read.
            EXPECT_TRUE(messages.shown.isEmpty());
            EXPECT_THROW(data->OpenQuery(data->Qry_Cust, Sql::allCustomers()), AppError);
        }
        data.reset();
        // Opening may note WAL mode in the header; every page after it stays as it was.
        const QByteArray after = fileBytes(program.databasePath());
        EXPECT_EQ(after.size(), before.size());
        EXPECT_TRUE(after.mid(100) == before.mid(100)) << "the broken file was changed";
        EXPECT_FALSE(QFile::exists(program.configPath())) << "answering No writes nothing";
    }
}

// ---- hostile Config.ini -------------------------------------------------------------------

TEST(HostileConfig, GarbageKeysWithoutEqualsAndAHugeLineReadAsDefaultsAndSurviveAWrite) {
    TempProgram program;
    static const char kGarbage[] =
        "\xEF\xBB\xBF\x00\xFF\xFE garbage \x01\x02\r\n[OtherInfo\nawoke\n"
        "[OtherInfo]\nawoke\nDay 3\n\xC0\xAF=\xC0\xAF\n";
    QByteArray config(kGarbage, sizeof kGarbage - 1);
    config += "[login]\nusername=" + QByteArray(10 * 1024 * 1024, 'x') + "\n";
    config += "[Config]\nDBConn\n=" + program.databasePath().toUtf8() + "\n";
    putBytes(program.configPath(), config);

    QElapsedTimer timer;
    timer.start();
    RecordingMessageService messages;
    auto data = program.connect(messages);
    EXPECT_TRUE(data->DBConnected) << "no DBConn key: the built-in database";
    EXPECT_TRUE(messages.shown.isEmpty());
    EXPECT_EQ(data->IniFile.ReadInteger("OtherInfo", "awoke", 1), 1);
    EXPECT_EQ(data->IniFile.ReadString("OtherInfo", "Day", "def"), "def");
    EXPECT_EQ(data->IniFile.ReadString("login", "username", "").size(), 2047) << "cut as read";

    data->IniFile.WriteInteger("OtherInfo", "awoke", 0);
    EXPECT_EQ(data->IniFile.ReadInteger("OtherInfo", "awoke", 1), 0);
    const QByteArray after = fileBytes(program.configPath());
    EXPECT_TRUE(after.contains("username=" + QByteArray(10 * 1024 * 1024, 'x') + "\n"));
    const qsizetype added = after.indexOf("awoke=0\r\n");
    ASSERT_GE(added, 0) << "the key goes in with the file's own line breaks";
    EXPECT_EQ(QByteArray(after).remove(added, 9), config) << "every other byte stays";
    EXPECT_LT(timer.elapsed(), 10000) << "a 10 MB line must not make the start crawl";
}

// ---- hostile texts ------------------------------------------------------------------------

QStringList companiesFound(TFrm_Data& data, const QString& field, const QString& keyword) {
    data.OpenQuery(data.Qry_Temp, Sql::customerSearch(*data.ADOConnection1, field, keyword));
    QStringList out;
    for (int row = 0; row < data.Qry_Temp.recordCount(); ++row)
        out << data.Qry_Temp.value(row, data.Qry_Temp.fieldByName("Company")).toString();
    return out;
}

TEST(HostileTexts, NamesAndKeywordsOfEveryKindAreStoredExactlyAndFoundAsData) {
    TempProgram program;
    RecordingMessageService messages;
    auto data = program.connect(messages);
    ASSERT_TRUE(data->DBConnected);
    data->OpenQuery(data->Qry_Cust, Sql::allCustomers());

    const QString huge = QString::fromUtf8("客户😀'\"%_\\").repeated(100 * 1024 / 16);
    const QStringList names = {
        "O'Brien",      "\"quoted\" name", "100% sure",
        "a_b",          "C:\\path\\",      "x'; DROP TABLE Custom; --",
        "😀 emoji 客户", "tab\there",       "trailing\\",
        huge,
    };
    for (const QString& name : names)
        data->Qry_Cust.append({{"Company", name}, {"memo2", name}});

    data->OpenQuery(data->Qry_Cust, Sql::allCustomers());
    ASSERT_EQ(data->Qry_Cust.recordCount(), names.size()) << "the table is still there";
    for (int row = 0; row < names.size(); ++row) {
        EXPECT_EQ(data->Qry_Cust.value(row, data->Qry_Cust.fieldByName("Company")), names[row]);
        EXPECT_EQ(data->Qry_Cust.value(row, data->Qry_Cust.fieldByName("memo2")), names[row]);
    }
    // Wildcards in a keyword stay wildcards; every name still finds itself.
    for (const QString& name : names)
        EXPECT_TRUE(companiesFound(*data, "Company", name).contains(name))
            << name.left(40).toStdString();
    EXPECT_EQ(companiesFound(*data, "Company", "O'Brien"), QStringList{"O'Brien"});
    EXPECT_EQ(companiesFound(*data, "memo2", "\\path\\"), QStringList{"C:\\path\\"});
    EXPECT_EQ(companiesFound(*data, "Company", "[%]").size(), 2) << "100% sure and the long one";

    for (const QString& open : {QString("["), QString("abc[d"), QString("[!")}) {
        try {
            companiesFound(*data, "Company", open);
            ADD_FAILURE() << "an unterminated set was accepted: " << open.toStdString();
        } catch (const AppError& e) {
            EXPECT_THAT(e.text().toStdString(), HasSubstr("缺少对应的 ']'"));
        }
    }
}

} // namespace
