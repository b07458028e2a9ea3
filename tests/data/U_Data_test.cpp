#include "data/Statements.h"
#include "data/U_Data.h"
#include "tests/support/RecordingMessageService.h"
#include "tests/support/TempProgram.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>

namespace {

const QString failedText = QStringLiteral("连接数据库失败,您要连接本机数据库吗! ");

class DataModuleTest : public ::testing::Test {
  protected:
    TempProgram program;
    RecordingMessageService messages;

    void writeConfig(const QByteArray& bytes) {
        QFile file(program.configPath());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }
    QByteArray config() const {
        QFile file(program.configPath());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<absent>");
    }
};

TEST_F(DataModuleTest, WithoutConfigTheBuiltInDatabaseOpensAndNothingIsWritten) {
    auto data = program.connect(messages);
    EXPECT_TRUE(data->DBConnected);
    EXPECT_EQ(data->ConnString, program.databasePath());
    EXPECT_TRUE(messages.shown.isEmpty());
    EXPECT_FALSE(QFile::exists(program.configPath()));

    EXPECT_EQ(data->Qry_Cust.name(), "Qry_Cust");
    EXPECT_EQ(data->Qry_SoftInfo.name(), "Qry_SoftInfo");
    EXPECT_EQ(data->Qry_Cust.command().sql, Sql::allCustomers().sql);
    EXPECT_FALSE(data->Qry_Cust.isActive());
    for (Query* q : {&data->Qry_Cust, &data->Qry_Temp, &data->Qry_Str, &data->Qry_FieldShow,
                     &data->Qry_SoftInfo})
        EXPECT_EQ(q->connection(), data->ADOConnection1.get()) << q->name().toStdString();

    data->OpenQuery(data->Qry_SoftInfo, Sql::softInfo());
    EXPECT_EQ(data->Qry_SoftInfo.recordCount(), 1);
}

TEST_F(DataModuleTest, DBConnIsUsedVerbatimAfterTheReadTrimsItsBlanks) {
    const QString other = program.dir() + QStringLiteral("/其他 目录");
    ASSERT_TRUE(QDir().mkpath(other));
    ASSERT_TRUE(QFile::copy(program.databasePath(), other + "/my db.db"));
    writeConfig("[config]\ndbconn=   " + (other + "/my db.db").toUtf8() + "  \n");
    auto data = program.connect(messages);
    EXPECT_TRUE(data->DBConnected);
    EXPECT_EQ(data->ConnString, other + "/my db.db");

    writeConfig("[Config]\nDBConn=\n"); // an empty value means the built-in file
    EXPECT_EQ(program.connect(messages)->ConnString, program.databasePath());
}

TEST_F(DataModuleTest, FailedConnectionAnsweredYesEmptiesDBConnAndKeepsTheRest) {
    writeConfig("; mine\n[Config]\nDBConn=/no/such/file.db\n[login]\nusername=2\n");
    messages.answers << mbYes;
    auto data = program.connect(messages);

    EXPECT_FALSE(data->DBConnected);
    ASSERT_EQ(messages.shown.size(), 1); // the engine's own text is not shown
    const MessageBoxRequest& box = messages.last();
    EXPECT_EQ(box.text, failedText);
    EXPECT_EQ(box.caption, QStringLiteral("客户管理系统"));
    EXPECT_EQ(box.icon, MsgIcon::Information);
    EXPECT_EQ(box.buttons, mbYes | mbNo);
    EXPECT_EQ(box.owner, nullptr);
    EXPECT_EQ(config(), "; mine\n[Config]\nDBConn=\n[login]\nusername=2\n");

    messages.clear(); // next start: the built-in file
    EXPECT_TRUE(program.connect(messages)->DBConnected);
    EXPECT_TRUE(messages.shown.isEmpty());
}

TEST_F(DataModuleTest, FailedConnectionAnsweredNoTouchesNothing) {
    const QByteArray before = "[Config]\r\nDBConn = /no/such/dir/x.db \r\n";
    writeConfig(before);
    messages.answers << mbNo;
    EXPECT_FALSE(program.connect(messages)->DBConnected);
    EXPECT_EQ(config(), before);
}

TEST_F(DataModuleTest, MissingBuiltInFileAsksOnEveryStartAndYesCreatesTheEmptyKey) {
    ASSERT_TRUE(QFile::remove(program.databasePath()));
    messages.answers << mbNo;
    EXPECT_FALSE(program.connect(messages)->DBConnected);
    EXPECT_EQ(config(), "<absent>");
    EXPECT_FALSE(QFile::exists(program.databasePath())); // opening never creates a database

    messages.answers << mbYes;
    EXPECT_FALSE(program.connect(messages)->DBConnected);
    EXPECT_EQ(config(), "[Config]\nDBConn=\n");
    EXPECT_EQ(messages.shown.size(), 2);
}

TEST_F(DataModuleTest, ARefusedWriteOfTheAnswerGoesToTheErrorBox) {
    ASSERT_TRUE(QFile::remove(program.databasePath()));
    ASSERT_TRUE(QDir(program.dir()).mkdir("Config.ini"));
    messages.answers << mbYes;
    EXPECT_FALSE(program.connect(messages)->DBConnected);
    ASSERT_EQ(messages.shown.size(), 2);
    EXPECT_EQ(messages.last().text, "Unable to write to " + program.configPath() + ".");
    EXPECT_EQ(messages.last().icon, MsgIcon::Error);
}

} // namespace
