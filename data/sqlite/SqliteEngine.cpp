#include "SqliteEngine.h"

#include "SqliteSearchIndex.h"
#include "data/AppError.h"
#include "data/BusyWaiter.h"
#include "data/DisplayFormat.h"
#include "data/EngineReason.h"
#include "data/JetFunctions.h"

#include <QDate>
#include <QFileInfo>
#include <sqlite3.h>

namespace {

QString errorText(sqlite3* db) {
    return explainedSqliteError(db);
}

bool isLockError(int rc) {
    const int primary = rc & 0xff;
    return primary == SQLITE_BUSY || primary == SQLITE_LOCKED;
}

[[noreturn]] void fail(sqlite3* db) {
    if (isLockError(sqlite3_extended_errcode(db)))
        throw DatabaseBusy();
    throw AppError(errorText(db));
}

// SQLite calls this while another connection holds the lock it needs; 0 gives up.
int waitWhileBusy(void* waiter, int /*attempt*/) {
    return static_cast<BusyWaiter*>(waiter)->wait() ? 1 : 0;
}

// Ends a wait for a lock once the statement that waited is through, however it ended.
class WaitOver {
  public:
    explicit WaitOver(BusyWaiter* waiter) : waiter_(waiter) {}
    ~WaitOver() {
        if (waiter_ && waiter_->waiting())
            waiter_->waitOver();
    }
    WaitOver(const WaitOver&) = delete;
    WaitOver& operator=(const WaitOver&) = delete;

