#pragma once

// The one seam between the program and its database engine. Everything above data/ speaks
// through these classes and the statements of Statements.h, never in an engine's own dialect.

#include <QDate>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <functional>
#include <memory>
#include <string_view>

// What a column holds, taken from its declared type.
enum class FieldKind {
    Integer,  // whole number that fits 32 bits
    AutoInc,  // whole number assigned by the database
    LargeInt, // 64-bit whole number
    Float,
    Currency,
    Decimal,
    Text,
    Memo,
    DateTime,
    Boolean,
    Bytes,
};

// One statement with its values bound to "?" placeholders, in order.
struct SqlCommand {
    QString sql;
    QVariantList params; // null QVariant, qint64/int, double, QString, QDateTime, QDate, bool
};

struct ColumnInfo {
    QString name; // as the result names it
    FieldKind kind = FieldKind::Text;
    int size = 0;       // declared text size; 0 when none was declared
    QString table;      // base table the column comes from; empty for computed columns
    QString baseColumn; // the column's own name in that table
    bool primaryKey = false;
};

enum class CellType { Null, Integer, Float, Text, Blob };

// One cell of a result's current row, as the engine holds it.
struct CellValue {
    CellType type = CellType::Null;
    qint64 integer = 0;
    double real = 0;
    std::string_view text; // UTF-8 (or raw bytes), valid until next()
};

// The rows of one running statement, read forward once.
class ResultSet {
  public:
    virtual ~ResultSet() = default;
    virtual int columnCount() const = 0;
    virtual const ColumnInfo& column(int i) const = 0;
    virtual bool next() = 0; // steps to the next row; false after the last
    virtual CellType type(int i) const = 0;
    virtual qint64 toInt64(int i) const = 0;
    virtual double toDouble(int i) const = 0;
    virtual std::string_view text(int i) const = 0; // UTF-8 (or raw bytes), valid until next()
    // Every cell of the current row at once, into cells[0..columnCount()).
    virtual void readRow(CellValue* cells) const;
};

// Reports how far a long copy has come; answering false cancels it.
using ProgressFn = std::function<bool(qint64 done, qint64 total)>;

// Copies of an open database taken while other copies of the program go on using it.
class OnlineBackup {
  public:
    virtual ~OnlineBackup() = default;
    virtual QString sourceFile() const = 0; // the database file being copied
    // One consistent moment of the database into the new file target. False when cancelled
    // (then target is gone). Throws AppError.
    virtual bool copyTo(const QString& target, const ProgressFn& progress) = 0;
    // What is wrong with a copy; empty when it is sound.
    virtual QString problemsIn(const QString& copy) const = 0;
};

// Who makes a connection's changes, for the change history its database keeps. One value per
// field, so the operator's name can later become an operator's key.
struct ChangeAuthor {
    QString who;           // the logged-in operator
    QString host;          // the workstation
    bool mayDelete = true; // whose role lets them delete customers, so purge the bin too
};

class Connection {
  public:
    virtual ~Connection() = default;

    virtual std::unique_ptr<ResultSet> query(const SqlCommand& command) = 0;
    // A large read whose rows are handed over as they arrive, so the first can be used before
    // the last is sent. The connection runs nothing else until the result is read or dropped.
    virtual std::unique_ptr<ResultSet> stream(const SqlCommand& command) { return query(command); }
    // Sends independent reads together ahead of the code that will run them, so they cost one
    // round trip between them: a later query() of the same statement and values takes its
    // answer. Answers not asked for are dropped at this connection's next change or after a few
    // seconds. An engine whose reads cost no round trip ignores it.
    virtual void prefetch(const QList<SqlCommand>& /*reads*/) {}
    // Whether each statement crosses a network, so a large read is better streamed off the
    // window's thread than read at once on it.
    virtual bool overNetwork() const { return false; }
    // Runs a statement without a result set; returns the number of rows it changed.
    virtual qint64 execute(const SqlCommand& command) = 0;
    virtual qint64 lastInsertId() = 0;

    virtual void begin() = 0;
    virtual void commit() = 0;
    virtual void rollback() = 0;
    // Inside a transaction: waits until no other transaction holds the lock of this name, then
    // holds it until this one ends, so that a test and the write it allows are one step. The
    // embedded engine's transactions each hold its one write lock already.
    virtual void lockUntilCommit(const QString& /*name*/) {}

