#include "app/BackupCommand.h"
#include "tests/app/AppTestSupport.h"

#include <QAction>
#include <QDir>
#include <QMenu>
#include <QToolButton>

namespace {

class BackupCommandTest : public ShellTest {
  protected:
    QString backupFolder() const { return QDir(program.dir()).filePath("DataBase/Backup"); }
    int backups() const { return int(QDir(backupFolder()).entryList({"Custom-*.db"}).size()); }
};

// The command's copy later the same day keeps the morning's beside it.
TEST_F(BackupCommandTest, TheDailyBackupRunsOnceADayAndTheMenuCommandEveryTime) {
    const QDateTime morning(QDate::currentDate(), QTime(0, 0, 1));
    runBackup(*data, messages, main.get(), BackupReason::FirstStartOfTheDay, morning);
    runBackup(*data, messages, main.get(), BackupReason::FirstStartOfTheDay, morning.addSecs(3600));
    EXPECT_EQ(backups(), 1);
    EXPECT_TRUE(messages.shown.isEmpty()); // a daily copy that worked goes unsaid

    QAction* command = main->BackupDB;
    ASSERT_EQ(main->TB_Maintenance->menu()->actions().value(0), command);
    EXPECT_EQ(command->text(), QStringLiteral("备份数据库"));
    command->trigger();
    EXPECT_EQ(backups(), 2);
    ASSERT_EQ(messages.shown.size(), 1);
    EXPECT_TRUE(messages.last().text.startsWith(QStringLiteral("数据库已备份到 ")));
    EXPECT_EQ(messages.last().caption, QStringLiteral("备份数据库"));

    // The command itself refuses a role without the right, not only its disabled entry.
    data->rights = Rights(2, "小李", "业务员", unsigned(Permission::AddCustomers));
    runBackup(*data, messages, main.get(), BackupReason::Asked);
    EXPECT_EQ(backups(), 2);
    EXPECT_EQ(messages.last().text,
              QStringLiteral("数据库备份失败：您的角色“业务员”不能备份或恢复数据库。"));
}

TEST_F(BackupCommandTest, AFailedBackupIsToldOnceAndTheProgramGoesOn) {
    QFile blocker(QDir(program.dir()).filePath("DataBase/Backup"));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly)); // a file where the folder should be
    blocker.close();
    runBackup(*data, messages, main.get(), BackupReason::FirstStartOfTheDay);
    ASSERT_EQ(messages.shown.size(), 1);
    EXPECT_TRUE(messages.last().text.startsWith(QStringLiteral("数据库备份失败：")))
        << messages.last().text.toStdString();
    EXPECT_EQ(messages.last().icon, MsgIcon::Warning);
    EXPECT_TRUE(data->DBConnected);
}

} // namespace