  private:
    BusyWaiter* waiter_;
};

// While the note of a wait takes input, that input must not start a statement on the
// connection that is waiting: SQLite does not allow it from inside its wait.
void refuseWhileWaiting(BusyWaiter* waiter) {
    if (waiter && waiter->waiting())
        throw DatabaseBusy();
}

bool declaredAs(const QString& decl, std::initializer_list<const char*> words) {
    for (const char* w : words)
        if (decl.contains(QLatin1String(w)))
            return true;
    return false;
}

int declaredSize(const QString& decl) {
    const qsizetype open = decl.indexOf(u'(');
    if (open < 0)
        return 0;
    const qsizetype close = decl.indexOf(u')', open);
    return decl.mid(open + 1, close < 0 ? -1 : close - open - 1)
        .section(u',', 0, 0)
        .trimmed()
        .toInt();
}

FieldKind kindOfDeclaredType(const QString& decl) {
    if (declaredAs(decl, {"BIGINT"}))
        return FieldKind::LargeInt;
    if (declaredAs(decl, {"INT"}))
        return FieldKind::Integer;
    if (declaredAs(decl, {"BOOL", "YESNO", "BIT"}))
        return FieldKind::Boolean;
    if (declaredAs(decl, {"MEMO", "LONGTEXT"}))
        return FieldKind::Memo;
    if (declaredAs(decl, {"CHAR", "TEXT", "CLOB", "STRING"}))
        return FieldKind::Text;
    if (declaredAs(decl, {"CURRENCY", "MONEY"}))
        return FieldKind::Currency;
    if (declaredAs(decl, {"DECIMAL", "NUMERIC"}))
        return FieldKind::Decimal;
    if (declaredAs(decl, {"REAL", "FLOA", "DOUB"}))
        return FieldKind::Float;
    if (declaredAs(decl, {"DATE", "TIME"}))
        return FieldKind::DateTime;
    if (declaredAs(decl, {"BLOB", "BINARY"}))
        return FieldKind::Bytes;
    return FieldKind::Text;
}

int primaryKeyColumns(sqlite3* db, const char* table) {
    sqlite3_stmt* st = nullptr;
    int count = 0;
    if (sqlite3_prepare_v2(db, "SELECT count(*) FROM pragma_table_info(?1) WHERE pk > 0", -1, &st,
                           nullptr) == SQLITE_OK &&
        sqlite3_bind_text(st, 1, table, -1, SQLITE_STATIC) == SQLITE_OK &&
        sqlite3_step(st) == SQLITE_ROW)
        count = sqlite3_column_int(st, 0);
    sqlite3_finalize(st);
    return count;
}

ColumnInfo describeColumn(sqlite3* db, sqlite3_stmt* st, int i) {
    ColumnInfo info;
    info.name = QString::fromUtf8(sqlite3_column_name(st, i));
    const QString decl = QString::fromUtf8(sqlite3_column_decltype(st, i)).toUpper();
    info.kind = kindOfDeclaredType(decl);
    info.size = (info.kind == FieldKind::Text) ? declaredSize(decl) : 0;
    const char* table = sqlite3_column_table_name(st, i);
    const char* origin = sqlite3_column_origin_name(st, i);
    if (!table || !origin)
        return info;
    info.table = QString::fromUtf8(table);
    info.baseColumn = QString::fromUtf8(origin);
    int notNull = 0, primaryKey = 0, autoinc = 0;
    if (sqlite3_table_column_metadata(db, sqlite3_column_database_name(st, i), table, origin,
                                      nullptr, nullptr, &notNull, &primaryKey,
                                      &autoinc) == SQLITE_OK) {
        info.primaryKey = primaryKey != 0;
        // An INTEGER PRIMARY KEY of its own is the rowid: the database assigns it.
        if (autoinc || (primaryKey && decl == u"INTEGER" && primaryKeyColumns(db, table) == 1))
            info.kind = FieldKind::AutoInc;
    }
    return info;
}

// A blob comes back as its own bytes here, unconverted.
std::string_view textOf(sqlite3_value* v) {
    const auto* data = reinterpret_cast<const char*>(sqlite3_value_text(v));
    return data ? std::string_view(data, size_t(sqlite3_value_bytes(v))) : std::string_view();
}

CellType typeOf(sqlite3_value* v) {
    switch (sqlite3_value_type(v)) {
    case SQLITE_INTEGER:
        return CellType::Integer;
    case SQLITE_FLOAT:
        return CellType::Float;
    case SQLITE_TEXT:
        return CellType::Text;
    case SQLITE_BLOB:
        return CellType::Blob;
    default:
        return CellType::Null;
    }
}

CellValue cellOf(sqlite3_value* v) {
    CellValue cell;
    cell.type = typeOf(v);
    if (cell.type == CellType::Integer)
        cell.integer = sqlite3_value_int64(v);
    else if (cell.type == CellType::Float)
        cell.real = sqlite3_value_double(v);
    else if (cell.type != CellType::Null)
        cell.text = textOf(v);
    return cell;
}

void bindValue(sqlite3_stmt* st, int index, const QVariant& v) {
    int rc = SQLITE_OK;
    auto bindText = [&](const QString& text) {
        const QByteArray utf8 = text.toUtf8();
        return sqlite3_bind_text(st, index, utf8.constData(), int(utf8.size()), SQLITE_TRANSIENT);
    };
    if (!v.isValid() || v.isNull())
        rc = sqlite3_bind_null(st, index);
    else
        switch (v.typeId()) {
        case QMetaType::Bool:
            rc = sqlite3_bind_int(st, index, v.toBool() ? 1 : 0);
            break;
        case QMetaType::Int:
        case QMetaType::UInt:
        case QMetaType::LongLong:
        case QMetaType::ULongLong:
        case QMetaType::Short:
        case QMetaType::UShort:
        case QMetaType::Long:
        case QMetaType::ULong:
            rc = sqlite3_bind_int64(st, index, v.toLongLong());
            break;
        case QMetaType::Double:
        case QMetaType::Float:
            rc = sqlite3_bind_double(st, index, v.toDouble());
            break;
        case QMetaType::QByteArray: {
            const QByteArray bytes = v.toByteArray();
            rc = sqlite3_bind_blob(st, index, bytes.constData(), int(bytes.size()),
                                   SQLITE_TRANSIENT);
            break;
        }
        case QMetaType::QDateTime:
            rc = bindText(storedDateTimeText(v.toDateTime()));
            break;
        case QMetaType::QDate:
            rc = bindText(storedDateTimeText(QDateTime(v.toDate(), QTime(0, 0))));
            break;
        default:
            rc = bindText(v.toString());
        }
    if (rc != SQLITE_OK)
        fail(sqlite3_db_handle(st));
}

} // namespace

