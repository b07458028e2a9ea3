#include "SqliteBackup.h"

#include "AppError.h"
#include "SqliteEngine.h"

#include <QFile>
#include <QFileInfo>
#include <sqlite3.h>

namespace {

// Closes the handle however the function is left.
struct OwnedDb {
    sqlite3* db = nullptr;
    ~OwnedDb() { sqlite3_close_v2(db); }
};

constexpr int busyWaitMs = 5000;

QString errorOf(sqlite3* db) {
    return QString::fromUtf8(sqlite3_errmsg(db));
}

sqlite3* openFile(OwnedDb& owned, const QString& path, int flags) {
    if (sqlite3_open_v2(path.toUtf8().constData(), &owned.db, flags, nullptr) != SQLITE_OK)
        throw AppError(QStringLiteral("无法打开数据库文件 '%1'：%2").arg(path, errorOf(owned.db)));
    sqlite3_busy_timeout(owned.db, busyWaitMs);
    return owned.db;
}

void run(sqlite3* db, const char* sql) {
    if (sqlite3_exec(db, sql, nullptr, nullptr, nullptr) != SQLITE_OK)
        throw AppError(errorOf(db));
}

// The rows of a one-column statement, joined by new lines.
QString textRows(sqlite3* db, const char* sql) {
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(db, sql, -1, &st, nullptr) != SQLITE_OK)
        throw AppError(errorOf(db));
    QStringList rows;
    int rc;
    while ((rc = sqlite3_step(st)) == SQLITE_ROW)
        rows << QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, 0)));
    sqlite3_finalize(st);
    if (rc != SQLITE_DONE)
        throw AppError(errorOf(db));
    return rows.join(u'\n');
}

// Copies source's pages into dest, stepping so that progress can be shown and a cancel heard.
bool copyPages(sqlite3* source, sqlite3* dest, const ProgressFn& progress, int pagesPerStep) {
    sqlite3_backup* backup = sqlite3_backup_init(dest, "main", source, "main");
    if (!backup)
        throw AppError(errorOf(dest));
    int rc = SQLITE_OK;
    bool cancelled = false;
    while (rc == SQLITE_OK || rc == SQLITE_BUSY || rc == SQLITE_LOCKED) {
        rc = sqlite3_backup_step(backup, pagesPerStep);
        if (rc == SQLITE_BUSY || rc == SQLITE_LOCKED)
            sqlite3_sleep(20);
        const int total = sqlite3_backup_pagecount(backup);
        if (rc != SQLITE_DONE && progress &&
            !progress(total - sqlite3_backup_remaining(backup), total)) {
            cancelled = true;
            break;
        }
    }
    sqlite3_backup_finish(backup);
    if (!cancelled && rc != SQLITE_DONE)
        throw AppError(errorOf(dest));
    return !cancelled;
}

QString sqliteFileProblemsOrThrow(const QString& path) {
    if (!QFileInfo(path).isFile())
        return QStringLiteral("文件不存在");
    OwnedDb owned;
    sqlite3* db = openFile(owned, path, SQLITE_OPEN_READONLY);
    const QString verdict = textRows(db, "PRAGMA integrity_check");
    return verdict == QLatin1String("ok") ? QString() : verdict;
}

// Sound, and a database of this program: the operators and the customers are there.
QString backupProblems(const QString& path) {
    const QString problems = sqliteFileProblems(path);
    if (!problems.isEmpty())
        return problems;
    OwnedDb owned;
    const QString tables = textRows(openFile(owned, path, SQLITE_OPEN_READONLY),
                                    "SELECT count(*) FROM sqlite_master WHERE type='table' AND "
                                    "name IN ('admin','Custom') COLLATE NOCASE");
    return tables == QLatin1String("2") ? QString() : QStringLiteral("不是客户管理系统的数据库");
}

