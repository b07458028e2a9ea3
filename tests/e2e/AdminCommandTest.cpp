#include "data/Engine.h"
#include "tests/support/TempProgram.h"
#include "tests/support/ZipBomb.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sqlite3.h>

namespace {

struct AdminRun {
    int exitCode = -1;
    QString out;
};

AdminRun admin(const QStringList& arguments, const QByteArray& input = {}) {
    QProcess process;
    process.start(CUSTDESK_ADMIN, arguments);
    process.write(input);
    process.closeWriteChannel();
    if (!process.waitForFinished(120000))
        return {};
    return {process.exitCode(),
            QString::fromUtf8(process.readAllStandardOutput() + process.readAllStandardError())};
}

} // namespace

// A script moves the customers of one database into another through each format, and a file
// with a bad row writes nothing unless asked to skip it.
TEST(AdminCommand, ExportsAndImportsThroughEveryFormatAndReportsFailures) {
    TempProgram from, to;
    from.exec("insert into Custom (Company, tel, AddDate) values ('甲公司', '010', "
              "'2024-03-05 00:00:00'), ('Zeta', NULL, NULL)");
    QTemporaryDir dir;
    const QString bad = dir.filePath("bad.csv");
    {
        QFile file(bad);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("客户名称,添加时间\r\n丙,2024-01-01\r\n丁,不是日期\r\n");
    }
    const QString source = from.databasePath(), target = to.databasePath();
    { // the owner column shown: the files name 甲公司's owner, and the import reads it back
        auto c = openDatabase(source);
        c->execute({"update T_FieldShow set show=1 where Field='Owner'", {}});
        c->execute({"update Custom set Owner=(select Userid from admin where username='Admin') "
                    "where Company='甲公司'",
                    {}});
    }
    const struct {
        QStringList arguments;
        int exitCode;
        QString output;
    } steps[] = {
        {{"export", "--format", "xlsx", dir.filePath("all.xlsx"), "--db", source},
         0,
         "已导出 2 位客户"},
        {{"export", "--format", "csv", dir.filePath("all.csv"), "--db", source},
         0,
         "已导出 2 位客户"},
        {{"export", "--format", "xls", dir.filePath("all.xls"), "--db", source},
         0,
         "已导出 2 位客户"},
        {{"import", dir.filePath("all.xlsx"), "--db", target}, 0, "新增：2"},
        {{"import", dir.filePath("all.csv"), "--db", target}, 0, "跳过（重复）：2"},
        {{"import", dir.filePath("all.csv"), "--on-duplicate", "add", "--db", target},
         0,
         "新增：2"},
        {{"import", bad, "--db", target}, 1, "第 3 行：“添加时间”“不是日期”不是可以读懂的日期"},
        {{"import", bad, "--skip-bad", "--db", target}, 0, "新增：1"},
        {{"import", dir.filePath("missing.csv"), "--db", target}, 1, "不能打开文件"},
        {{"import", bad, "--on-duplicate", "merge", "--db", target}, 2, "用法"},
        {{"export", "--format", "pdf", "x.pdf"}, 2, "用法"},
    };
    for (const auto& s : steps) {
        SCOPED_TRACE(s.arguments.join(' ').toStdString());
        const AdminRun run = admin(s.arguments);
        EXPECT_EQ(run.exitCode, s.exitCode);
        EXPECT_TRUE(run.out.contains(s.output)) << run.out.toStdString();
    }
    const QString rows =
        admin({"export", "--format", "csv", dir.filePath("after.csv"), "--db", target}).out;
    EXPECT_TRUE(rows.contains("已导出 5 位客户")) << rows.toStdString();
    QFile after(dir.filePath("after.csv"));
    ASSERT_TRUE(after.open(QIODevice::ReadOnly));
    EXPECT_TRUE(after.readAll().startsWith(
        "\xEF\xBB\xBF客户名称,联系电话,手机号码,合同编号,添加时间,详细说明\r\n"
        "甲公司,010,,,2024-03-05,\r\nZeta,,,,,\r\n"));
    auto owned = openDatabase(target)->query(
        {"select c.Company from Custom c inner join admin a on a.Userid=c.Owner "
         "where a.username='Admin' order by c.CustCode",
         {}});
    QStringList companies;
    while (owned->next())
        companies << QString::fromUtf8(owned->text(0).data(), qsizetype(owned->text(0).size()));
    EXPECT_EQ(companies, (QStringList{"甲公司", "甲公司"}));
}

