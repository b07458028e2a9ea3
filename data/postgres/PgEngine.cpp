#include "PgEngine.h"

#include "data/AppError.h"
#include "data/DisplayFormat.h"
#include "data/EngineReason.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QMap>
#include <QRegularExpression>
#include <QTimeZone>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <libpq-fe.h>
#include <poll.h>

namespace Pg {

namespace {

// Type numbers fixed by the server's catalogue.
enum : Oid {
    BoolOid = 16,
    ByteaOid = 17,
    Int8Oid = 20,
    Int2Oid = 21,
    Int4Oid = 23,
    TextOid = 25,
    OidOid = 26,
    Float4Oid = 700,
    Float8Oid = 701,
    MoneyOid = 790,
    BpcharOid = 1042,
    VarcharOid = 1043,
    DateOid = 1082,
    TimestampOid = 1114,
    TimestamptzOid = 1184,
    NumericOid = 1700,
};

QString trimmedMessage(const char* text) {
    return QString::fromUtf8(text).trimmed();
}

// The server's reason for a failed statement, explained where the operator can act on it.
QString failureOf(const PGresult* r) {
    return explainedFailure(serverFailureKind(PQresultErrorField(r, PG_DIAG_SQLSTATE)),
                            trimmedMessage(PQresultErrorMessage(r)));
}

const QString lostText = QStringLiteral("与数据库服务器的连接已中断，操作未完成，请稍后重试");

FieldKind kindOfTypeName(const QString& name) {
    static const QHash<QString, FieldKind> kinds = {
        {"yesno", FieldKind::Boolean},
        {"bool", FieldKind::Boolean},
        {"memo", FieldKind::Memo},
        {"int2", FieldKind::Integer},
        {"int4", FieldKind::Integer},
        {"int8", FieldKind::LargeInt},
        {"oid", FieldKind::Integer},
        {"float4", FieldKind::Float},
        {"float8", FieldKind::Float},
        {"currency", FieldKind::Currency},
        {"money", FieldKind::Currency},
        {"numeric", FieldKind::Decimal},
        {"varchar", FieldKind::Text},
        {"bpchar", FieldKind::Text},
        {"text", FieldKind::Text},
        {"timestamp", FieldKind::DateTime},
        {"timestamptz", FieldKind::DateTime},
        {"date", FieldKind::DateTime},
        {"datetime", FieldKind::DateTime},
        {"bytea", FieldKind::Bytes},
    };
    return kinds.value(name, FieldKind::Text);
}

FieldKind kindOfOid(Oid type) {
    switch (type) {
    case BoolOid:
        return FieldKind::Boolean;
    case ByteaOid:
        return FieldKind::Bytes;
    case Int8Oid:
        return FieldKind::LargeInt;
    case Int2Oid:
    case Int4Oid:
    case OidOid:
        return FieldKind::Integer;
    case Float4Oid:
    case Float8Oid:
        return FieldKind::Float;
    case MoneyOid:
        return FieldKind::Currency;
    case NumericOid:
        return FieldKind::Decimal;
    case DateOid:
    case TimestampOid:
    case TimestamptzOid:
        return FieldKind::DateTime;
    default:
        return FieldKind::Text;
    }
}

CellType cellTypeOfOid(Oid type) {
    switch (type) {
    case BoolOid:
    case Int2Oid:
    case Int4Oid:
    case Int8Oid:
    case OidOid:
        return CellType::Integer;
    case Float4Oid:
    case Float8Oid:
    case NumericOid:
        return CellType::Float;
    case ByteaOid:
        return CellType::Blob;
    default:
        return CellType::Text;
    }
}

int textSize(Oid type, int typmod) {
    return (type == VarcharOid || type == BpcharOid) && typmod >= 4 ? typmod - 4 : 0;
}

int hexValue(char c) {
    return c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : c - 'A' + 10;
}

// A value as the text the server reads; the server infers its type from where it stands.
std::string wireText(const QVariant& v) {
    switch (v.typeId()) {
    case QMetaType::Bool:
        return v.toBool() ? "1" : "0"; // yes/no columns store 0 and 1
    case QMetaType::Double:
    case QMetaType::Float:
        return QString::number(v.toDouble(), 'g', 17).toStdString();
    case QMetaType::QDateTime:
        return storedDateTimeText(v.toDateTime()).toStdString();
    case QMetaType::QDate:
        return storedDateTimeText(QDateTime(v.toDate(), QTime(0, 0))).toStdString();
    case QMetaType::QByteArray:
        return "\\x" + v.toByteArray().toHex().toStdString();
    default:
        return v.toString().toStdString();
    }
}

class Result {
  public:
    explicit Result(PGresult* r) : r_(r) {}
    ~Result() { PQclear(r_); }
    PGresult* get() const { return r_; }
    PGresult* release() { return std::exchange(r_, nullptr); }