// ---- result set ---------------------------------------------------------------------------

SqliteResultSet::SqliteResultSet(sqlite3* db, sqlite3_stmt* statement, BusyWaiter* waiter)
    : db_(db), statement_(statement), waiter_(waiter) {
    const int n = sqlite3_column_count(statement_);
    columns_.reserve(size_t(n));
    for (int i = 0; i < n; ++i)
        columns_.push_back(describeColumn(db_, statement_, i));
}

SqliteResultSet::~SqliteResultSet() {
    sqlite3_finalize(statement_);
}

bool SqliteResultSet::next() {
    if (done_)
        return false;
    refuseWhileWaiting(waiter_);
    const WaitOver over(waiter_);
    const int rc = sqlite3_step(statement_);
    if (rc == SQLITE_ROW)
        return true;
    done_ = true;
    if (rc != SQLITE_DONE)
        fail(db_);
    return false;
}

sqlite3_value* SqliteResultSet::value(int i) const {
    // The cell itself, read through its value rather than the column calls, which convert.
    return sqlite3_column_value(statement_, i);
}

CellType SqliteResultSet::type(int i) const {
    return typeOf(value(i));
}

qint64 SqliteResultSet::toInt64(int i) const {
    return sqlite3_value_int64(value(i));
}

double SqliteResultSet::toDouble(int i) const {
    return sqlite3_value_double(value(i));
}

std::string_view SqliteResultSet::text(int i) const {
    return textOf(value(i));
}

void SqliteResultSet::readRow(CellValue* cells) const {
    for (int i = 0; i < columnCount(); ++i)
        cells[i] = cellOf(value(i));
}

// ---- connection ---------------------------------------------------------------------------

namespace {

// Looked at every thousand steps of a statement: one begun after interrupt() stops too.
int stopWhenInterrupted(void* interrupted) {
    return static_cast<std::atomic_bool*>(interrupted)->load() ? 1 : 0;
}

} // namespace

SqliteConnection::SqliteConnection(sqlite3* db, BusyWaiter* waiter) : db_(db), waiter_(waiter) {
    sqlite3_progress_handler(db_, 1000, stopWhenInterrupted, &interrupted_);
}

SqliteConnection::~SqliteConnection() {
    sqlite3_close_v2(db_);
}

// Another connection may have changed the schema (a field added on another workstation); the
// library notices only once a statement runs, after its columns were described by the old
// schema. Reading the schema afresh first describes them as they now are.
void SqliteConnection::followSchemaChanges() {
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(db_, "PRAGMA schema_version", -1, &st, nullptr) != SQLITE_OK)
        return;
    const int version = sqlite3_step(st) == SQLITE_ROW ? sqlite3_column_int(st, 0) : schemaVersion_;
    sqlite3_finalize(st);
    if (version == schemaVersion_)
        return;
    if (schemaVersion_ != -1)
        sqlite3_exec(db_, "SELECT count(*) FROM sqlite_master", nullptr, nullptr, nullptr);
    schemaVersion_ = version;
}

