#include "PgSchema.h"

#include "PgEngine.h"
#include "data/AppError.h"
#include "data/DisplayFormat.h"
#include "data/Migrations.h"

#include <QCryptographicHash>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <algorithm>
#include <cmath>
#include <libpq-fe.h>
#include <sqlite3.h>

namespace Pg {

namespace {

// What the translated statements call, and the column types the copied tables use.
const char* const helperSql = R"sql(
DO $$ BEGIN CREATE DOMAIN memo AS text;
EXCEPTION WHEN duplicate_object THEN NULL; END $$;
DO $$ BEGIN CREATE DOMAIN yesno AS smallint;
EXCEPTION WHEN duplicate_object THEN NULL; END $$;
DO $$ BEGIN CREATE DOMAIN currency AS numeric(19,4);
EXCEPTION WHEN duplicate_object THEN NULL; END $$;
DO $$ BEGIN CREATE DOMAIN datetime AS timestamp(3);
EXCEPTION WHEN duplicate_object THEN NULL; END $$;

CREATE OR REPLACE FUNCTION custdesk_same(anyelement, anyelement) RETURNS boolean
LANGUAGE sql IMMUTABLE AS $$ SELECT ($1::text COLLATE "C") IS NOT DISTINCT FROM ($2::text COLLATE "C") $$;

CREATE OR REPLACE FUNCTION datediff(iv text, d1 timestamp, d2 timestamp) RETURNS bigint
LANGUAGE plpgsql IMMUTABLE AS $$
DECLARE
    y1 int := extract(year FROM d1); y2 int := extract(year FROM d2);
    m1 int := extract(month FROM d1); m2 int := extract(month FROM d2);
    e1 numeric := extract(epoch FROM d1); e2 numeric := extract(epoch FROM d2);
BEGIN
    IF iv IS NULL OR d1 IS NULL OR d2 IS NULL THEN RETURN NULL; END IF;
    CASE lower(iv)
    WHEN 'yyyy' THEN RETURN y2 - y1;
    WHEN 'q' THEN RETURN (y2 * 4 + (m2 - 1) / 3) - (y1 * 4 + (m1 - 1) / 3);
    WHEN 'm' THEN RETURN (y2 * 12 + m2) - (y1 * 12 + m1);
    WHEN 'y', 'd' THEN RETURN d2::date - d1::date;
    WHEN 'w' THEN RETURN (d2::date - d1::date) / 7;
    -- weeks begin on Sunday; 1970-01-04 was one
    WHEN 'ww' THEN RETURN floor((d2::date - date '1970-01-04') / 7.0)
                        - floor((d1::date - date '1970-01-04') / 7.0);
    WHEN 'h' THEN RETURN floor(e2 / 3600) - floor(e1 / 3600);
    WHEN 'n' THEN RETURN floor(e2 / 60) - floor(e1 / 60);
    WHEN 's' THEN RETURN floor(e2) - floor(e1);
    ELSE RAISE EXCEPTION 'DateDiff: 无效的时间间隔 ''%''', iv;
    END CASE;
END $$;

CREATE OR REPLACE FUNCTION custdesk_timestamp(t text) RETURNS timestamp
LANGUAGE plpgsql STABLE AS $$
BEGIN
    RETURN t::timestamp;
EXCEPTION WHEN others THEN
    RAISE EXCEPTION 'DateDiff: 无法识别的日期 ''%''', t;
END $$;

CREATE OR REPLACE FUNCTION datediff(iv text, d1 text, d2 text) RETURNS bigint
LANGUAGE plpgsql STABLE AS $$
BEGIN
    IF iv IS NULL OR coalesce(d1, '') = '' OR coalesce(d2, '') = '' THEN RETURN NULL; END IF;
    RETURN datediff(iv, custdesk_timestamp(d1), custdesk_timestamp(d2));
END $$;

-- A key written by hand moves the auto-number past it, so the next added row never collides.
CREATE OR REPLACE FUNCTION custdesk_follow_key() RETURNS trigger LANGUAGE plpgsql AS $$
DECLARE
    seq text := pg_get_serial_sequence(format('%I', TG_TABLE_NAME), TG_ARGV[0]);
    top bigint; last bigint; called boolean;
BEGIN
    EXECUTE format('SELECT max(%I) FROM %I', TG_ARGV[0], TG_TABLE_NAME) INTO top;
    EXECUTE format('SELECT last_value, is_called FROM %s', seq) INTO last, called;
    IF top IS NOT NULL AND (top > last OR (top = last AND NOT called)) THEN
        PERFORM setval(seq, top);
    END IF;
    RETURN NULL;
END $$;
)sql";

[[noreturn]] void sqliteFailed(sqlite3* db) {
    throw AppError("读取源数据库失败: " + QString::fromUtf8(sqlite3_errmsg(db)));
}

class Source {
  public:
    explicit Source(const QString& path) {
        if (!QFile::exists(path))
            throw AppError(QString("数据库文件 '%1' 不存在").arg(path));
        if (sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr) !=
            SQLITE_OK)
            sqliteFailed(db);
    }
    ~Source() { sqlite3_close_v2(db); }
    sqlite3* db = nullptr;
};