  private:
    PGresult* r_;
};

} // namespace

// ---- result set ---------------------------------------------------------------------------

PgResultSet::PgResultSet(PGresult* result, std::vector<ColumnInfo> columns)
    : result_(result), columns_(std::move(columns)), rows_(PQntuples(result)) {
    for (int i = 0; i < PQnfields(result_); ++i) {
        types_.push_back(cellTypeOfOid(PQftype(result_, i)));
        times_.push_back(PQftype(result_, i) == TimestampOid);
    }
    bytes_.resize(types_.size());
}

PgResultSet::~PgResultSet() {
    PQclear(result_);
}

void PgResultSet::replaceResult(PGresult* result) {
    PQclear(result_);
    result_ = result;
    rows_ = result ? PQntuples(result) : 0;
    row_ = 0;
}

bool PgResultSet::next() {
    if (row_ >= rows_)
        return false;
    ++row_;
    return row_ < rows_;
}

CellType PgResultSet::type(int i) const {
    return PQgetisnull(result_, row_, i) ? CellType::Null : types_[size_t(i)];
}

qint64 PgResultSet::toInt64(int i) const {
    const char* v = PQgetvalue(result_, row_, i);
    if (PQftype(result_, i) == BoolOid)
        return v[0] == 't' ? 1 : 0;
    return std::strtoll(v, nullptr, 10);
}

double PgResultSet::toDouble(int i) const {
    return std::strtod(PQgetvalue(result_, row_, i), nullptr);
}

std::string_view PgResultSet::text(int i) const {
    const char* v = PQgetvalue(result_, row_, i);
    const size_t length = size_t(PQgetlength(result_, row_, i));
    if (times_[size_t(i)])
        return withWholeMilliseconds({v, length}, bytes_[size_t(i)]);
    if (types_[size_t(i)] != CellType::Blob)
        return {v, length};
    // Byte columns arrive as hex text after "\x".
    std::string& out = bytes_[size_t(i)];
    out.clear();
    for (size_t k = 2; k + 1 < length; k += 2)
        out += char(hexValue(v[k]) * 16 + hexValue(v[k + 1]));
    return out;
}

// ---- connection ---------------------------------------------------------------------------

PgConnection::PgConnection(PGconn* conn) : conn_(conn) {
    // The server's notices (an index skipped, a table not there to drop) are not for operators.
    PQsetNoticeProcessor(
        conn_, [](void*, const char*) {}, nullptr);
    readCatalog(sessionSettings()); // one round trip for both
}

PgConnection::~PgConnection() {
    dropParked();
    PQfreeCancel(cancel_);
    PQfinish(conn_);
}

// Today's date and the stored times are the workstation's, as with the embedded engine; a lock
// held by another workstation is waited for as long as there.
QByteArray PgConnection::sessionSettings() const {
    QByteArray sql = "SET DateStyle = 'ISO, YMD'; SET IntervalStyle = 'postgres'; "
                     "SET lock_timeout = '5s'; SET client_encoding = 'UTF8'; "
                     // A prepared search is planned for its own pattern, as an unprepared one.
                     "SET plan_cache_mode = 'force_custom_plan'";
    const QByteArray zone = QTimeZone::systemTimeZoneId();
    if (!zone.isEmpty())
        sql += "; SET TimeZone = '" + QByteArray(zone).replace('\'', "''") + "'";
    return sql;
}

namespace {

// Every column of every table of the schema with what the program needs to know of it.
const char* const catalogSql =
    "SELECT c.oid, c.relname, a.attnum, a.attname, a.attisdropped, t.typname, bt.typname, "
    "CASE WHEN t.typtype = 'd' THEN t.typtypmod ELSE a.atttypmod END, "
    "a.attidentity <> '' OR coalesce(pg_get_expr(d.adbin, d.adrelid) LIKE 'nextval(%', false), "
    "coalesce(a.attnum = ANY (i.indkey::int2[]), false), "
    "coalesce(nullif(t.typbasetype, 0), t.oid) IN (25, 1042, 1043), "
    "array_position(i.indkey::int2[], a.attnum) "
    "FROM pg_class c JOIN pg_namespace n ON n.oid = c.relnamespace "
    "LEFT JOIN pg_attribute a ON a.attrelid = c.oid AND a.attnum > 0 "
    "LEFT JOIN pg_type t ON t.oid = a.atttypid "
    "LEFT JOIN pg_type bt ON bt.oid = t.typbasetype "
    "LEFT JOIN pg_attrdef d ON d.adrelid = a.attrelid AND d.adnum = a.attnum "
    "LEFT JOIN pg_index i ON i.indrelid = c.oid AND i.indisprimary "
    "WHERE n.nspname = current_schema() AND c.relkind IN ('r', 'v', 'p') "
    "ORDER BY c.oid, a.attnum";

// A column's details from a row of catalogSql.
ColumnInfo columnOfRow(PGresult* r, int row) {
    ColumnInfo c;
    c.table = QString::fromUtf8(PQgetvalue(r, row, 1));
    c.baseColumn = QString::fromUtf8(PQgetvalue(r, row, 3));
    const QString type = QString::fromUtf8(PQgetvalue(r, row, 5));
    const QString base = QString::fromUtf8(PQgetvalue(r, row, 6));
    c.kind =
        kindOfTypeName(kindOfTypeName(type) == FieldKind::Text && !base.isEmpty() ? base : type);
    const int typmod = std::atoi(PQgetvalue(r, row, 7));
    const QString sized = base.isEmpty() ? type : base;
    if ((sized == "varchar" || sized == "bpchar") && typmod >= 4)
        c.size = typmod - 4;
    c.primaryKey = PQgetvalue(r, row, 9)[0] == 't';
    if (PQgetvalue(r, row, 8)[0] == 't')
        c.kind = FieldKind::AutoInc;
    return c;
}

} // namespace

void PgConnection::executeNative(const QString& sql) {
    ensureConnected();
    dropParked();
    flushBegin();
    Result r(PQexec(conn_, sql.toUtf8().constData()));
    const ExecStatusType status = PQresultStatus(r.get());
    if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK)
        throw AppError(failureOf(r.get()));
}

void PgConnection::refreshNames() {
    flushBegin();
    readCatalog({});
}

// The settings, when given, and the catalogue travel together: each in a pipeline step of its
// own, so a setting the server refuses (an unknown time zone) loses only itself.
void PgConnection::readCatalog(const QByteArray& settingsFirst) {
    names_.clear();
    textColumns_.clear();
    translations_.clear();
    keyOrders_.clear();
    tables_.clear();
    tableColumnNames_.clear();
    tableKeys_.clear();
    QList<QByteArray> steps =
        settingsFirst.isEmpty() ? QList<QByteArray>{} : settingsFirst.split(';');
    // A statement prepared before the change could give rows of the old shape.
    if (!prepared_.isEmpty())
        steps << "DEALLOCATE ALL";
    prepared_.clear();
    sent_.clear();
    steps << catalogSql;
    Result catalog(pipelined(steps));
    if (PQresultStatus(catalog.get()) == PGRES_TUPLES_OK)
        readCatalogRows(catalog.get());
}