sqlite3_stmt* SqliteConnection::prepare(const SqlCommand& command) {
    refuseWhileWaiting(waiter_);
    const WaitOver over(waiter_); // reading the schema may wait for a lock too
    followSchemaChanges();
    const QByteArray sql = command.sql.toUtf8();
    sqlite3_stmt* st = nullptr;
    const char* tail = nullptr;
    if (sqlite3_prepare_v2(db_, sql.constData(), int(sql.size()), &st, &tail) != SQLITE_OK)
        fail(db_);
    if (!st)
        throw AppError(QString("空语句: '%1'").arg(command.sql));
    if (tail && QByteArray(tail).trimmed().size() > 0) {
        sqlite3_finalize(st);
        throw AppError(QString("一次只能执行一条语句: '%1'").arg(command.sql));
    }
    if (sqlite3_bind_parameter_count(st) != command.params.size()) {
        const int expected = sqlite3_bind_parameter_count(st);
        sqlite3_finalize(st);
        throw AppError(QString("语句需要 %1 个参数，却给了 %2 个: '%3'")
                           .arg(expected)
                           .arg(command.params.size())
                           .arg(command.sql));
    }
    try {
        for (int i = 0; i < command.params.size(); ++i)
            bindValue(st, i + 1, command.params[i]);
    } catch (...) {
        sqlite3_finalize(st);
        throw;
    }
    return st;
}

std::unique_ptr<ResultSet> SqliteConnection::query(const SqlCommand& command) {
    return std::make_unique<SqliteResultSet>(db_, prepare(command), waiter_);
}

qint64 SqliteConnection::execute(const SqlCommand& command) {
    sqlite3_stmt* st = prepare(command);
    const WaitOver over(waiter_);
    int rc;
    while ((rc = sqlite3_step(st)) == SQLITE_ROW) {
    }
    sqlite3_finalize(st);
    if (sqlite3_get_autocommit(db_))
        depth_ = 0; // the statement may have ended a transaction itself
    if (rc != SQLITE_DONE)
        fail(db_);
    return sqlite3_changes64(db_);
}

qint64 SqliteConnection::lastInsertId() {
    return sqlite3_last_insert_rowid(db_);
}

void SqliteConnection::run(const char* sql) {
    refuseWhileWaiting(waiter_);
    const WaitOver over(waiter_);
    const int rc = sqlite3_exec(db_, sql, nullptr, nullptr, nullptr);
    if (sqlite3_get_autocommit(db_))
        depth_ = 0;
    if (rc != SQLITE_OK)
        fail(db_);
}

void SqliteConnection::begin() {
    // IMMEDIATE takes the write lock at once, so a writer waits at BEGIN, not half-way.
    const QByteArray sql =
        depth_ == 0 ? QByteArray("BEGIN IMMEDIATE") : "SAVEPOINT sp" + QByteArray::number(depth_);
    run(sql.constData());
    ++depth_;
}

void SqliteConnection::commit() {
    if (depth_ == 0)
        throw AppError("没有可提交的事务");
    const QByteArray sql =
        depth_ == 1 ? QByteArray("COMMIT") : "RELEASE sp" + QByteArray::number(depth_ - 1);
    run(sql.constData());
    depth_ = std::max(0, depth_ - 1);
}

void SqliteConnection::rollback() {
    if (depth_ == 0)
        return;
    const QByteArray name = "sp" + QByteArray::number(depth_ - 1);
    const QByteArray sql =
        depth_ == 1 ? QByteArray("ROLLBACK") : "ROLLBACK TO " + name + "; RELEASE " + name;
    run(sql.constData());
    depth_ = std::max(0, depth_ - 1);
}

QStringList SqliteConnection::columnsOf(const QString& table) {
    QStringList names;
    auto rows = query({"SELECT name FROM pragma_table_info(?)", {table}});
    while (rows->next())
        names << QString::fromUtf8(rows->text(0).data(), qsizetype(rows->text(0).size()));
    return names;
}

QString SqliteConnection::quoteIdentifier(const QString& name) const {
    QString quoted = name;
    quoted.replace(u'"', QStringLiteral("\"\""));
    return u'"' + quoted + u'"';
}

QString SqliteConnection::sameValueCondition(const QString& quotedColumn) const {
    // IS matches Null with Null; BINARY keeps a change of letter case from passing as equal.
    return quotedColumn + " IS ? COLLATE BINARY";
}

SqlCommand SqliteConnection::containsCondition(const QString& table, const QString& column,
                                               const QString& keyword) {
    if (auto narrowed = SqliteSearchIndex::containsCondition(*this, table, column, keyword))
        return *narrowed;
    return Connection::containsCondition(table, column, keyword);
}

