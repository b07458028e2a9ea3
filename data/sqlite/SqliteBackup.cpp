#include "SqliteBackup.h"

#include "SqliteEngine.h"
#include "data/DurableFile.h"
#include "data/EngineReason.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <sqlite3.h>

namespace {

// Closes the handle however the function is left.
struct OwnedDb {
    sqlite3* db = nullptr;
    ~OwnedDb() { close(); }
    void close() {
        sqlite3_close_v2(db);
        db = nullptr;
    }
};

constexpr int busyWaitMs = 5000;

QString errorOf(sqlite3* db) {
    return explainedSqliteError(db);
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
    if (sqlite3_open_v2(path.toUtf8().constData(), &owned.db, SQLITE_OPEN_READONLY, nullptr) !=
        SQLITE_OK)
        return QStringLiteral("无法打开（%1）").arg(QString::fromUtf8(sqlite3_errmsg(owned.db)));
    sqlite3_busy_timeout(owned.db, busyWaitMs);
    try {
        const QString verdict = textRows(owned.db, "PRAGMA integrity_check");
        return verdict == QLatin1String("ok") ? QString() : verdict;
    } catch (const AppError&) { // the check's own words say what is wrong with the file
        return QStringLiteral("不能作为数据库读取（%1）")
            .arg(QString::fromUtf8(sqlite3_errmsg(owned.db)));
    }
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

// A damaged backup in a line or two; the whole list stays in details.
BackupRefused refusal(const QString& backupFile, const QString& problems) {
    const QStringList lines = problems.split(u'\n', Qt::SkipEmptyParts);
    QString what = lines.value(0);
    if (lines.size() > 1)
        what = QStringLiteral("完整性检查发现 %1 处问题，第一处：%2").arg(lines.size()).arg(what);
    return BackupRefused(QStringLiteral("备份文件 '%1' 不能用来恢复：%2\n数据库没有改动。请另选一个"
                                        "备份文件（加 --verbose 可列出检查发现的全部问题）。")
                             .arg(QDir::toNativeSeparators(backupFile), what),
                         problems);
}

void removeWithJournals(const QString& path) {
    for (const char* suffix : {"", "-journal", "-wal", "-shm"})
        QFile::remove(path + QLatin1String(suffix));
}

QString journalMode(sqlite3* db) {
    return textRows(db, "PRAGMA journal_mode").toLower();
}

// Takes the live file for this connection alone until it closes, out of WAL so that no log
// beside it can meet the file that replaces it. Refuses while others have it open.
void holdAlone(sqlite3* db, const QString& path) {
    sqlite3_busy_timeout(db, 500); // an open copy elsewhere stays open: no use waiting long
    const bool alone =
        sqlite3_exec(db, "PRAGMA journal_mode=DELETE", nullptr, nullptr, nullptr) == SQLITE_OK &&
        sqlite3_exec(db, "PRAGMA locking_mode=EXCLUSIVE; BEGIN EXCLUSIVE; COMMIT", nullptr, nullptr,
                     nullptr) == SQLITE_OK &&
        journalMode(db) == QLatin1String("delete");
    sqlite3_busy_timeout(db, busyWaitMs);
    if (!alone)
        throw AppError(QStringLiteral("数据库文件 '%1' 正被其他程序使用。请先在所有电脑上关闭本"
                                      "程序，再恢复。")
                           .arg(QDir::toNativeSeparators(path)));
}

// The bytes of a file that SQLite can't read, as they are, into a new file.
void copyBytes(const QString& from, const QString& to, unsigned permissions) {
    DurableFile::createEmpty(to, permissions);
    QFile source(from), target(to);
    bool copied = source.open(QIODevice::ReadOnly) && target.open(QIODevice::WriteOnly);
    while (copied && !source.atEnd()) {
        const QByteArray block = source.read(1 << 20);
        copied = !block.isEmpty() && target.write(block) == block.size();
    }
    target.close();
    if (!copied) {
        QFile::remove(to);
        throw AppError(QStringLiteral("无法保留原数据库文件到 '%1'").arg(to));
    }
}

// The replaced database into keptFile, durably, before anything of it is touched.
void keepReplaced(sqlite3* live, const QString& databaseFile, const QString& keptFile,
                  unsigned permissions) {
    const QString partial = DurableFile::partialPath(keptFile);
    if (live)
        copySqliteDatabase(live, partial, {}, 256, int(permissions));
    else
        copyBytes(databaseFile, partial, permissions);
    DurableFile::commit(partial, keptFile);
}

// The backup as a new file beside the database, in the database's own journal mode, checked.
void writeRestored(const QString& backupFile, const QString& partial, unsigned permissions) {
    OwnedDb backup;
    copySqliteDatabase(openFile(backup, backupFile, SQLITE_OPEN_READONLY), partial, {}, 256,
                       int(permissions));
    try {
        const QString problems = sqliteFileProblems(partial);
        if (!problems.isEmpty())
            throw AppError(QStringLiteral("恢复出的数据库检查未通过，数据库没有改动：%1")
                               .arg(problems.section(u'\n', 0, 0)));
        OwnedDb restored; // closed last, so its log goes with it
        run(openFile(restored, partial, SQLITE_OPEN_READWRITE), "PRAGMA journal_mode=WAL");
    } catch (...) {
        removeWithJournals(partial);
        throw;
    }
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
                        int pagesPerStep, int permissions) {
    const unsigned mode = permissions >= 0
                              ? unsigned(permissions)
                              : DurableFile::permissionsOf(
                                    QString::fromUtf8(sqlite3_db_filename(source, "main")), 0600);
    // One read transaction over every step: writers elsewhere go on (WAL) and the copy stays
    // one moment of the database instead of starting over at each of their commits.
    run(source, "BEGIN");
    bool copied = false;
    try {
        run(source, "SELECT count(*) FROM sqlite_master");
        DurableFile::createEmpty(target, mode);
        OwnedDb dest;
        openFile(dest, target, SQLITE_OPEN_READWRITE);
        copied = copyPages(source, dest.db, progress, pagesPerStep);
        if (copied) // a copy is one file that any sqlite3 reads, with no journal beside it
            run(dest.db, "PRAGMA journal_mode=DELETE");
    } catch (...) {
        sqlite3_exec(source, "ROLLBACK", nullptr, nullptr, nullptr);
        removeWithJournals(target);
        throw;
    }
    sqlite3_exec(source, "ROLLBACK", nullptr, nullptr, nullptr);
    if (!copied)
        removeWithJournals(target);
    return copied;
}

QString restoreSqliteBackup(const QString& backupFile, const QString& databaseFile,
                            const QString& keptFile) {
    const QString problems = backupProblems(backupFile);
    if (!problems.isEmpty())
        throw refusal(backupFile, problems);
    DurableFile::removeLeftovers(QFileInfo(databaseFile).absolutePath());
    const bool exists = QFileInfo(databaseFile).isFile();
    const unsigned permissions = DurableFile::permissionsOf(
        exists ? databaseFile : backupFile, DurableFile::permissionsOf(backupFile, 0600));
    // The live file stays locked by this connection until the restored one has its name.
    OwnedDb live;
    if (exists) {
        if (sqliteFileProblems(databaseFile).isEmpty()) {
            openFile(live, databaseFile, SQLITE_OPEN_READWRITE);
            holdAlone(live.db, databaseFile);
        }
        keepReplaced(live.db, databaseFile, keptFile, permissions);
    }
    const QString partial = DurableFile::partialPath(databaseFile);
    writeRestored(backupFile, partial, permissions);
    try {
        for (const char* suffix : {"-journal", "-wal", "-shm"}) // a damaged file's, not ours
            QFile::remove(databaseFile + QLatin1String(suffix));
        DurableFile::commit(partial, databaseFile);
    } catch (...) {
        removeWithJournals(partial);
        throw;
    }
    return exists ? keptFile : QString();
}

std::unique_ptr<OnlineBackup> SqliteConnection::onlineBackup() {
    return std::make_unique<SqliteOnlineBackup>(handle());
}