// Sends the statements at once, each in a pipeline step of its own so that one the server
// refuses loses only itself; gives back the last one's result (null when there is none).
PGresult* PgConnection::pipelined(const QList<QByteArray>& statements) {
    PQenterPipelineMode(conn_);
    for (const QByteArray& statement : statements) {
        PQsendQueryParams(conn_, statement.trimmed().constData(), 0, nullptr, nullptr, nullptr,
                          nullptr, 0);
        PQpipelineSync(conn_);
    }
    PGresult* last = nullptr;
    for (qsizetype i = 0; i < statements.size() && PQstatus(conn_) == CONNECTION_OK; ++i) {
        while (PGresult* r = PQgetResult(conn_)) { // the step's results, then a null
            if (i == statements.size() - 1 && !last)
                last = r;
            else
                PQclear(r);
        }
        PQclear(PQgetResult(conn_)); // the step's sync
    }
    PQexitPipelineMode(conn_);
    return last;
}

void PgConnection::readCatalogRows(PGresult* r) {
    QSet<QString> ambiguous;
    auto add = [&](const QString& name) {
        const QString key = name.toLower();
        const auto it = names_.constFind(key);
        if (it != names_.constEnd() && *it != name)
            ambiguous.insert(key);
        names_.insert(key, name);
    };
    QHash<QString, bool> allText; // lower-case column name -> a text column in every table
    QHash<QString, QMap<int, QString>> keys;
    for (int row = 0; row < PQntuples(r); ++row) {
        const unsigned oid = unsigned(std::strtoul(PQgetvalue(r, row, 0), nullptr, 10));
        const QString table = QString::fromUtf8(PQgetvalue(r, row, 1));
        add(table);
        std::vector<ColumnInfo>& columns = tables_[oid];
        QStringList& names = tableColumnNames_[table];
        if (PQgetisnull(r, row, 2) || PQgetvalue(r, row, 4)[0] == 't')
            continue; // a table without columns, or a dropped column's gap
        const ColumnInfo c = columnOfRow(r, row);
        add(c.baseColumn);
        names << c.baseColumn;
        const int attnum = std::atoi(PQgetvalue(r, row, 2));
        if (int(columns.size()) < attnum)
            columns.resize(size_t(attnum));
        columns[size_t(attnum - 1)] = c;
        const QString lower = c.baseColumn.toLower();
        allText[lower] = allText.value(lower, true) && PQgetvalue(r, row, 10)[0] == 't';
        if (c.primaryKey)
            keys[table].insert(std::atoi(PQgetvalue(r, row, 11)), quoteName(c.baseColumn));
    }
    // A name stored in two spellings is left to the server's own rules.
    for (const QString& key : ambiguous)
        names_.remove(key);
    for (auto it = allText.constBegin(); it != allText.constEnd(); ++it)
        if (it.value())
            textColumns_.insert(it.key());
    for (auto it = keys.constBegin(); it != keys.constEnd(); ++it)
        tableKeys_.insert(it.key(), it.value().values());
}

void PgConnection::ensureConnected() {
    if (PQstatus(conn_) == CONNECTION_OK)
        return;
    if (!beginPending_)
        depth_ = 0; // a transaction does not survive its connection; one not yet begun does
    PQfreeCancel(cancel_);
    cancel_ = nullptr; // the new backend has a key of its own
    dropParked();
    prepared_.clear(); // the new backend knows none of the old one's statements
    sent_.clear();
    PQreset(conn_);
    if (PQstatus(conn_) != CONNECTION_OK)
        throw AppError("无法连接数据库服务器: " + trimmedMessage(PQerrorMessage(conn_)));
    PQclear(pipelined(sessionSettings().split(';')));
    applyAuthor(); // a new backend knows nothing of the last one's settings
}

namespace {

// The values as the server reads them: null pointers for Nulls, LIKE patterns as expressions.
void wireValues(const Translated& t, const QVariantList& params, std::vector<std::string>& texts,
                std::vector<const char*>& values) {
    texts.assign(size_t(params.size()), {});
    values.assign(size_t(params.size()), nullptr);
    for (qsizetype i = 0; i < params.size(); ++i) {
        const QVariant& v = params[i];
        if (!v.isValid() || v.isNull())
            continue;
        texts[size_t(i)] = wireText(v);
        values[size_t(i)] = texts[size_t(i)].c_str();
    }
    for (const PatternParam& p : t.patterns)
        if (values[size_t(p.index)]) {
            texts[size_t(p.index)] =
                likeToRegex(params[p.index].toString(), p.escape).toStdString();
            values[size_t(p.index)] = texts[size_t(p.index)].c_str();
        }
}

} // namespace

PGresult* PgConnection::send(const Translated& t, const QVariantList& params) {
    std::vector<std::string> texts;
    std::vector<const char*> values;
    wireValues(t, params, texts, values);
    const QByteArray sql = t.sql.toUtf8();
    const Prepared prepared = preparedFor(sql);
    if (beginPending_ || authorPending_ || prepared.prepareNow)
        return sendInPipeline(sql, prepared, values);
    if (!enqueue(sql, prepared, values))
        return PQmakeEmptyPGresult(conn_, PGRES_FATAL_ERROR);
    return awaitResult();
}

bool PgConnection::enqueue(const QByteArray& sql, const Prepared& prepared,
                           const std::vector<const char*>& values) {
    if (prepared.name.isEmpty())
        return PQsendQueryParams(conn_, sql.constData(), int(values.size()), nullptr, values.data(),
                                 nullptr, nullptr, 0);
    return PQsendQueryPrepared(conn_, prepared.name.constData(), int(values.size()), values.data(),
                               nullptr, nullptr, 0);
}