// Every text the date functions read as that day begins with one of these prefixes, a number
// (a date serial) or a blob sorts apart from all texts: ranges an index on the column serves.
// The keys found there are visited in key order, the order of the plain statement, which also
// reads each page of the table once and in file order.
SqlCommand SqliteConnection::dayCandidates(const QString& table, const QString& column,
                                           qint64 daysFromToday) {
    // Date() is today's local date, so the day is the one the statement itself compares with.
    const QDate day = QDate::currentDate().addDays(daysFromToday);
    if (!day.isValid() || day.year() < 1000 || day.year() > 9999)
        return Connection::dayCandidates(table, column, daysFromToday);
    const QString c = quoteIdentifier(column);
    const QString year = QString::number(day.year());
    QStringList months{day.toString("MM")}, days{day.toString("dd")};
    if (day.month() < 10)
        months << QString::number(day.month());
    if (day.day() < 10)
        days << QString::number(day.day());
    SqlCommand command{"rowid IN (SELECT rowid FROM " + quoteIdentifier(table) + " WHERE " + c +
                           " < '' OR " + c + " >= CAST('' AS BLOB) OR (" + c + " >= ? AND " + c +
                           " < ?)",
                       {year + "/", year + "/~"}}; // "2026" + "0" would compare as a number
    for (const QString& month : months)
        for (const QChar separator : {u'-', u'/'})
            for (const QString& d : days) {
                const QString prefix = year + u'-' + month + separator + d;
                command.sql += " OR (" + c + " >= ? AND " + c + " < ?)";
                command.params << prefix << prefix + u'~';
            }
    command.sql += ")";
    return command;
}

void SqliteConnection::createSearchIndex() {
    SqliteSearchIndex::create(*this);
}

void SqliteConnection::rebuildSearchIndex() {
    SqliteSearchIndex::rebuild(*this);
}

// Moves whenever another connection, in this process or another, commits to the file.
QString SqliteConnection::changeMarker() {
    sqlite3_stmt* st = nullptr;
    QString marker;
    if (sqlite3_prepare_v2(db_, "PRAGMA data_version", -1, &st, nullptr) == SQLITE_OK &&
        sqlite3_step(st) == SQLITE_ROW)
        marker = QString::number(sqlite3_column_int64(st, 0));
    sqlite3_finalize(st);
    return marker;
}

void SqliteConnection::interrupt() {
    interrupted_ = true;
    sqlite3_interrupt(db_);
}

void SqliteConnection::resume() {
    interrupted_ = false;
}

// ---- opening ------------------------------------------------------------------------------