class Statement {
  public:
    Statement(sqlite3* db, const QString& sql) {
        if (sqlite3_prepare_v2(db, sql.toUtf8().constData(), -1, &st, nullptr) != SQLITE_OK)
            sqliteFailed(db);
    }
    ~Statement() { sqlite3_finalize(st); }
    bool step() { return sqlite3_step(st) == SQLITE_ROW; }
    QString text(int i) const {
        return QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, i)));
    }
    sqlite3_stmt* st = nullptr;
};

struct SourceColumn {
    QString name;
    QString pgType; // with its constraints
    FieldKind kind;
    int maxChars = 0; // a text column's length on the server; 0 when unbounded
};

struct SourceTable {
    QString name;
    QVector<SourceColumn> columns;
    QString identity; // the auto-numbered key column, if any
    QStringList primaryKey;
    qint64 sequence = 0; // the highest key ever handed out, deleted rows included
};

bool declaredAs(const QString& decl, std::initializer_list<const char*> words) {
    for (const char* w : words)
        if (decl.contains(QLatin1String(w)))
            return true;
    return false;
}

QString sizeOf(const QString& decl) {
    const qsizetype open = decl.indexOf(u'(');
    const qsizetype close = decl.indexOf(u')', open);
    return open < 0 || close < 0 ? QString() : decl.mid(open + 1, close - open - 1).trimmed();
}

// The server's type for a declared SQLite type, read by the same words the embedded engine
// reads kinds by.
QPair<QString, FieldKind> pgTypeOf(const QString& declared, const QString& column) {
    const QString decl = declared.toUpper();
    if (declaredAs(decl, {"BIGINT"}))
        return {"bigint", FieldKind::LargeInt};
    if (declaredAs(decl, {"INT"}))
        return {"integer", FieldKind::Integer};
    if (declaredAs(decl, {"BOOL", "YESNO", "BIT"}))
        return {"yesno", FieldKind::Boolean};
    if (declaredAs(decl, {"MEMO", "LONGTEXT"}))
        return {"memo", FieldKind::Memo};
    if (declaredAs(decl, {"CHAR", "TEXT", "CLOB", "STRING"}) || decl.isEmpty()) {
        int size = sizeOf(decl).section(u',', 0, 0).toInt();
        // Stored password hashes are longer than any password typed.
        if (column.compare("password", Qt::CaseInsensitive) == 0 && size > 0)
            size = std::max(size, 128);
        return {size > 0 ? QString("varchar(%1)").arg(size) : QString("varchar"), FieldKind::Text};
    }
    if (declaredAs(decl, {"CURRENCY", "MONEY"}))
        return {"currency", FieldKind::Currency};
    if (declaredAs(decl, {"DECIMAL", "NUMERIC"})) {
        const QString size = sizeOf(decl);
        return {size.isEmpty() ? "numeric" : "numeric(" + size + ")", FieldKind::Decimal};
    }
    if (declaredAs(decl, {"REAL", "FLOA", "DOUB"}))
        return {"double precision", FieldKind::Float};
    if (declaredAs(decl, {"DATE", "TIME"}))
        return {"datetime", FieldKind::DateTime};
    if (declaredAs(decl, {"BLOB", "BINARY"}))
        return {"bytea", FieldKind::Bytes};
    return {"varchar", FieldKind::Text};
}