// Takes the file for this connection alone until it closes; refuses while others have it open.
void holdAlone(sqlite3* db, const QString& path) {
    run(db, "PRAGMA locking_mode=EXCLUSIVE");
    sqlite3_busy_timeout(db, 500); // an open copy elsewhere stays open: no use waiting long
    const int rc = sqlite3_exec(db, "BEGIN EXCLUSIVE; COMMIT", nullptr, nullptr, nullptr);
    sqlite3_busy_timeout(db, busyWaitMs);
    if (rc != SQLITE_OK)
        throw AppError(
            QStringLiteral("数据库文件 '%1' 正被其他程序使用，请先在所有电脑上关闭本程序")
                .arg(path));
}

class SqliteOnlineBackup : public OnlineBackup {
  public:
    explicit SqliteOnlineBackup(sqlite3* db) : db_(db) {}

    QString sourceFile() const override {
        return QString::fromUtf8(sqlite3_db_filename(db_, "main"));
    }
    bool copyTo(const QString& target, const ProgressFn& progress) override {
        return copySqliteDatabase(db_, target, progress);
    }
    QString problemsIn(const QString& copy) const override { return sqliteFileProblems(copy); }

  private:
    sqlite3* db_;
};

} // namespace

QString sqliteFileProblems(const QString& path) {
    try {
        return sqliteFileProblemsOrThrow(path);
    } catch (const AppError& error) {
        return error.text();
    }
}

bool copySqliteDatabase(sqlite3* source, const QString& target, const ProgressFn& progress,
                        int pagesPerStep) {
    // One read transaction over every step: writers elsewhere go on (WAL) and the copy stays
    // one moment of the database instead of starting over at each of their commits.
    run(source, "BEGIN");
    bool copied = false;
    try {
        run(source, "SELECT count(*) FROM sqlite_master");
        OwnedDb dest;
        openFile(dest, target, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
        copied = copyPages(source, dest.db, progress, pagesPerStep);
        if (copied) // a copy is one file that any sqlite3 reads, with no journal beside it
            run(dest.db, "PRAGMA journal_mode=DELETE");
    } catch (...) {
        sqlite3_exec(source, "ROLLBACK", nullptr, nullptr, nullptr);
        QFile::remove(target);
        throw;
    }
    sqlite3_exec(source, "ROLLBACK", nullptr, nullptr, nullptr);
    if (!copied)
        QFile::remove(target);
    return copied;
}

QString restoreSqliteBackup(const QString& backupFile, const QString& databaseFile,
                            const QString& keptFile) {
    const QString problems = backupProblems(backupFile);
    if (!problems.isEmpty())
        throw AppError(QStringLiteral("备份文件 '%1' 不能用来恢复：%2").arg(backupFile, problems));
    OwnedDb backup;
    openFile(backup, backupFile, SQLITE_OPEN_READONLY);
    const bool exists = QFileInfo(databaseFile).isFile();
    if (exists && sqliteFileProblems(databaseFile).isEmpty()) {
        // Page by page into the live file, so the journal beside it stays right.
        OwnedDb current;
        openFile(current, databaseFile, SQLITE_OPEN_READWRITE);
        holdAlone(current.db, databaseFile);
        copySqliteDatabase(current.db, keptFile, {});
        copyPages(backup.db, current.db, {}, -1);
    } else {
        if (exists && !QFile::copy(databaseFile, keptFile)) // a damaged file is kept as it is
            throw AppError(QStringLiteral("无法保留原数据库文件到 '%1'").arg(keptFile));
        for (const char* suffix : {"", "-wal", "-shm"})
            QFile::remove(databaseFile + QLatin1String(suffix));
        copySqliteDatabase(backup.db, databaseFile, {});
    }
    const QString after = sqliteFileProblems(databaseFile);
    if (!after.isEmpty())
        throw AppError(QStringLiteral("恢复后的数据库检查未通过：%1").arg(after));
    return QFileInfo(keptFile).exists() ? keptFile : QString();
}

std::unique_ptr<OnlineBackup> SqliteConnection::onlineBackup() {
    return std::make_unique<SqliteOnlineBackup>(handle());
}