namespace {

class Handle {
  public:
    ~Handle() { sqlite3_close_v2(db); }
    sqlite3* release() { return std::exchange(db, nullptr); }
    sqlite3* db = nullptr;
};

void checkFile(const QString& path) {
    if (path.trimmed().isEmpty())
        throw AppError("未指定数据库文件");
    const QFileInfo file(path);
    if (!file.exists())
        throw AppError(QString("数据库文件 '%1' 不存在").arg(path));
    if (file.isDir())
        throw AppError(QString("'%1' 是文件夹，不是数据库文件").arg(path));
    if (!file.isReadable())
        throw AppError(QString("无法读取数据库文件 '%1'").arg(path));
}

[[noreturn]] void failOpen(sqlite3* db, const QString& path, const SqliteOpenOptions& options) {
    const int rc = sqlite3_errcode(db);
    if (rc == SQLITE_NOTADB)
        throw AppError(QString("'%1' 不是数据库文件").arg(path));
    if (isLockError(rc) && options.waiter) // the operator stopped the wait
        throw DatabaseBusy();
    if (isLockError(rc))
        throw DatabaseBusy(QString("数据库文件 '%1' 被其他程序锁定，等待 %2 毫秒后仍无法使用")
                               .arg(path)
                               .arg(options.busyTimeoutMs));
    throw AppError(QString("无法打开数据库文件 '%1': %2").arg(path, errorText(db)));
}

// A real read: a foreign or locked file fails here rather than at the first statement.
void checkDatabase(sqlite3* db, const QString& path, const SqliteOpenOptions& options) {
    sqlite3_stmt* st = nullptr;
    int rc = sqlite3_prepare_v2(db, "SELECT count(*) FROM sqlite_master", -1, &st, nullptr);
    if (rc == SQLITE_OK)
        rc = sqlite3_step(st);
    const int tables = rc == SQLITE_ROW ? sqlite3_column_int(st, 0) : 0;
    sqlite3_finalize(st);
    if (rc != SQLITE_ROW)
        failOpen(db, path, options);
    if (tables == 0)
        throw AppError(QString("数据库文件 '%1' 是空的，不含任何表").arg(path));
}

bool inWalMode(sqlite3* db) {
    sqlite3_stmt* st = nullptr;
    bool wal = false;
    if (sqlite3_prepare_v2(db, "PRAGMA journal_mode", -1, &st, nullptr) == SQLITE_OK &&
        sqlite3_step(st) == SQLITE_ROW)
        wal =
            sqlite3_stricmp(reinterpret_cast<const char*>(sqlite3_column_text(st, 0)), "wal") == 0;
    sqlite3_finalize(st);
    return wal;
}

// Every page read through: switching to WAL rewrites the header, so a damaged file is refused
// as it is rather than changed first and found unreadable later.
void checkWholeFile(sqlite3* db, const QString& path, const SqliteOpenOptions& options) {
    sqlite3_stmt* st = nullptr;
    int rc = sqlite3_prepare_v2(db, "PRAGMA quick_check(1)", -1, &st, nullptr);
    if (rc == SQLITE_OK)
        rc = sqlite3_step(st);
    const QString verdict =
        rc == SQLITE_ROW
            ? QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, 0)))
            : QString();
    sqlite3_finalize(st);
    if (rc != SQLITE_ROW)
        failOpen(db, path, options);
    if (verdict != u"ok")
        throw AppError(QString("数据库文件 '%1' 已损坏: %2").arg(path, verdict));
}

} // namespace

std::unique_ptr<SqliteConnection> openSqliteDatabase(const QString& path,
                                                     const SqliteOpenOptions& options) {
    checkFile(path);
    const WaitOver over(options.waiter);
    Handle h;
    if (sqlite3_open_v2(path.toUtf8().constData(), &h.db,
                        SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr) != SQLITE_OK)
        failOpen(h.db, path, options);
    if (sqlite3_db_readonly(h.db, "main") == 1)
        throw AppError(QString("数据库文件 '%1' 是只读的，无法写入").arg(path));
    if (options.waiter)
        sqlite3_busy_handler(h.db, waitWhileBusy, options.waiter);
    else
        sqlite3_busy_timeout(h.db, options.busyTimeoutMs);
    checkDatabase(h.db, path, options);
    if (!inWalMode(h.db))
        checkWholeFile(h.db, path, options);
    // WAL lets other copies of the program read while one of them writes.
    if (sqlite3_exec(h.db, "PRAGMA journal_mode=WAL", nullptr, nullptr, nullptr) != SQLITE_OK)
        failOpen(h.db, path, options);
    if (registerJetFunctions(h.db) != SQLITE_OK)
        failOpen(h.db, path, options);
    // Pages of the rows an indexed search picks lie all over the file; 64 MiB keeps them read.
    sqlite3_exec(h.db, "PRAGMA cache_size=-65536", nullptr, nullptr, nullptr);
    // Pages read in place, not copied in by one system call each: a day's reminders alone touch
    // thousands of pages scattered over the file.
    sqlite3_exec(h.db, "PRAGMA mmap_size=1073741824", nullptr, nullptr, nullptr);
    return std::make_unique<SqliteConnection>(h.release(), options.waiter);
}
