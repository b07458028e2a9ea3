#include "data/AppError.h"
#include "data/BackupSet.h"
#include "data/DurableFile.h"
#include "data/sqlite/SqliteBackup.h"
#include "data/sqlite/SqliteEngine.h"
#include "tests/data/DataTestSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

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

// Today is Thursday 2026-12-10: the daily copies are those of 12-04 … 12-10, the weekly ones
// the newest of 11-30 … 12-03 (the part of that week before them) and of the three weeks before.
TEST(BackupTest, RotationKeepsSevenCalendarDaysAndFourCalendarWeeksBeforeThemAndNothingOlder) {
    const struct {
        const char* what;
        QStringList taken, kept; // "yyyy-MM-dd HH:mm"
    } cases[] = {
        {"nothing", {}, {}},
        {"a copy of sixty days ago goes, however few copies there are",
         {"2026-10-11 09:00", "2026-12-09 09:00"},
         {"2026-12-09 09:00"}},
        {"one copy of a week older than seven days",
         {"2026-11-24 09:00", "2026-11-26 18:00", "2026-11-26 09:00"},
         {"2026-11-26 18:00"}},
        {"today keeps the start of the day's copy and the latest one asked for",
         {"2026-12-10 08:01", "2026-12-10 11:00", "2026-12-10 17:30"},
         {"2026-12-10 08:01", "2026-12-10 17:30"}},
        {"a day before today keeps its newest only",
         {"2026-12-09 08:01", "2026-12-09 17:30"},
         {"2026-12-09 17:30"}},
        {"the edges of the daily days and of the weeks",
         {"2026-12-04 00:00", "2026-12-03 23:59", "2026-11-30 00:00", "2026-11-29 23:59",
          "2026-11-09 00:00", "2026-11-08 23:59"},
         {"2026-12-04 00:00", "2026-12-03 23:59", "2026-11-29 23:59", "2026-11-09 00:00"}},
        {"a copy dated after today (a clock set back) is not thrown away",
         {"2026-12-12 09:00", "2026-12-10 09:00"},
         {"2026-12-12 09:00", "2026-12-10 09:00"}},
    };
    const QDate today(2026, 12, 10);
    const auto at = [](const QString& t) { return QDateTime::fromString(t, "yyyy-MM-dd HH:mm"); };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        QList<QDateTime> taken;
        for (const QString& t : c.taken)
            taken << at(t);
        const QList<int> surplus = surplusBackups(taken, today);
        QStringList kept;
        for (int i = 0; i < taken.size(); ++i)
            if (!surplus.contains(i))
                kept << c.taken[i];
        EXPECT_EQ(kept, c.kept);
    }
}

unsigned modeOf(const QString& path) {
    return DurableFile::permissionsOf(path, 01000);
}