    // The real column names of a table (empty when there is no such table).
    virtual QStringList columnsOf(const QString& table) = 0;
    virtual QString quoteIdentifier(const QString& name) const = 0;
    // A condition that is true when the column equals the bound value exactly, Null included.
    virtual QString sameValueCondition(const QString& quotedColumn) const = 0;
    // Online file copies of this database; nullptr where the engine's own tools make backups.
    virtual std::unique_ptr<OnlineBackup> onlineBackup() { return nullptr; }
    // A cheap text that changes when others may have changed the database since it was last
    // read: at least every commit of another connection. Empty where the engine can't tell.
    virtual QString changeMarker() { return {}; }

    // Creates a table when there is none: an auto-numbered key column, then the columns,
    // each declared as the delivered schema declares types ("VARCHAR(20)", "BOOLEAN").
    struct NewColumn {
        QString name, declared, defaultValue;
        bool notNull = false;
    };
    virtual void createTable(const QString& table, const QString& keyColumn,
                             const QList<NewColumn>& columns);
    // A condition, with the values it binds, that is true when the column of the table holds
    // a match of the LIKE pattern "%" + keyword + "%". An engine may find the candidates
    // through an index of its own; the rows are always those of the plain LIKE.
    virtual SqlCommand containsCondition(const QString& table, const QString& column,
                                         const QString& keyword);
    // Adds a column to a table, its type declared as the delivered schema declares types
    // ("INTEGER", "BOOLEAN", "DATETIME"); defaultValue empty for none.
    virtual void addColumn(const QString& table, const QString& column, const QString& declared,
                           const QString& defaultValue, bool notNull);
    // Removes a column from a table; the column must be in no index.
    virtual void dropColumn(const QString& table, const QString& column);
    // An index that finds the rows whose column "=" a value as the statements compare texts
    // (the list's filter by a choice); made when missing. Dropped before its column goes.
    virtual void createValueIndex(const QString& table, const QString& column);
    virtual void dropValueIndex(const QString& table, const QString& column);
    // A condition true for at least every row of the table whose date/time column falls on the
    // day daysFromToday after the today that the statement's own Date() reads, so that an engine
    // may narrow a day's statement through an index; "1=1" where it cannot. The rows keep the
    // order the statement gives them without it.
    virtual SqlCommand dayCandidates(const QString& table, const QString& column,
                                     qint64 daysFromToday);
    // Whether the engine groups many rows by hashing them; one that sorts them counts each
    // group as ranges of an index instead.
    virtual bool groupsByHashing() const { return false; }
    // Builds the engine's substring index of the customer table when there is none.
    virtual void createSearchIndex() {}
    // Builds that index anew, for a database written past its upkeep.
    virtual void rebuildSearchIndex() {}

    // Makes the statement this connection runs on another thread fail soon, and every long one
    // it starts after, until resume(); callable from any thread, so an interruption that comes
    // just before its statement starts is not lost. An engine that cannot do so lets the
    // statement finish and its caller drop it.
    virtual void interrupt() {}
    virtual void resume() {}

    // Makes (again) the change history's table and the triggers that fill it, inside the
    // transaction of every change, whichever program makes it. Idempotent.
    virtual void installChangeHistory() {}
    // The history records this connection's later changes with the author; changes of a
    // connection without one are recorded without an operator.
    void setAuthor(const ChangeAuthor& author) {
        author_ = author;
        applyAuthor();
    }
    const ChangeAuthor& author() const { return author_; }

  protected:
    virtual void applyAuthor() {}

  private:
    ChangeAuthor author_;

  protected:
    QString columnDeclaration(const NewColumn& column) const;
};

// Commits on commit(), rolls back when left without it.
class Transaction {
  public:
    explicit Transaction(Connection& connection) : connection_(connection) { connection_.begin(); }
    ~Transaction();
    void commit();
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;

  private:
    Connection& connection_;
    bool done_ = false;
};

class BusyWaiter;

// Opens the database a connection string names. Never creates a file; a missing, unreadable
// or foreign file throws AppError, a file another program holds throws DatabaseBusy. With a
// waiter, opening and every later statement wait for such a lock until the operator gives up.
std::unique_ptr<Connection> openDatabase(const QString& connString, BusyWaiter* waiter = nullptr);