// Prepared once per connection, at a statement's second send, and only outside transactions: a
// statement prepared before another workstation changed its table fails there once ("cached
// plan must not change result type"), which inside a transaction would end the transaction.
PgConnection::Prepared PgConnection::preparedFor(const QByteArray& sql) {
    if (depth_ > 0)
        return {};
    if (const auto known = prepared_.constFind(sql); known != prepared_.constEnd())
        return {*known, false};
    constexpr int mostPrepared = 500;
    if (prepared_.size() >= mostPrepared)
        return {};
    if (sent_.size() > 4 * mostPrepared)
        sent_.clear(); // one-off statements are not kept for ever
    if (++sent_[sql] < 2)
        return {};
    return {"custdesk_" + QByteArray::number(++preparedCount_), true};
}

void PgConnection::forgetPrepared() {
    prepared_.clear();
    sent_.clear();
    Result r(PQexec(conn_, "DEALLOCATE ALL"));
}

namespace {

// One statement's results up to libpq's null: its first error, else its last result (null for
// none). One statement gives one result; an error is kept if libpq adds another after it.
PGresult* takeStepResult(PGconn* conn) {
    PGresult* kept = nullptr;
    while (PGresult* r = PQgetResult(conn)) {
        if (kept && PQresultStatus(kept) == PGRES_FATAL_ERROR) {
            PQclear(r);
            continue;
        }
        PQclear(kept);
        kept = r;
    }
    return kept;
}

} // namespace

// The author's settings, a transaction's BEGIN and a statement's preparation travel with the
// statement, so none of them costs a round trip of its own. The author is a step of its own,
// outside the transaction, so a rollback does not take it back.
PGresult* PgConnection::sendInPipeline(const QByteArray& sql, const Prepared& prepared,
                                       const std::vector<const char*>& values) {
    PQenterPipelineMode(conn_);
    const bool author = std::exchange(authorPending_, false);
    if (author) {
        sendAuthor();
        PQpipelineSync(conn_);
    }
    const bool begin = beginPending_;
    if (begin)
        PQsendQueryParams(conn_, "BEGIN", 0, nullptr, nullptr, nullptr, nullptr, 0);
    if (prepared.prepareNow)
        PQsendPrepare(conn_, prepared.name.constData(), sql.constData(), int(values.size()),
                      nullptr);
    enqueue(sql, prepared, values);
    PQpipelineSync(conn_);
    auto step = [this] { return waitUntilReady() ? takeStepResult(conn_) : nullptr; };
    if (author) {
        Result set(step());
        if (waitUntilReady())
            PQclear(PQgetResult(conn_)); // the author's sync
    }
    Result began(begin ? step() : nullptr);
    Result made(prepared.prepareNow ? step() : nullptr);
    PGresult* kept = step();
    if (waitUntilReady())
        PQclear(PQgetResult(conn_)); // the sync
    PQexitPipelineMode(conn_);
    if (begin && PQresultStatus(began.get()) == PGRES_COMMAND_OK)
        beginPending_ = false;
    if (prepared.prepareNow && PQresultStatus(made.get()) == PGRES_COMMAND_OK)
        prepared_.insert(sql, prepared.name);
    return kept ? kept : PQmakeEmptyPGresult(conn_, PGRES_FATAL_ERROR);
}

void PgConnection::flushAuthor() {
    if (!std::exchange(authorPending_, false))
        return;
    if (sendAuthor())
        while (waitUntilReady())
            if (PGresult* r = PQgetResult(conn_))
                PQclear(r);
            else
                break;
}

// For the few statements sent apart from run(): the transaction they belong to begins first.
void PgConnection::flushBegin() {
    flushAuthor();
    if (!beginPending_)
        return;
    Result r(PQexec(conn_, "BEGIN"));
    if (PQresultStatus(r.get()) != PGRES_COMMAND_OK)
        throw AppError(PQstatus(conn_) == CONNECTION_OK
                           ? trimmedMessage(PQresultErrorMessage(r.get()))
                           : lostText);
    beginPending_ = false;
}

// Waits on the socket rather than in libpq, so an interruption is seen while the server works;
// a cancel that reached the server before the statement did is sent again.
bool PgConnection::waitUntilReady() {
    using Clock = std::chrono::steady_clock;
    Clock::time_point cancelled{};
    // A result already in libpq's buffer (the next row of a stream) is taken without a read.
    while (PQisBusy(conn_)) {
        if (!PQconsumeInput(conn_))
            return PQstatus(conn_) == CONNECTION_OK;
        if (!PQisBusy(conn_))
            break;
        if (interrupted_ && Clock::now() - cancelled > std::chrono::milliseconds(500)) {
            cancelOnServer();
            cancelled = Clock::now();
        }
        pollfd socket{PQsocket(conn_), POLLIN, 0};
        poll(&socket, 1, 20);
    }
    return true;
}

PGresult* PgConnection::awaitResult() {
    waitUntilReady();
    PGresult* kept = takeStepResult(conn_);
    return kept ? kept : PQmakeEmptyPGresult(conn_, PGRES_FATAL_ERROR);
}

// Reads what the idle connection has waiting: a server that ended the session has sent its
// farewell and the end of the stream, after which libpq knows the connection is gone.
void PgConnection::noticeClosedConnection() {
    pollfd socket{PQsocket(conn_), POLLIN, 0};
    for (int i = 0; i < 4 && PQstatus(conn_) == CONNECTION_OK && poll(&socket, 1, 0) > 0; ++i)
        if (!PQconsumeInput(conn_))
            break;
}

void PgConnection::cancelOnServer() {
    if (!cancel_)
        cancel_ = PQgetCancel(conn_);
    char error[256];
    if (cancel_)
        PQcancel(cancel_, error, int(sizeof error)); // a failed cancel lets the statement finish
}

void PgConnection::interrupt() {
    interrupted_ = true;
}