// A real backup into a folder that holds forty older ones, a restore's keep, a stranger and what
// killed copies left; the database is private, and so are its copies.
TEST(BackupTest, ABackupIsCheckedNamedByTheClockCarriesThePermissionsAndRotatesItsFolder) {
    TempDatabase db;
    const QString dir = QFileInfo(db.program.databasePath()).absolutePath();
    ASSERT_EQ(::chmod(QFile::encodeName(db.program.databasePath()).constData(), 0600), 0);
    ASSERT_EQ(::chmod(QFile::encodeName(dir).constData(), 0750), 0);
    const BackupSet set(db.program.databasePath());
    ASSERT_TRUE(QDir().mkpath(set.folder()));
    ASSERT_EQ(::chmod(QFile::encodeName(set.folder()).constData(), 0777), 0);
    for (int day = 1; day <= 40; ++day)
        QFile(set.newPath(now.addDays(-day))).open(QIODevice::WriteOnly);
    const QString keptByRestore = set.newPath(now.addDays(-90), "before-restore");
    QFile(keptByRestore).open(QIODevice::WriteOnly);
    QFile(QDir(set.folder()).filePath("notes.txt")).open(QIODevice::WriteOnly);
    const auto write = [&](const QString& name, const QByteArray& bytes) {
        QFile file(QDir(set.folder()).filePath(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    };
    // A killed run of this version (its process is gone), one of a copy still writing (this
    // process), and a half copy with its hot journal from an older version: today has none yet.
    write("Custom-20261210-080000.db.partial-2147483647", "half");
    write("Custom-20261210-080000.db.partial-2147483647-journal", "journal");
    const QString writing = DurableFile::partialPath("Custom-20261210-080500.db");
    write(writing, "being written");
    write("Custom-20261210-081000.db", "half");
    write("Custom-20261210-081000.db-journal", "hot journal");
    EXPECT_FALSE(set.hasOneFrom(now.date())) << "a half copy is no backup";

    const BackupResult result = backupDatabase(*db.connection, now);
    ASSERT_EQ(result.outcome, BackupResult::Made);
    EXPECT_EQ(result.file, QDir(set.folder()).filePath("Custom-20261210-093000.db"));
    EXPECT_EQ(sqliteFileProblems(result.file), "");
    EXPECT_EQ(modeOf(result.file), 0600u);
    EXPECT_EQ(modeOf(set.folder()), 0750u);
    EXPECT_TRUE(set.hasOneFrom(now.date()));
    EXPECT_EQ(QDir(set.folder()).entryList({"Custom-2026*-??????.db"}, QDir::Files).size(), 11);
    EXPECT_TRUE(QFile::exists(keptByRestore));
    EXPECT_TRUE(QFile::exists(QDir(set.folder()).filePath("notes.txt")));
    EXPECT_TRUE(QFile::exists(QDir(set.folder()).filePath(writing)));
    EXPECT_EQ(QDir(set.folder()).entryList({"*2147483647*", "*-journal"}).size(), 0);
    EXPECT_EQ(backupDatabase(*db.connection, now).file,
              QDir(set.folder()).filePath("Custom-20261210-093001.db"));
}

TEST(BackupTest, RestoreRefusesABadBackupBrieflyAndKeepsTheReplacedFileAsPrivateAsItWas) {
    TempDatabase db;
    fillCustomers(db, 500);
    const QString backup = backupDatabase(*db.connection, now).file;
    db.addCustomer("after the backup");
    ASSERT_EQ(::chmod(QFile::encodeName(db.program.databasePath()).constData(), 0640), 0);
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
        try {
            restoreSqliteBackup(bad, db.program.databasePath(), set.newPath(now, "before-restore"));
            ADD_FAILURE() << "restored from a bad backup";
        } catch (const BackupRefused& refused) {
            EXPECT_LE(refused.text().count(u'\n'), 1) << refused.text().toStdString();
            EXPECT_TRUE(refused.text().contains(QStringLiteral("不能用来恢复")));
            EXPECT_FALSE(refused.details.isEmpty()); // the whole list, for --verbose
        }
        EXPECT_EQ(db.count("1=1"), 501);
        EXPECT_EQ(QDir(set.folder()).entryList({"*before-restore*"}).size(), 0);
    }

    // Not while another copy of the program has the file open.
    EXPECT_THAT(errorOf([&] {
                    restoreSqliteBackup(backup, db.program.databasePath(),
                                        set.newPath(now, "before-restore"));
                }),
                ::testing::HasSubstr("正被其他程序使用"));
    EXPECT_EQ(db.count("1=1"), 501);
    db.connection.reset();
    const QString kept =
        restoreSqliteBackup(backup, db.program.databasePath(), set.newPath(now, "before-restore"));
    EXPECT_EQ(modeOf(kept), 0640u);
    EXPECT_EQ(modeOf(db.program.databasePath()), 0640u);
    EXPECT_EQ(QDir(QFileInfo(kept).absolutePath() + "/..").entryList({"Custom.db?*"}),
              QStringList());
    db.connection = openDatabase(db.program.databasePath());
    EXPECT_EQ(db.count("1=1"), 500);
    EXPECT_EQ(customersIn(kept), 501);
    EXPECT_EQ(sqliteFileProblems(db.program.databasePath()), "");
}

} // namespace