// Tables to copy: every ordinary table; full-text tables and their shadow tables are the
// embedded engine's own and are built again from the rows where needed.
QVector<SourceTable> readTables(sqlite3* db, QStringList& notes) {
    QStringList virtualTables;
    QVector<SourceTable> tables;
    Statement list(db, "SELECT name, sql FROM sqlite_master WHERE type = 'table' AND name NOT "
                       "LIKE 'sqlite\\_%' ESCAPE '\\' ORDER BY rowid");
    QStringList names;
    while (list.step()) {
        if (list.text(1).trimmed().startsWith("CREATE VIRTUAL", Qt::CaseInsensitive))
            virtualTables << list.text(0);
        names << list.text(0);
    }
    for (const QString& name : names) {
        bool skip = virtualTables.contains(name);
        for (const QString& v : virtualTables)
            skip = skip || name.startsWith(v + "_");
        if (skip) {
            notes << QString("表 %1 属于全文检索，未复制").arg(name);
            continue;
        }
        SourceTable table{name, {}, {}, {}, 0};
        Statement info(db, "SELECT name, type, \"notnull\", dflt_value, pk FROM "
                           "pragma_table_info(" +
                               quoteName(name).replace(u'"', u'\'') + ")");
        QStringList keys;
        QVector<int> keyOrder;
        while (info.step()) {
            const QString column = info.text(0);
            const QString declared = info.text(1);
            auto [type, kind] = pgTypeOf(declared, column);
            if (sqlite3_column_int(info.st, 2))
                type += " NOT NULL";
            if (sqlite3_column_type(info.st, 3) != SQLITE_NULL)
                type += " DEFAULT " + info.text(3);
            if (const int pk = sqlite3_column_int(info.st, 4)) {
                keys << column;
                keyOrder << pk;
            }
            const int maxChars =
                kind == FieldKind::Text ? sizeOf(pgTypeOf(declared, column).first).toInt() : 0;
            table.columns.push_back({column, type, kind, maxChars});
        }
        for (int k = 1; k <= keys.size(); ++k)
            table.primaryKey << keys[keyOrder.indexOf(k)];
        if (table.primaryKey.size() == 1)
            for (SourceColumn& c : table.columns)
                if (c.name == table.primaryKey[0] && c.kind == FieldKind::Integer) {
                    c.pgType = "integer GENERATED BY DEFAULT AS IDENTITY";
                    c.kind = FieldKind::AutoInc;
                    table.identity = c.name;
                }
        tables.push_back(table);
    }
    if (sqlite3_table_column_metadata(db, nullptr, "sqlite_sequence", "seq", nullptr, nullptr,
                                      nullptr, nullptr, nullptr) == SQLITE_OK) {
        Statement seq(db, "SELECT name, seq FROM sqlite_sequence");
        while (seq.step())
            for (SourceTable& t : tables)
                if (t.name.compare(seq.text(0), Qt::CaseInsensitive) == 0)
                    t.sequence = sqlite3_column_int64(seq.st, 1);
    }
    return tables;
}

QString createStatement(const SourceTable& table) {
    QStringList parts;
    for (const SourceColumn& c : table.columns)
        parts << quoteName(c.name) + " " + c.pgType;
    if (!table.primaryKey.isEmpty()) {
        QStringList keys;
        for (const QString& k : table.primaryKey)
            keys << quoteName(k);
        parts << "PRIMARY KEY (" + keys.join(", ") + ")";
    }
    return "CREATE TABLE " + quoteName(table.name) + " (" + parts.join(", ") + ")";
}

// A Jet date serial (days since 1899-12-30) as the stored text.
QString serialDateText(double serial) {
    const qint64 ms = qint64(std::llround(serial * 86400000.0));
    return storedDateTimeText(QDateTime(QDate(1899, 12, 30), QTime(0, 0)).addMSecs(ms));
}

// One cell as the comparison sees it on both sides: dates and numbers by value.
QByteArray canonical(FieldKind kind, bool isNull, const QByteArray& text) {
    if (isNull)
        return "\\N";
    switch (kind) {
    case FieldKind::DateTime: {
        std::string buffer;
        const std::string_view whole =
            withWholeMilliseconds(std::string_view(text.constData(), size_t(text.size())), buffer);
        if (const auto dt = parseStoredDateTime(whole))
            return dt->toString("yyyy-MM-dd HH:mm:ss.zzz").toUtf8();
        return text;
    }
    case FieldKind::Float:
    case FieldKind::Currency:
    case FieldKind::Decimal:
        return QByteArray::number(text.toDouble(), 'g', 15);
    default:
        return text;
    }
}