// A shop locked out of the operator window adds, lists, disables and resets operators from a
// script; the password comes from standard input, never the command line, and the last
// manager stays.
TEST(AdminCommand, OperatorsAreManagedFromTheCommandLine) {
    TempProgram program;
    const QString db = program.databasePath();
    const struct {
        QStringList arguments;
        QByteArray input;
        int exitCode;
        QString output;
    } steps[] = {
        {{"operators", "add", "小王", "--db", db}, "secret\n", 0, "已添加操作员 小王（业务员）"},
        {{"operators", "add", "经理", "--role", "管理员", "--must-change", "--db", db},
         "\n",
         0,
         "已添加操作员 经理（管理员）"},
        {{"operators", "add", "XIAOWANG", "--role", "店长", "--db", db},
         "",
         1,
         "没有名为“店长”的角色。"},
        {{"operators", "add", "小王", "--db", db}, "x\n", 1, "已经有名为“小王”的操作员。"},
        {{"operators", "disable", "经理", "--db", db}, "", 0, "已停用操作员 经理"},
        {{"operators", "disable", "admin", "--db", db},
         "",
         1,
         "至少要保留一位可以管理操作员的已启用操作员。"},
        {{"operators", "reset-password", "Admin", "--db", db},
         "new pass\n",
         0,
         "已重设 Admin 的密码"},
        {{"operators", "list", "--db", db}, "", 0, "小王\t业务员\t启用\t-\n经理\t管理员\t停用"},
        {{"operators", "reset-password", "--db", db}, "", 2, "用法"},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(step.arguments.join(' ').toStdString());
        const AdminRun run = admin(step.arguments, step.input);
        EXPECT_EQ(run.exitCode, step.exitCode) << run.out.toStdString();
        EXPECT_TRUE(run.out.contains(step.output)) << run.out.toStdString();
    }
    const auto stored = [&](const char* name) {
        QProcess sqlite;
        sqlite.start("sqlite3", {db, QString("select password from admin where username='%1'")
                                         .arg(QString::fromUtf8(name))});
        sqlite.waitForFinished();
        return QString::fromUtf8(sqlite.readAllStandardOutput()).trimmed();
    };
    EXPECT_TRUE(stored("小王").startsWith("$argon2id$")) << "stored as a hash";
    EXPECT_TRUE(stored("Admin").startsWith("$argon2id$"));
    EXPECT_EQ(stored("经理"), "") << "an empty password stays empty";
}

// The import's choices on the command line: which sheet, which encoding, which column is
// which field; a wrong choice is named and writes nothing.
TEST(AdminCommand, ImportTakesSheetEncodingAndColumnMapping) {
    TempProgram to;
    QTemporaryDir dir;
    const QString gbk = dir.filePath("gbk.csv");
    {
        QFile file(gbk);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(QStringEncoder("GB18030").encode(u"名称,电话,备注\r\n甲公司,010,不要\r\n"));
    }
    const QString book = dir.filePath("two.xlsx");
    {
        auto sheet = [](const QByteArray& name) {
            return "<worksheet><sheetData><row r=\"1\"><c r=\"A1\" t=\"inlineStr\"><is><t>客户名称"
                   "</t></is></c></row><row r=\"2\"><c r=\"A2\" t=\"inlineStr\"><is><t>" +
                   name + "</t></is></c></row></sheetData></worksheet>";
        };
        std::vector<BombPart> parts = plainWorkbookParts(sheet("一页客户"));
        parts[0].head.replace("</sheets>",
                              "<sheet name=\"第二页\" sheetId=\"2\" r:id=\"rId2\"/></sheets>");
        parts[1].head.replace("</Relationships>",
                              "<Relationship Id=\"rId2\" "
                              "Target=\"worksheets/sheet2.xml\"/></Relationships>");
        parts.push_back({"xl/worksheets/sheet2.xml", sheet("二页客户"), {}, 0, {}});
        writeZipBomb(book, parts);
    }
    const QString db = to.databasePath();
    const struct {
        QStringList arguments;
        int exitCode;
        QString output;
    } steps[] = {
        {{"import", gbk, "--db", db}, 1, "没有一列对应到客户名称"},
        {{"import", gbk, "--encoding", "utf-8", "--map", "名称=客户名称", "--db", db},
         1,
         "不是 UTF-8 编码"},
        {{"import", gbk, "--encoding", "latin9", "--db", db}, 1, "不认识编码"},
        {{"import", gbk, "--map", "名称=不存在", "--db", db}, 1, "没有字段“不存在”"},
        {{"import", gbk, "--map", "地址=客户名称", "--db", db}, 1, "没有标题为“地址”的列"},
        {{"import", gbk, "--encoding", "gbk", "--map", "名称=客户名称", "--map", "电话=tel",
          "--map", "备注=", "--db", db},
         0,
         "新增：1"},
        {{"import", book, "--sheet", "第二页", "--db", db}, 0, "新增：1"},
        {{"import", book, "--sheet", "1", "--db", db}, 0, "新增：1"},
        {{"import", book, "--sheet", "第三页", "--db", db},
         1,
         "没有工作表“第三页”；有：Sheet1、第二页"},
    };
    for (const auto& s : steps) {
        SCOPED_TRACE(s.arguments.join(' ').toStdString());
        const AdminRun run = admin(s.arguments);
        EXPECT_EQ(run.exitCode, s.exitCode);
        EXPECT_TRUE(run.out.contains(s.output)) << run.out.toStdString();
    }
    auto connection = openDatabase(db);
    auto rows = connection->query({"select Company, tel, memo2 from Custom order by CustCode", {}});
    QStringList customers;
    while (rows->next())
        customers << QString::fromUtf8(rows->text(0).data(), qsizetype(rows->text(0).size())) +
                         "|" +
                         QString::fromUtf8(rows->text(1).data(), qsizetype(rows->text(1).size())) +
                         "|" +
                         QString::fromUtf8(rows->text(2).data(), qsizetype(rows->text(2).size()));
    EXPECT_EQ(customers, QStringList({"甲公司|010|", "二页客户||", "一页客户||"}));
}

