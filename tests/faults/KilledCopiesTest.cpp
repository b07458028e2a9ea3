// Restores and backups killed at random moments: the database is always the old one or the
// restored one, whole, with no journal beside it from the other; the Backup folder holds only
// sound copies; what a killed run left is cleared by the next.

#include "SaverProcess.h"

#include "data/BackupSet.h"
#include "data/Engine.h"
#include "data/sqlite/SqliteBackup.h"
#include "tests/support/TempProgram.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QThread>
#include <gtest/gtest.h>

namespace {

constexpr int kKills = 20;

qint64 customersIn(const QString& path) {
    auto rows = openDatabase(path)->query({"SELECT count(*) FROM Custom", {}});
    return rows->next() ? rows->toInt64(0) : -1;
}

void addCustomers(const QString& path, int count) {
    auto connection = openDatabase(path);
    Transaction transaction(*connection);
    for (int i = 0; i < count; ++i)
        connection->execute({"INSERT INTO Custom (Company, memo2) VALUES (?, ?)",
                             {QString("客户%1").arg(i), QString(300, u'备')}});
    transaction.commit();
}

// Microseconds from the helper's "GO" to its end, when nothing stops it.
qint64 fullRunMicros(const QStringList& arguments) {
    SaverProcess saver(arguments);
    EXPECT_TRUE(saver.waitForLines(1, 20000)) << saver.errors().toStdString();
    QElapsedTimer clock;
    clock.start();
    EXPECT_TRUE(saver.finish(60000)) << saver.errors().toStdString();
    return clock.nsecsElapsed() / 1000;
}

// Kills the helper at a random moment of a run that takes about micros, or just after it.
void killSomewhereIn(const QStringList& arguments, qint64 micros, QRandomGenerator& random) {
    SaverProcess saver(arguments);
    ASSERT_TRUE(saver.waitForLines(1, 20000)) << saver.errors().toStdString();
    QThread::usleep(random.bounded(quint64(micros * 3 / 2 + 1)));
    saver.kill();
}

QStringList leftoversIn(const QString& folder) {
    return QDir(folder).entryList({"*partial*", "*-journal"}, QDir::Files);
}

QByteArray bytesOf(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Onto a sound database and onto a damaged one, in turns.
TEST(KilledCopies, ARestoreKilledAnywhereLeavesTheOldOrTheRestoredDatabase) {
    TempProgram program;
    const QString database = program.databasePath();
    addCustomers(database, 1500);
    const QString backup = QDir(program.dir()).filePath("backup.db");
    ASSERT_TRUE(QFile::copy(database, backup));
    addCustomers(database, 500); // the database has moved on since the backup
    const QString sound = QDir(program.dir()).filePath("sound.db");
    ASSERT_TRUE(QFile::copy(database, sound));
    QByteArray damaged = bytesOf(sound);
    damaged.replace(damaged.size() / 2, 8192, QByteArray(8192, '\x5a'));
    const QStringList arguments{"restore", backup, database};
    const qint64 micros = fullRunMicros(arguments);
    ASSERT_EQ(customersIn(database), 1500);

    QRandomGenerator random(20261211);
    int restored = 0;
    for (int run = 0; run < kKills; ++run) {
        SCOPED_TRACE(run);
        const bool ontoDamaged = run % 2;
        QFile::remove(database);
        {
            QFile file(database);
            ASSERT_TRUE(file.open(QIODevice::WriteOnly));
            file.write(ontoDamaged ? damaged : bytesOf(sound));
        }
        killSomewhereIn(arguments, micros, random);
        if (ontoDamaged && bytesOf(database) == damaged)
            continue; // the old file, untouched
        // Opened as the program opens it: a journal or log beside the file is replayed, and
        // would break a file it does not belong to.
        ASSERT_EQ(integrityOf(database), "ok");
        const qint64 rows = customersIn(database);
        ASSERT_TRUE(rows == 1500 || (rows == 2000 && !ontoDamaged)) << rows;
        restored += rows == 1500;
    }
    std::printf("%d of %d killed restores had finished (a run takes %lld µs)\n", restored, kKills,
                static_cast<long long>(micros));
    // The next restore clears what the killed ones left beside the database and in Backup.
    ASSERT_TRUE(SaverProcess(arguments).finish(60000));
    EXPECT_EQ(leftoversIn(QFileInfo(database).absolutePath()), QStringList());
    EXPECT_EQ(leftoversIn(BackupSet(database).folder()), QStringList());
}

TEST(KilledCopies, ABackupKilledAnywhereLeavesNoCopyThatCountsUnlessItIsSound) {
    TempProgram program;
    const QString database = program.databasePath();
    addCustomers(database, 2000);
    const BackupSet set(database);
    const QStringList arguments{"backup", database};
    const qint64 micros = fullRunMicros(arguments);

    QRandomGenerator random(20261212);
    for (int run = 0; run < kKills; ++run) {
        SCOPED_TRACE(run);
        killSomewhereIn(arguments, micros, random);
        for (const QString& name : QDir(set.folder()).entryList({"Custom-*.db"}, QDir::Files)) {
            const QString copy = QDir(set.folder()).filePath(name);
            ASSERT_EQ(sqliteFileProblems(copy), "") << name.toStdString();
            ASSERT_EQ(customersIn(copy), 2000) << name.toStdString();
        }
    }
    ASSERT_TRUE(SaverProcess(arguments).finish(60000));
    EXPECT_EQ(leftoversIn(set.folder()), QStringList());
    EXPECT_TRUE(set.hasOneFrom(QDate::currentDate()));
}

} // namespace