void PgConnection::resume() {
    interrupted_ = false;
}

const Translated& PgConnection::translated(const QString& sql) {
    auto cached = translations_.constFind(sql);
    if (cached == translations_.constEnd()) {
        Translated fresh = translate(sql, names_, textColumns_);
        // Whole rows of a table come in key order, as from the file, not as the server
        // happens to keep them after changes.
        if (!fresh.wholeRowsOf.isEmpty())
            fresh.sql += keyOrder(fresh.wholeRowsOf);
        cached = translations_.insert(sql, fresh);
    }
    return *cached;
}

QString PgConnection::serverSql(const QString& sql) {
    ensureConnected();
    return translated(sql).sql;
}

PGresult* PgConnection::run(const SqlCommand& command, bool mayRetry) {
    ensureConnected();
    const Translated t = translated(command.sql);
    if (t.paramCount != command.params.size())
        throw AppError(QString("语句需要 %1 个参数，却给了 %2 个: '%3'")
                           .arg(t.paramCount)
                           .arg(command.params.size())
                           .arg(command.sql));
    PGresult* raw = send(t, command.params);
    if (PQstatus(conn_) == CONNECTION_BAD) {
        // The server went away since the last statement; a read is simply asked again.
        PQclear(raw);
        // A transaction whose BEGIN went out with this statement never committed anything, so
        // the two are sent again together on the new connection.
        const bool inTransaction = depth_ > 0 && !beginPending_;
        ensureConnected();
        if ((!mayRetry && !beginPending_) || inTransaction)
            throw AppError(lostText);
        raw = send(t, command.params);
    }
    // Another workstation changed the table since this statement was prepared: the server
    // refused it before it did anything, so it is sent once more, prepared anew.
    if (PQresultStatus(raw) == PGRES_FATAL_ERROR && depth_ == 0 && !prepared_.isEmpty() &&
        qstrcmp(PQresultErrorField(raw, PG_DIAG_SQLSTATE), "0A000") == 0 &&
        prepared_.contains(t.sql.toUtf8())) {
        PQclear(raw);
        forgetPrepared();
        raw = send(t, command.params);
    }
    Result r(raw);
    const ExecStatusType status = PQresultStatus(r.get());
    if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK)
        throw AppError(failureOf(r.get()));
    if (t.changesSchema)
        refreshNames();
    return r.release();
}

std::unique_ptr<ResultSet> PgConnection::query(const SqlCommand& command) {
    // A statement that also writes (a save with RETURNING) is never sent twice; but a
    // connection the server has closed since is seen before it goes out, without a round trip,
    // so the save goes to a new one as when it began with its own BEGIN.
    const bool reads =
        command.sql.trimmed().startsWith(QLatin1String("select"), Qt::CaseInsensitive);
    if (reads) {
        if (PGresult* parked = takeParked(command))
            return std::make_unique<PgResultSet>(parked, describe(parked));
    } else {
        dropParked();
    }
    if (!reads && depth_ == 0)
        noticeClosedConnection();
    PGresult* r = run(command, reads);
    return std::make_unique<PgResultSet>(r, describe(r));
}

namespace {

// What tells two commands apart: the statement and each value with its type.
QString commandKey(const SqlCommand& command) {
    QString key = command.sql;
    for (const QVariant& v : command.params)
        key += QChar(0x1f) + QString::number(v.typeId()) + QChar(0x1e) +
               (v.isNull() ? QStringLiteral("\\N") : v.toString());
    return key;
}

qint64 nowMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

} // namespace

void PgConnection::prefetch(const QList<SqlCommand>& reads) {
    if (depth_ > 0 || reads.isEmpty())
        return;
    ensureConnected();
    dropParked();
    // Translated first: a name the translator must look up costs a statement of its own.
    struct Ready {
        QByteArray sql;
        std::vector<std::string> texts;
        std::vector<const char*> values;
    };
    std::vector<Ready> ready;
    QList<SqlCommand> sent;
    for (const SqlCommand& command : reads) {
        const Translated& t = translated(command.sql);
        if (t.paramCount != command.params.size())
            continue; // left for query() to report
        Ready r{t.sql.toUtf8(), {}, {}};
        wireValues(t, command.params, r.texts, r.values);
        ready.push_back(std::move(r));
        sent << command;
    }
    PQenterPipelineMode(conn_);
    const bool author = std::exchange(authorPending_, false);
    if (author) {
        sendAuthor();
        PQpipelineSync(conn_);
    }
    // Each read in a step of its own, so one the server refuses loses only itself and its
    // query() meets the refusal itself.
    for (const Ready& r : ready) {
        PQsendQueryParams(conn_, r.sql.constData(), int(r.values.size()), nullptr, r.values.data(),
                          nullptr, nullptr, 0);
        PQpipelineSync(conn_);
    }
    const qsizetype steps = sent.size() + (author ? 1 : 0);
    for (qsizetype i = 0; i < steps && waitUntilReady(); ++i) {
        PGresult* r = takeStepResult(conn_);
        const qsizetype read = i - (author ? 1 : 0);
        if (read >= 0 && r && PQresultStatus(r) == PGRES_TUPLES_OK)
            parked_.insert(commandKey(sent[read]), r);
        else
            PQclear(r);
        if (waitUntilReady())
            PQclear(PQgetResult(conn_)); // the step's sync
    }
    PQexitPipelineMode(conn_);
    parkedAt_ = nowMs();
}

// A prefetched answer is as if read a moment earlier; one left unasked for too long is not.
PGresult* PgConnection::takeParked(const SqlCommand& command) {
    if (parked_.isEmpty())
        return nullptr;
    if (nowMs() - parkedAt_ > 5000) {
        dropParked();
        return nullptr;
    }
    const auto it = parked_.find(commandKey(command));
    if (it == parked_.end())
        return nullptr;
    PGresult* r = it.value();
    parked_.erase(it);
    return r;
}

