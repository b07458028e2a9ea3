#include "data/AppError.h"
#include "data/BackupSet.h"
#include "data/SqliteBackup.h"
#include "data/SqliteEngine.h"
#include "tests/data/DataTestSupport.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>

namespace {

const QDateTime now(QDate(2026, 12, 10), QTime(9, 30, 0));

qint64 customersIn(const QString& file) {
    auto connection = openSqliteDatabase(file);
    auto rows = connection->query({"select count(*) from Custom", {}});
    rows->next();
    return rows->toInt64(0);
}

void fillCustomers(TempDatabase& db, int count) {
    Transaction transaction(*db.connection);
    for (int i = 0; i < count; ++i)
        db.addCustomer(QStringLiteral("客户%1").arg(i), QString(200, u'x'));
    transaction.commit();
}

// Another copy of the program saves between every step of the copy; the copy is still the
// database as it was when the copy began, and sound.
TEST(BackupTest, ACopyTakenWhileAnotherConnectionWritesIsOneMoment) {
    TempDatabase db;
    fillCustomers(db, 3000);
    const auto writer = db.secondConnection();
    const auto source = openSqliteDatabase(db.program.databasePath());
    const QString copy = QDir(db.program.dir()).filePath("copy.db");
    int steps = 0;
    ASSERT_TRUE(copySqliteDatabase(
        source->handle(), copy,
        [&](qint64 done, qint64 total) {
            EXPECT_LE(done, total);
            writer->execute({"insert into Custom (Company) values ('later')", {}});
            writer->execute(
                {"update Custom set tel = 'changed' where CustCode % 7 = ?", {steps % 7}});
            ++steps;
            return true;
        },
        8));
    EXPECT_GT(steps, 10);
    EXPECT_EQ(sqliteFileProblems(copy), "");
    auto copied = openSqliteDatabase(copy);
    auto rows = copied->query({"select count(*), sum(tel = 'changed') from Custom", {}});
    ASSERT_TRUE(rows->next());
    EXPECT_EQ(rows->toInt64(0), 3000);
    EXPECT_EQ(rows->toInt64(1), 0);
    EXPECT_EQ(db.count("1=1"), 3000 + steps);

    // A cancel leaves no half copy behind.
    const QString cancelled = QDir(db.program.dir()).filePath("cancelled.db");
    EXPECT_FALSE(copySqliteDatabase(
        source->handle(), cancelled, [](qint64, qint64) { return false; }, 8));
    EXPECT_FALSE(QFile::exists(cancelled));
}

TEST(BackupTest, RotationKeepsTheNewestOfSevenDaysAndOfFourWeeksBefore) {
    QList<QDateTime> taken;
    for (int day = 0; day < 60; ++day) // two a day, newest last
        for (int hour : {8, 18})
            taken << QDateTime(now.date().addDays(day - 60), QTime(hour, 0));
    const QList<int> surplus = surplusBackups(taken);
    QList<QDateTime> kept;
    for (int i = 0; i < taken.size(); ++i)
        if (!surplus.contains(i))
            kept << taken[i];
    QList<QDateTime> expected;
    for (int day : {-32, -25, -18, -11}) // Sundays before the week of the oldest daily copy
        expected << QDateTime(now.date().addDays(day), QTime(18, 0));
    for (int day = -7; day < 0; ++day)
        expected << QDateTime(now.date().addDays(day), QTime(18, 0));
    EXPECT_EQ(kept, expected);
    EXPECT_TRUE(surplusBackups({}).isEmpty());
    EXPECT_TRUE(surplusBackups({now, now.addDays(-1)}).isEmpty());
}

// A real backup into a folder that holds forty older ones, a restore's keep and a stranger.
TEST(BackupTest, ABackupIsCheckedNamedByTheClockAndRotatesItsFolder) {
    TempDatabase db;
    const BackupSet set(db.program.databasePath());
    ASSERT_TRUE(QDir().mkpath(set.folder()));
    for (int day = 1; day <= 40; ++day)
        QFile(set.newPath(now.addDays(-day))).open(QIODevice::WriteOnly);
    const QString keptByRestore = set.newPath(now.addDays(-90), "before-restore");
    QFile(keptByRestore).open(QIODevice::WriteOnly);
    QFile(QDir(set.folder()).filePath("notes.txt")).open(QIODevice::WriteOnly);
    EXPECT_FALSE(set.hasOneFrom(now.date()));

    const BackupResult result = backupDatabase(*db.connection, now);
    ASSERT_EQ(result.outcome, BackupResult::Made);
    EXPECT_EQ(result.file, QDir(set.folder()).filePath("Custom-20261210-093000.db"));
    EXPECT_EQ(sqliteFileProblems(result.file), "");
    EXPECT_TRUE(set.hasOneFrom(now.date()));
    EXPECT_EQ(QDir(set.folder()).entryList({"Custom-2026*-??????.db"}, QDir::Files).size(), 11);
    EXPECT_TRUE(QFile::exists(keptByRestore));
    EXPECT_TRUE(QFile::exists(QDir(set.folder()).filePath("notes.txt")));
    EXPECT_EQ(backupDatabase(*db.connection, now).file,
              QDir(set.folder()).filePath("Custom-20261210-093001.db"));
}

TEST(BackupTest, RestoreRefusesABadBackupAndKeepsTheReplacedFile) {
    TempDatabase db;
    fillCustomers(db, 500);
    const QString backup = backupDatabase(*db.connection, now).file;
    db.addCustomer("after the backup");
    const QString dir = db.program.dir();

    QFile::copy(backup, dir + "/garbled.db");
    QFile garbled(dir + "/garbled.db");
    ASSERT_TRUE(garbled.open(QIODevice::ReadWrite));
    garbled.seek(garbled.size() / 2);
    garbled.write(QByteArray(8192, '\x5a'));
    garbled.close();
    QFile text(dir + "/text.db");
    ASSERT_TRUE(text.open(QIODevice::WriteOnly));
    text.write("not a database at all\n");
    text.close();
    QFile::copy(backup, dir + "/foreign.db"); // sound, but not a database of this program
    openDatabase(dir + "/foreign.db")->execute({"drop table admin", {}});
    const BackupSet set(db.program.databasePath());
    for (const QString& bad :
         {dir + "/garbled.db", dir + "/text.db", dir + "/foreign.db", dir + "/missing.db"}) {
        SCOPED_TRACE(bad.toStdString());
        EXPECT_THROW(
            restoreSqliteBackup(bad, db.program.databasePath(), set.newPath(now, "before-restore")),
            AppError);
        EXPECT_EQ(db.count("1=1"), 501);
        EXPECT_EQ(QDir(set.folder()).entryList({"*before-restore*"}).size(), 0);
    }

    // Not while another copy of the program has the file open.
    EXPECT_THROW(
        restoreSqliteBackup(backup, db.program.databasePath(), set.newPath(now, "before-restore")),
        AppError);
    EXPECT_EQ(db.count("1=1"), 501);
    db.connection.reset();
    const QString kept =
        restoreSqliteBackup(backup, db.program.databasePath(), set.newPath(now, "before-restore"));
    db.connection = openDatabase(db.program.databasePath());
    EXPECT_EQ(db.count("1=1"), 500);
    EXPECT_EQ(customersIn(kept), 501);
    EXPECT_EQ(sqliteFileProblems(db.program.databasePath()), "");
}

} // namespace