// The cell of a source row as text; dates stored as serial numbers become date texts.
QByteArray sourceText(sqlite3_stmt* st, int i, FieldKind kind) {
    const int type = sqlite3_column_type(st, i);
    if (type == SQLITE_BLOB) {
        const auto* p = static_cast<const char*>(sqlite3_column_blob(st, i));
        return QByteArray(p, sqlite3_column_bytes(st, i));
    }
    if (kind == FieldKind::DateTime && (type == SQLITE_INTEGER || type == SQLITE_FLOAT))
        return serialDateText(sqlite3_column_double(st, i)).toUtf8();
    if (type == SQLITE_FLOAT)
        return QByteArray::number(sqlite3_column_double(st, i), 'g', 17);
    return QByteArray(reinterpret_cast<const char*>(sqlite3_column_text(st, i)),
                      sqlite3_column_bytes(st, i));
}

QByteArray copyField(const QByteArray& text, FieldKind kind) {
    QByteArray out;
    const QByteArray source = kind == FieldKind::Bytes ? "\\x" + text.toHex() : text;
    out.reserve(source.size());
    for (char c : source) {
        switch (c) {
        case '\\':
            out += "\\\\";
            break;
        case '\t':
            out += "\\t";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        default:
            out += c;
        }
    }
    return out;
}

// Rows of a table, summed as an order-free fingerprint of their canonical cells.
struct Fingerprint {
    qint64 rows = 0;
    quint64 sum = 0;
    void add(const QByteArray& row) {
        ++rows;
        const QByteArray h = QCryptographicHash::hash(row, QCryptographicHash::Sha1);
        quint64 v = 0;
        memcpy(&v, h.constData(), sizeof v);
        sum += v;
    }
    bool operator==(const Fingerprint&) const = default;
};

void failOn(PGconn* conn, const QString& what) {
    throw AppError(what + ": " + QString::fromUtf8(PQerrorMessage(conn)).trimmed());
}

// A value the server would refuse, and what fixing it sends instead.
struct RefusedValue {
    QString problem, change;
    std::optional<QByteArray> fixed; // nullopt: Null
};

std::optional<RefusedValue> refusedValue(const SourceColumn& column, const QByteArray& text) {
    if (column.kind == FieldKind::DateTime) {
        std::string buffer;
        const std::string_view whole =
            withWholeMilliseconds(std::string_view(text.constData(), size_t(text.size())), buffer);
        if (parseStoredDateTime(whole))
            return std::nullopt;
        return RefusedValue{
            QString("'%1' 不是可以读懂的日期").arg(QString::fromUtf8(text.left(40))),
            QStringLiteral("已清空"), std::nullopt};
    }
    if (column.maxChars <= 0 || text.size() <= column.maxChars)
        return std::nullopt; // UTF-8 never has fewer bytes than characters
    const QList<uint> chars = QString::fromUtf8(text).toUcs4();
    if (chars.size() <= column.maxChars)
        return std::nullopt;
    return RefusedValue{
        QString("有 %1 个字符，服务器上最多 %2 个").arg(chars.size()).arg(column.maxChars),
        QString("截短为 %1 个字符").arg(column.maxChars),
        QString::fromUcs4(reinterpret_cast<const char32_t*>(chars.constData()), column.maxChars)
            .toUtf8()};
}

// "客户（CustCode=17）的 Company": the row by its key, as the operator can find it again.
QString placeOf(const SourceTable& table, sqlite3_stmt* row, qint64 line, const QString& column) {
    QStringList key;
    for (const QString& k : table.primaryKey)
        for (int i = 0; i < table.columns.size(); ++i)
            if (table.columns[i].name == k)
                key << k + "=" +
                           QString::fromUtf8(
                               reinterpret_cast<const char*>(sqlite3_column_text(row, i)));
    const QString which = key.isEmpty() ? QString("第 %1 行").arg(line) : key.join(", ");
    const QString owner = table.name.compare("Custom", Qt::CaseInsensitive) == 0
                              ? QString("客户（%1）").arg(which)
                              : QString("表 %1 的记录（%2）").arg(table.name, which);
    return owner + "的 " + column;
}

QString selectAll(const SourceTable& table) {
    QStringList names;
    for (const SourceColumn& c : table.columns)
        names << quoteName(c.name);
    return "SELECT " + names.join(", ") + " FROM " + quoteName(table.name);
}