void PgConnection::dropParked() {
    for (PGresult* r : std::as_const(parked_))
        PQclear(r);
    parked_.clear();
}

// The rows of a streamed read, one result of one row at a time as libpq's single-row mode
// hands them over; the columns come from the first.
class PgRowStream : public PgResultSet {
  public:
    PgRowStream(PgConnection& connection, PGresult* first)
        : PgResultSet(first, connection.describe(first)), connection_(connection),
          pending_(PQresultStatus(first) == PGRES_SINGLE_TUPLE) {
        if (!pending_)
            finish(); // no rows: the first result was the end
    }
    ~PgRowStream() override {
        if (done_)
            return;
        // Dropped before its end: the server stops sending, and what is on its way is read away.
        connection_.cancelOnServer();
        while (connection_.waitUntilReady())
            if (PGresult* r = PQgetResult(connection_.conn_))
                PQclear(r);
            else
                break;
    }

    bool next() override {
        if (std::exchange(pending_, false))
            return PgResultSet::next();
        if (done_)
            return false;
        connection_.waitUntilReady();
        PGresult* r = PQgetResult(connection_.conn_);
        const ExecStatusType status = r ? PQresultStatus(r) : PGRES_FATAL_ERROR;
        if (status == PGRES_SINGLE_TUPLE) {
            replaceResult(r);
            return true;
        }
        const QString failure = status == PGRES_TUPLES_OK ? QString() : r ? failureOf(r) : lostText;
        PQclear(r);
        replaceResult(nullptr);
        finish();
        if (!failure.isEmpty())
            throw AppError(failure);
        return false;
    }

  private:
    void finish() {
        done_ = true;
        while (connection_.waitUntilReady())
            if (PGresult* r = PQgetResult(connection_.conn_))
                PQclear(r);
            else
                break;
    }

    PgConnection& connection_;
    bool pending_; // the first row, read to learn the columns, is still to be stepped onto
    bool done_ = false;
};

std::unique_ptr<ResultSet> PgConnection::stream(const SqlCommand& command) {
    const bool reads =
        command.sql.trimmed().startsWith(QLatin1String("select"), Qt::CaseInsensitive);
    if (!reads || depth_ > 0)
        return query(command); // a transaction's reads are few and small
    ensureConnected();
    dropParked();
    const Translated t = translated(command.sql);
    if (t.paramCount != command.params.size())
        return query(command); // which reports it
    std::vector<std::string> texts;
    std::vector<const char*> values;
    wireValues(t, command.params, texts, values);
    const QByteArray sql = t.sql.toUtf8();
    for (int attempt = 0;; ++attempt) {
        flushAuthor();
        // Only a statement prepared already is run by name: preparing costs a step here.
        const auto known = prepared_.constFind(sql);
        const Prepared prepared{known == prepared_.constEnd() ? QByteArray() : *known, false};
        PGresult* first = nullptr;
        if (enqueue(sql, prepared, values)) {
            PQsetSingleRowMode(conn_);
            waitUntilReady();
            first = PQgetResult(conn_);
        }
        const ExecStatusType status = first ? PQresultStatus(first) : PGRES_FATAL_ERROR;
        if (status == PGRES_SINGLE_TUPLE || status == PGRES_TUPLES_OK)
            return std::make_unique<PgRowStream>(*this, first);
        const QString failure = first ? failureOf(first) : lostText;
        const bool stale = first && !prepared.name.isEmpty() &&
                           qstrcmp(PQresultErrorField(first, PG_DIAG_SQLSTATE), "0A000") == 0;
        PQclear(first);
        while (PGresult* rest = PQgetResult(conn_))
            PQclear(rest);
        if (stale && attempt == 0) { // prepared before another workstation changed the table
            forgetPrepared();
            continue;
        }
        // A read is asked again on a new connection, as any read is.
        if (PQstatus(conn_) == CONNECTION_BAD && attempt == 0) {
            ensureConnected();
            continue;
        }
        throw AppError(failure);
    }
}

qint64 PgConnection::execute(const SqlCommand& command) {
    // lastval() would give the key a trigger's own insert drew (the change history's), so the
    // key is read from the sequence of the table this statement added to.
    static const QRegularExpression into(R"(^\s*insert\s+into\s+("[^"]+"|\[[^\]]+\]|\w+))",
                                         QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch m = into.match(command.sql);
    if (m.hasMatch()) {
        QString table = m.captured(1);
        if (table.startsWith(u'"') || table.startsWith(u'['))
            table = table.mid(1, table.size() - 2);
        lastInsertTable_ = names_.value(table.toLower(), table);
    }
    dropParked();
    Result r(run(command, false));
    return std::strtoll(PQcmdTuples(r.get()), nullptr, 10);
}

qint64 PgConnection::lastInsertId() {
    flushBegin();
    if (!lastInsertTable_.isEmpty()) {
        const QByteArray table = quoteName(lastInsertTable_).toUtf8();
        const char* values[] = {table.constData()};
        Result r(PQexecParams(conn_, "SELECT custdesk_last_key($1)", 1, nullptr, values, nullptr,
                              nullptr, 0));
        if (PQresultStatus(r.get()) == PGRES_TUPLES_OK && PQntuples(r.get()) == 1)
            return std::strtoll(PQgetvalue(r.get(), 0, 0), nullptr, 10);
    }
    Result r(PQexec(conn_, "SELECT lastval()"));
    if (PQresultStatus(r.get()) != PGRES_TUPLES_OK || PQntuples(r.get()) == 0)
        return 0;
    return std::strtoll(PQgetvalue(r.get(), 0, 0), nullptr, 10);
}

// BEGIN waits to go out with the transaction's first statement.
void PgConnection::begin() {
    dropParked(); // what the transaction reads, it reads inside it
    if (depth_ == 0) {
        ensureConnected();
        beginPending_ = true;
    } else {
        executeNative(QString("SAVEPOINT sp%1").arg(depth_));
    }
    ++depth_;
}