// The restore speaks Chinese, refuses a damaged backup in two lines, and lists what the check
// found only when asked.
TEST(AdminCommand, RestoreSpeaksChineseAndRefusesADamagedBackupBriefly) {
    TempProgram program;
    program.exec("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 300) "
                 "INSERT INTO Custom (Company, memo2) SELECT '客户' || i, printf('%.400c', 'x') "
                 "FROM n");
    const QString database = program.databasePath();
    const QString folder = QFileInfo(database).absoluteDir().filePath("Backup");
    ASSERT_TRUE(QDir().mkpath(folder));
    const QString backup = folder + "/Custom-20261210-093000.db";
    ASSERT_TRUE(QFile::copy(database, backup));
    const QString garbled = folder + "/Custom-20261209-093000.db";
    {
        // An index that no longer matches its rows: a check that finds something on every row.
        QFile::copy(database, garbled);
        sqlite3* db = nullptr;
        ASSERT_EQ(sqlite3_open(QFile::encodeName(garbled).constData(), &db), SQLITE_OK);
        ASSERT_EQ(sqlite3_exec(db,
                               "PRAGMA journal_mode=DELETE; CREATE INDEX byName ON Custom(Company);"
                               "PRAGMA writable_schema=ON; UPDATE sqlite_master SET sql = "
                               "'CREATE INDEX byName ON Custom(memo2)' WHERE name = 'byName'",
                               nullptr, nullptr, nullptr),
                  SQLITE_OK);
        sqlite3_close(db);
    }
    const struct {
        QStringList arguments;
        int exitCode;
        QString output;
        int maxLines;
    } steps[] = {
        {{"restore"}, 2, "restore [--verbose] BACKUPFILE [DATABASE]", 20},
        {{"restore", "/nowhere/x.db"}, 1, "找不到这份备份所属的数据库文件", 1},
        {{"restore", garbled}, 1, "不能用来恢复：完整性检查发现", 2},
        {{"restore", "--verbose", garbled}, 1, "不能用来恢复", 1000},
        {{"restore", backup}, 0, "已用备份", 2},
    };
    for (const auto& s : steps) {
        SCOPED_TRACE(s.arguments.join(' ').toStdString());
        const AdminRun run = admin(s.arguments);
        EXPECT_EQ(run.exitCode, s.exitCode);
        EXPECT_TRUE(run.out.contains(s.output)) << run.out.toStdString();
        QStringList lines = run.out.trimmed().split(u'\n');
        lines.removeIf([](const QString& l) { return l.startsWith("QStandardPaths:"); });
        EXPECT_LE(lines.size(), s.maxLines) << run.out.toStdString();
        if (s.maxLines == 1000)
            EXPECT_GT(lines.size(), 3) << "the whole list when asked";
    }
    EXPECT_EQ(QDir(folder).entryList({"*-before-restore.db"}).size(), 1);
}