// Every value of the file that the server would refuse, one line each, before anything is sent.
QStringList refusedValues(sqlite3* db, const QVector<SourceTable>& tables) {
    QStringList found;
    for (const SourceTable& table : tables) {
        QVector<int> checked;
        for (int i = 0; i < table.columns.size(); ++i)
            if (table.columns[i].kind == FieldKind::DateTime || table.columns[i].maxChars > 0)
                checked << i;
        if (checked.isEmpty())
            continue;
        Statement rows(db, selectAll(table));
        for (qint64 line = 1; rows.step(); ++line)
            for (int i : checked)
                if (sqlite3_column_type(rows.st, i) != SQLITE_NULL)
                    if (const auto refused = refusedValue(
                            table.columns[i], sourceText(rows.st, i, table.columns[i].kind)))
                        found << placeOf(table, rows.st, line, table.columns[i].name) + " " +
                                     refused->problem;
    }
    return found;
}

AppError refusedCopy(const QStringList& refused) {
    constexpr int shown = 20;
    QString text = QString("源数据库中有 %1 个值服务器不会接受，没有复制（服务器没有改动）：\n")
                       .arg(refused.size());
    text += "  " + refused.mid(0, shown).join("\n  ") + "\n";
    if (refused.size() > shown)
        text += QString("  ……另有 %1 处\n").arg(refused.size() - shown);
    text += "请在本机程序中改正这些值后再复制，或加 --fix：过长的文字截短、读不懂的日期清空，"
            "并列出每处改动。";
    return AppError(text);
}

// The row and field a refused COPY names by line ("COPY Custom, line 3, column tel: ..."), as
// the operator can find them; empty when the server names none.
QString refusedRowOf(sqlite3* db, const SourceTable& table, const QString& context) {
    static const QRegularExpression where(QStringLiteral("line (\\d+)(?:, column ([^:]+))?"));
    const auto match = where.match(context);
    if (!match.hasMatch())
        return {};
    const qint64 line = match.captured(1).toLongLong();
    Statement row(db, selectAll(table) + QString(" LIMIT 1 OFFSET %1").arg(line - 1));
    if (!row.step())
        return {};
    return "\n出错的是" +
           placeOf(table, row.st, line,
                   match.captured(2).isEmpty() ? QString("值") : match.captured(2)) +
           "：请在本机程序中改正后再复制。";
}

Fingerprint copyRows(sqlite3* db, PGconn* conn, const SourceTable& table, QStringList* fixes) {
    QStringList names;
    for (const SourceColumn& c : table.columns)
        names << quoteName(c.name);
    const QByteArray copy =
        ("COPY " + quoteName(table.name) + " (" + names.join(", ") + ") FROM STDIN").toUtf8();
    PGresult* started = PQexec(conn, copy.constData());
    const bool ok = PQresultStatus(started) == PGRES_COPY_IN;
    PQclear(started);
    if (!ok)
        failOn(conn, "复制表 " + table.name + " 失败");
    Fingerprint print;
    Statement rows(db, selectAll(table));
    QByteArray buffer;
    auto flush = [&] {
        if (PQputCopyData(conn, buffer.constData(), int(buffer.size())) != 1)
            failOn(conn, "复制表 " + table.name + " 失败");
        buffer.clear();
    };
    for (qint64 line = 1; rows.step(); ++line) {
        QByteArray canon;
        for (int i = 0; i < table.columns.size(); ++i) {
            const FieldKind kind = table.columns[i].kind;
            bool null = sqlite3_column_type(rows.st, i) == SQLITE_NULL;
            QByteArray text = null ? QByteArray() : sourceText(rows.st, i, kind);
            if (!null && fixes)
                if (const auto refused = refusedValue(table.columns[i], text)) {
                    *fixes << placeOf(table, rows.st, line, table.columns[i].name) + " " +
                                  refused->problem + "，" + refused->change;
                    null = !refused->fixed;
                    text = refused->fixed.value_or(QByteArray());
                }
            buffer += (i ? "\t" : "") + (null ? QByteArray("\\N") : copyField(text, kind));
            canon += canonical(kind, null, kind == FieldKind::Bytes ? text.toHex() : text) + '\x1f';
        }
        buffer += '\n';
        print.add(canon);
        if (buffer.size() > (1 << 20))
            flush();
    }
    flush();
    if (PQputCopyEnd(conn, nullptr) != 1)
        failOn(conn, "复制表 " + table.name + " 失败");
    PGresult* end = PQgetResult(conn);
    const bool done = PQresultStatus(end) == PGRES_COMMAND_OK;
    const QString message = QString::fromUtf8(PQresultErrorMessage(end)).trimmed();
    const QString context = QString::fromUtf8(PQresultErrorField(end, PG_DIAG_CONTEXT));
    PQclear(end);
    while (PGresult* more = PQgetResult(conn))
        PQclear(more);
    if (!done)
        throw AppError("复制表 " + table.name + " 失败: " + message +
                       refusedRowOf(db, table, context));
    return print;
}