void PgConnection::commit() {
    if (depth_ == 0)
        throw AppError("没有可提交的事务");
    const QString sql = depth_ == 1 ? QString("COMMIT") : QString("RELEASE sp%1").arg(depth_ - 1);
    --depth_;
    if (depth_ == 0 && std::exchange(beginPending_, false))
        return; // nothing was sent: there is nothing to commit
    if (PQstatus(conn_) != CONNECTION_OK)
        throw AppError(lostText);
    executeNative(sql);
}

void PgConnection::rollback() {
    if (depth_ == 0)
        return;
    const QString name = QString("sp%1").arg(depth_ - 1);
    const QString sql =
        depth_ == 1 ? QString("ROLLBACK") : "ROLLBACK TO " + name + "; RELEASE " + name;
    --depth_;
    if (depth_ == 0 && std::exchange(beginPending_, false))
        return;
    if (PQstatus(conn_) != CONNECTION_OK)
        return; // the server has dropped the transaction already
    executeNative(sql);
}

void PgConnection::lockUntilCommit(const QString& name) {
    if (depth_ == 0)
        throw AppError("没有事务，无法加锁");
    // Every copy of the program must reach the same key for a name: a hash of its own bytes.
    const QByteArray digest =
        QCryptographicHash::hash(("custdesk:" + name).toUtf8(), QCryptographicHash::Sha1);
    qint64 key = 0;
    std::memcpy(&key, digest.constData(), sizeof key);
    executeNative(QString("SELECT pg_advisory_xact_lock(%1)").arg(key));
}

QStringList PgConnection::columnsOf(const QString& table) {
    // Known tables come from the catalogue read; inside a transaction the server is asked, as
    // what another workstation changed meanwhile decides there what this one does.
    if (depth_ == 0 && PQtransactionStatus(conn_) == PQTRANS_IDLE) {
        if (const auto exact = tableColumnNames_.constFind(table);
            exact != tableColumnNames_.constEnd())
            return *exact;
        for (auto it = tableColumnNames_.constBegin(); it != tableColumnNames_.constEnd(); ++it)
            if (it.key().compare(table, Qt::CaseInsensitive) == 0)
                return *it;
    }
    ensureConnected();
    flushBegin();
    const QByteArray name = table.toUtf8();
    const char* values[] = {name.constData()};
    Result r(
        PQexecParams(conn_,
                     "SELECT a.attname FROM pg_attribute a WHERE a.attrelid = ("
                     "SELECT c.oid FROM pg_class c JOIN pg_namespace n ON n.oid = c.relnamespace "
                     "WHERE n.nspname = current_schema() AND lower(c.relname) = lower($1) "
                     "AND c.relkind IN ('r', 'v', 'p') ORDER BY c.relname = $1 DESC LIMIT 1) "
                     "AND a.attnum > 0 AND NOT a.attisdropped ORDER BY a.attnum",
                     1, nullptr, values, nullptr, nullptr, 0));
    QStringList names;
    if (PQresultStatus(r.get()) != PGRES_TUPLES_OK)
        throw AppError(failureOf(r.get()));
    for (int row = 0; row < PQntuples(r.get()); ++row)
        names << QString::fromUtf8(PQgetvalue(r.get(), row, 0));
    return names;
}

QString PgConnection::quoteIdentifier(const QString& name) const {
    return quoteName(name);
}

// The next transaction number the server hands out: it moves with every write anywhere on the
// server (this session's own too), and costs one round trip.
QString PgConnection::changeMarker() {
    try {
        ensureConnected();
    } catch (const AppError&) {
        return {};
    }
    Result r(PQexec(conn_, "SELECT pg_snapshot_xmax(pg_current_snapshot())::text"));
    return PQresultStatus(r.get()) == PGRES_TUPLES_OK && PQntuples(r.get()) == 1
               ? QString::fromLatin1(PQgetvalue(r.get(), 0, 0))
               : QString();
}

QString PgConnection::sameValueCondition(const QString& quotedColumn) const {
    // Compared as stored text, so a change of letter case alone is a change, Null included.
    return "custdesk_same(" + quotedColumn + ", ?)";
}

SqlCommand PgConnection::dayCandidates(const QString&, const QString& column,
                                       qint64 daysFromToday) {
    // The column holds timestamps, so the day is one range, counted from the server's own date
    // that Date() reads there. The name goes through the translator like the statement's own.
    const QString& c = column;
    return {c + " >= CURRENT_DATE + CAST(? AS integer) AND " + c +
                " < CURRENT_DATE + CAST(? AS integer)",
            {daysFromToday, daysFromToday + 1}};
}

QString PgConnection::keyOrder(const QString& table) {
    const auto known = keyOrders_.constFind(table);
    if (known != keyOrders_.constEnd())
        return *known;
    const QString stored = names_.value(table.toLower(), table);
    if (tableColumnNames_.contains(stored)) {
        const QStringList keys = tableKeys_.value(stored);
        const QString order = keys.isEmpty() ? QString() : " ORDER BY " + keys.join(", ");
        keyOrders_.insert(table, order);
        return order;
    }
    flushBegin();
    const QByteArray name = quoteName(stored).toUtf8();
    const char* values[] = {name.constData()};
    Result r(PQexecParams(conn_,
                          "SELECT a.attname FROM pg_index i JOIN pg_attribute a ON a.attrelid = "
                          "i.indrelid AND a.attnum = ANY (i.indkey::int2[]) WHERE i.indisprimary "
                          "AND i.indrelid = to_regclass($1) ORDER BY array_position("
                          "i.indkey::int2[], a.attnum)",
                          1, nullptr, values, nullptr, nullptr, 0));
    QStringList keys;
    if (PQresultStatus(r.get()) == PGRES_TUPLES_OK)
        for (int row = 0; row < PQntuples(r.get()); ++row)
            keys << quoteName(QString::fromUtf8(PQgetvalue(r.get(), row, 0)));
    const QString order = keys.isEmpty() ? QString() : " ORDER BY " + keys.join(", ");
    keyOrders_.insert(table, order);
    return order;
}

const std::vector<ColumnInfo>& PgConnection::tableColumns(unsigned oid) {
    auto it = tables_.find(oid);
    if (it != tables_.end())
        return *it;
    const QByteArray id = QByteArray::number(oid);
    const char* values[] = {id.constData()};
    Result r(PQexecParams(
        conn_,
        "SELECT a.attnum, a.attname, c.relname, t.typname, bt.typname, a.atttypmod, "
        "a.attidentity <> '' OR coalesce(pg_get_expr(d.adbin, d.adrelid) LIKE 'nextval(%', "
        "false), coalesce(a.attnum = ANY (i.indkey::int2[]), false), "
        "CASE WHEN t.typtype = 'd' THEN t.typtypmod ELSE a.atttypmod END "
        "FROM pg_attribute a JOIN pg_class c ON c.oid = a.attrelid "
        "JOIN pg_type t ON t.oid = a.atttypid "
        "LEFT JOIN pg_type bt ON bt.oid = t.typbasetype "
        "LEFT JOIN pg_attrdef d ON d.adrelid = a.attrelid AND d.adnum = a.attnum "
        "LEFT JOIN pg_index i ON i.indrelid = a.attrelid AND i.indisprimary "
        "WHERE a.attrelid = $1::oid AND a.attnum > 0 ORDER BY a.attnum",
        1, nullptr, values, nullptr, nullptr, 0));
    std::vector<ColumnInfo> columns;
    if (PQresultStatus(r.get()) == PGRES_TUPLES_OK)
        for (int row = 0; row < PQntuples(r.get()); ++row) {
            const int attnum = std::atoi(PQgetvalue(r.get(), row, 0));
            if (int(columns.size()) < attnum)
                columns.resize(size_t(attnum));
            ColumnInfo& c = columns[size_t(attnum - 1)];
            c.baseColumn = QString::fromUtf8(PQgetvalue(r.get(), row, 1));
            c.table = QString::fromUtf8(PQgetvalue(r.get(), row, 2));
            const QString type = QString::fromUtf8(PQgetvalue(r.get(), row, 3));
            const QString base = QString::fromUtf8(PQgetvalue(r.get(), row, 4));
            c.kind = kindOfTypeName(
                kindOfTypeName(type) == FieldKind::Text && !base.isEmpty() ? base : type);
            const int typmod = std::atoi(PQgetvalue(r.get(), row, 8));
            const QString sized = base.isEmpty() ? type : base;
            if ((sized == "varchar" || sized == "bpchar") && typmod >= 4)
                c.size = typmod - 4;
            c.primaryKey = PQgetvalue(r.get(), row, 7)[0] == 't';
            if (PQgetvalue(r.get(), row, 6)[0] == 't')
                c.kind = FieldKind::AutoInc;
        }
    return *tables_.insert(oid, std::move(columns));
}

std::vector<ColumnInfo> PgConnection::describe(PGresult* result) {
    std::vector<ColumnInfo> columns;
    for (int i = 0; i < PQnfields(result); ++i) {
        ColumnInfo info;
        const Oid table = PQftable(result, i);
        const int position = PQftablecol(result, i);
        if (table != InvalidOid && position > 0) {
            const auto& stored = tableColumns(table);
            if (size_t(position) <= stored.size())
                info = stored[size_t(position - 1)];
        }
        if (info.table.isEmpty()) {
            info.kind = kindOfOid(PQftype(result, i));
            info.size = textSize(PQftype(result, i), PQfmod(result, i));
        }
        info.name = QString::fromUtf8(PQfname(result, i));
        columns.push_back(std::move(info));
    }
    return columns;
}

std::string_view withWholeMilliseconds(std::string_view text, std::string& buffer) {
    const size_t point = text.rfind('.');
    if (point == std::string_view::npos || text.size() - point - 1 >= 3)
        return text;
    buffer.assign(text);
    buffer.append(3 - (text.size() - point - 1), '0');
    return buffer;
}

// ---- opening ------------------------------------------------------------------------------

bool isPostgresUri(const QString& connString) {
    const QString s = connString.trimmed();
    return s.startsWith("postgresql://", Qt::CaseInsensitive) ||
           s.startsWith("postgres://", Qt::CaseInsensitive);
}

QString uriWithDatabase(const QString& uri, const QString& database) {
    const qsizetype query = uri.indexOf(u'?');
    QString head = query < 0 ? uri : uri.left(query);
    const qsizetype slash = head.indexOf(u'/', head.indexOf("//") + 2);
    head = (slash < 0 ? head : head.left(slash)) + "/" + database;
    return head + (query < 0 ? QString() : uri.mid(query));
}

QString databaseOfUri(const QString& uri) {
    return uri.section(u'?', 0, 0).section(u'/', 3);
}

std::unique_ptr<PgConnection> openPostgresDatabase(const QString& uri) {
    const QByteArray target = uri.trimmed().toUtf8();
    // The URI's own settings win over the time-out given here.
    const char* keys[] = {"connect_timeout", "dbname", "client_encoding", nullptr};
    const char* values[] = {"5", target.constData(), "UTF8", nullptr};
    PGconn* conn = PQconnectdbParams(keys, values, 1);
    if (!conn)
        throw AppError("无法连接数据库服务器: 内存不足");
    if (PQstatus(conn) != CONNECTION_OK) {
        const QString message = trimmedMessage(PQerrorMessage(conn));
        PQfinish(conn);
        throw AppError("无法连接数据库服务器: " + message);
    }
    return std::make_unique<PgConnection>(conn);
}

} // namespace Pg