// The copy as the server reads it back, in the same canonical form.
Fingerprint readBack(PGconn* conn, const SourceTable& table) {
    QStringList names;
    for (const SourceColumn& c : table.columns)
        names << (c.kind == FieldKind::Bytes ? "encode(" + quoteName(c.name) + ", 'hex')"
                                             : quoteName(c.name) + "::text");
    PGresult* r =
        PQexec(conn, ("SELECT " + names.join(", ") + " FROM " + quoteName(table.name)).toUtf8());
    if (PQresultStatus(r) != PGRES_TUPLES_OK) {
        PQclear(r);
        failOn(conn, "核对表 " + table.name + " 失败");
    }
    Fingerprint print;
    for (int row = 0; row < PQntuples(r); ++row) {
        QByteArray canon;
        for (int i = 0; i < table.columns.size(); ++i)
            canon += canonical(table.columns[i].kind, PQgetisnull(r, row, i),
                               QByteArray(PQgetvalue(r, row, i), PQgetlength(r, row, i))) +
                     '\x1f';
        print.add(canon);
    }
    PQclear(r);
    return print;
}

} // namespace

// The declared type read as the copy reads it, so added columns match copied ones.
void PgConnection::addColumn(const QString& table, const QString& column, const QString& declared,
                             const QString& defaultValue, bool notNull) {
    QString sql = "ALTER TABLE " + quoteName(table) + " ADD COLUMN " + quoteName(column) + " " +
                  pgTypeOf(declared, column).first;
    if (notNull)
        sql += " NOT NULL";
    if (!defaultValue.isEmpty())
        sql += " DEFAULT " + defaultValue;
    executeNative(sql);
    refreshNames();
}

// "=" on a text column compares folded texts here, so the index holds the folded ones.
void PgConnection::createValueIndex(const QString& table, const QString& column) {
    executeNative("CREATE INDEX IF NOT EXISTS " + quoteName(table + "_" + column + "_fold") +
                  " ON " + quoteName(names_.value(table.toLower(), table)) + " (custdesk_fold(" +
                  quoteName(names_.value(column.toLower(), column)) + "::text))");
}

void PgConnection::dropValueIndex(const QString& table, const QString& column) {
    executeNative("DROP INDEX IF EXISTS " + quoteName(table + "_" + column + "_fold"));
}

void PgConnection::createTable(const QString& table, const QString& keyColumn,
                               const QList<NewColumn>& columns) {
    QStringList parts{quoteName(keyColumn) +
                      " integer GENERATED BY DEFAULT AS IDENTITY PRIMARY KEY"};
    for (const NewColumn& c : columns) {
        QString part = quoteName(c.name) + " " + pgTypeOf(c.declared, c.name).first;
        if (c.notNull)
            part += " NOT NULL";
        if (!c.defaultValue.isEmpty())
            part += " DEFAULT " + c.defaultValue;
        parts << part;
    }
    executeNative("CREATE TABLE IF NOT EXISTS " + quoteName(table) + " (" + parts.join(", ") + ")");
    refreshNames();
}

namespace {

bool holdsCustomers(PgConnection& target) {
    if (target.columnsOf("Custom").isEmpty())
        return false;
    auto rows = target.query({"select count(*) from Custom", {}});
    return rows->next() && rows->toInt64(0) > 0;
}

QStringList tablesOf(PgConnection& target) {
    auto tables = target.query({"select table_name from information_schema.tables where "
                                "table_schema = current_schema() and table_type = 'BASE TABLE' "
                                "order by table_name",
                                {}});
    QStringList names;
    while (tables->next())
        names << QString::fromUtf8(tables->text(0).data(), qsizetype(tables->text(0).size()));
    return names;
}

bool isVersionTable(const QString& name) {
    return name.compare("T_SchemaVersion", Qt::CaseInsensitive) == 0;
}

// The first table of the database that holds rows, with their count; empty when none does.
// Operators, layouts and activities are as much the shop's data as its customers.
QString firstTableWithRows(PgConnection& target) {
    // The change history is the shop's too, but a table it records is the one to name first.
    QStringList tables = tablesOf(target);
    std::stable_partition(tables.begin(), tables.end(), [](const QString& name) {
        return name.compare("T_History", Qt::CaseInsensitive) != 0;
    });
    for (const QString& name : tables) {
        if (isVersionTable(name)) // the upgrades' own bookkeeping, no data of the shop
            continue;
        auto rows = target.query({"select count(*) from " + quoteName(name), {}});
        if (rows->next() && rows->toInt64(0) > 0)
            return QString("%1（%2 行）").arg(name).arg(rows->toInt64(0));
    }
    return {};
}

// Texts compared without regard to letter case, as the embedded engine compares them: simple
// case folding of every character (ICU's lower() and the few folds it does not give).
QString foldFunction() {
    const auto [from, to] = foldExceptions();
    return "CREATE OR REPLACE FUNCTION custdesk_fold(text) RETURNS text LANGUAGE sql IMMUTABLE "
           "PARALLEL SAFE AS $$ SELECT translate(lower($1 COLLATE \"und-x-icu\"), '" +
           from + "', '" + to + "') $$;" +
           // StrComp(a, b, 1) of the statements: 0 when equal without regard to case.
           "CREATE OR REPLACE FUNCTION strcomp(a text, b text, mode integer) RETURNS integer "
           "LANGUAGE sql IMMUTABLE PARALLEL SAFE AS $$ SELECT CASE WHEN a IS NULL OR b IS NULL "
           "THEN NULL WHEN mode = 0 THEN CASE WHEN a COLLATE \"C\" = b COLLATE \"C\" THEN 0 "
           "WHEN a COLLATE \"C\" < b COLLATE \"C\" THEN -1 ELSE 1 END "
           "WHEN custdesk_fold(a) = custdesk_fold(b) THEN 0 "
           "WHEN custdesk_fold(a) COLLATE \"C\" < custdesk_fold(b) COLLATE \"C\" THEN -1 "
           "ELSE 1 END $$";
}

// Trigram indexes for the customer search, when the server offers them, and the folded name
// for the duplicate test.
void addSearchIndexes(PgConnection& target, const SourceTable& table, CopyReport& report) {
    for (const SourceColumn& c : table.columns)
        if (c.name.compare("Company", Qt::CaseInsensitive) == 0)
            target.executeNative("CREATE INDEX " + quoteName(table.name + "_" + c.name + "_fold") +
                                 " ON " + quoteName(table.name) + " (custdesk_fold(" +
                                 quoteName(c.name) + "::text))");
    try {
        target.executeNative("SAVEPOINT trigram");
        target.executeNative("CREATE EXTENSION IF NOT EXISTS pg_trgm");
        for (const SourceColumn& c : table.columns)
            if (c.kind == FieldKind::Text || c.kind == FieldKind::Memo)
                target.executeNative("CREATE INDEX " +
                                     quoteName(table.name + "_" + c.name + "_trgm") + " ON " +
                                     quoteName(table.name) + " USING gin (custdesk_fold(" +
                                     quoteName(c.name) + "::text) gin_trgm_ops)");
        target.executeNative("RELEASE trigram");
    } catch (const AppError& e) {
        target.executeNative("ROLLBACK TO trigram");
        report.notes << "未建立三元组索引（搜索仍可用，但大量客户时较慢）: " + e.text();
    }
}

QString sqlText(QString text) {
    return '\'' + text.replace('\'', "''") + '\'';
}

// The file's own indexes over plain columns, those the migrations made included: the schema
// version comes along with the rows, so those steps never run here again. Named as the same
// steps name them here, unquoted and so in small letters.
void copyIndexes(sqlite3* db, PgConnection& target, const SourceTable& table) {
    Statement list(db, "SELECT name, \"unique\" FROM pragma_index_list(" + sqlText(table.name) +
                           ") WHERE origin = 'c' AND partial = 0");
    while (list.step()) {
        QStringList keys;
        bool plain = true;
        Statement info(db, "SELECT cid, name, \"desc\" FROM pragma_index_xinfo(" +
                               sqlText(list.text(0)) + ") WHERE key = 1 ORDER BY seqno");
        while (info.step()) {
            plain = plain && sqlite3_column_int(info.st, 0) >= 0;
            keys << quoteName(info.text(1)) + (sqlite3_column_int(info.st, 2) ? " DESC" : "");
        }
        if (plain && !keys.isEmpty())
            target.executeNative(
                QString(sqlite3_column_int(list.st, 1) ? "CREATE UNIQUE INDEX " : "CREATE INDEX ") +
                quoteName(list.text(0).toLower()) + " ON " + quoteName(table.name) + " (" +
                keys.join(", ") + ")");
    }
}

} // namespace

CopyReport copyFromSqlite(const QString& sqlitePath, PgConnection& target,
                          const CopyOptions& options) {
    Source source(sqlitePath);
    CopyReport report;
    const QVector<SourceTable> tables = readTables(source.db, report.notes);
    if (!options.force && holdsCustomers(target))
        throw AppError("目标数据库已有客户记录，未复制；确需覆盖请加 --force");
    if (!options.fix)
        if (const QStringList refused = refusedValues(source.db, tables); !refused.isEmpty())
            throw refusedCopy(refused);
    PGconn* conn = target.handle();
    target.executeNative("BEGIN");
    try {
        target.executeNative(helperSql);
        target.executeNative(lastKeySql);
        target.executeNative(foldFunction());
        for (const SourceTable& t : tables)
            target.executeNative("DROP TABLE IF EXISTS " + quoteName(t.name) + " CASCADE");
        // A version left by the database replaced would skip the upgrades of the new tables.
        if (std::none_of(tables.begin(), tables.end(),
                         [](const SourceTable& t) { return isVersionTable(t.name); }))
            for (const QString& name : tablesOf(target))
                if (isVersionTable(name))
                    target.executeNative("DROP TABLE " + quoteName(name));
        for (const SourceTable& t : tables) {
            target.executeNative(createStatement(t));
            const Fingerprint sent =
                copyRows(source.db, conn, t, options.fix ? &report.fixes : nullptr);
            if (!(readBack(conn, t) == sent))
                throw AppError(QString("表 %1 复制后核对不一致（源 %2 行，目标不同）")
                                   .arg(t.name)
                                   .arg(sent.rows));
            report.tables << QString("%1: %2 行").arg(t.name).arg(sent.rows);
            if (!t.identity.isEmpty()) {
                const QString key = quoteName(t.identity), name = quoteName(t.name);
                target.executeNative(
                    QString("SELECT setval(pg_get_serial_sequence('%1', '%2'), "
                            "greatest(coalesce((SELECT max(%3) FROM %1), 0), %4) + 1, false)")
                        .arg(QString(name).replace('\'', "''"),
                             QString(t.identity).replace('\'', "''"), key)
                        .arg(t.sequence));
                target.executeNative("CREATE TRIGGER " + quoteName(t.name + "_follow_key") +
                                     " AFTER INSERT ON " + name +
                                     " FOR EACH STATEMENT EXECUTE FUNCTION custdesk_follow_key('" +
                                     QString(t.identity).replace('\'', "''") + "')");
            }
            copyIndexes(source.db, target, t);
            if (t.name.compare("Custom", Qt::CaseInsensitive) == 0)
                addSearchIndexes(target, t, report);
        }
        target.refreshNames();
        indexChoiceFields(target); // the file's indexes compare texts unfolded
        // Triggers stay behind in the file; the server's own record from here on.
        if (!target.columnsOf("T_History").isEmpty())
            target.installChangeHistory();
        target.executeNative("COMMIT");
    } catch (...) {
        if (PQtransactionStatus(conn) != PQTRANS_IDLE)
            PQclear(PQexec(conn, "ROLLBACK"));
        throw;
    }
    target.refreshNames();
    return report;
}

CopyReport initFromSchema(const QString& schemaSql, PgConnection& target,
                          const CopyOptions& options) {
    QTemporaryDir dir;
    const QString path = dir.filePath("delivered.db");
    sqlite3* db = nullptr;
    char* error = nullptr;
    const bool made =
        sqlite3_open(path.toUtf8().constData(), &db) == SQLITE_OK &&
        sqlite3_exec(db, schemaSql.toUtf8().constData(), nullptr, nullptr, &error) == SQLITE_OK;
    const QString message = error ? QString::fromUtf8(error) : QString();
    sqlite3_free(error);
    sqlite3_close(db);
    if (!made)
        throw AppError("无法建立交付的数据库: " + message);
    if (!options.force)
        if (const QString table = firstTableWithRows(target); !table.isEmpty())
            throw AppError("目标数据库中已有数据（表 " + table +
                           "），未建立；确需覆盖请加 --force");
    return copyFromSqlite(path, target, options);
}

} // namespace Pg
