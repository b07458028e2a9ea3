#pragma once

// The SQLite side of the engine seam, over the sqlite3 C API.

#include "data/Engine.h"

#include <atomic>
#include <vector>

class BusyWaiter;
struct sqlite3;
struct sqlite3_stmt;
struct sqlite3_value;

struct SqliteOpenOptions {
    int busyTimeoutMs = 5000;     // how long a locked database is waited for, without a waiter
    BusyWaiter* waiter = nullptr; // when set: waits until the lock is gone or the operator gives up
};

class SqliteResultSet : public ResultSet {
  public:
    // Takes the statement; waiter: the connection's, told when a wait for a lock is over.
    SqliteResultSet(sqlite3* db, sqlite3_stmt* statement, BusyWaiter* waiter = nullptr);
    ~SqliteResultSet() override;

    int columnCount() const override { return int(columns_.size()); }
    const ColumnInfo& column(int i) const override { return columns_[size_t(i)]; }
    bool next() override;
    CellType type(int i) const override;
    qint64 toInt64(int i) const override;
    double toDouble(int i) const override;
    std::string_view text(int i) const override;
    void readRow(CellValue* cells) const override;

  private:
    sqlite3_value* value(int i) const; // a cell of the current row, valid until the next step

    sqlite3* db_;
    sqlite3_stmt* statement_;
    BusyWaiter* waiter_;
    std::vector<ColumnInfo> columns_;
    bool done_ = false;
};

class SqliteConnection : public Connection {
  public:
    explicit SqliteConnection(sqlite3* db, BusyWaiter* waiter = nullptr); // takes the handle
    ~SqliteConnection() override;

    std::unique_ptr<ResultSet> query(const SqlCommand& command) override;
    qint64 execute(const SqlCommand& command) override;
    qint64 lastInsertId() override;

    // Nested calls use savepoints, so a change made inside a caller's transaction still works.
    void begin() override;
    void commit() override;
    void rollback() override;

    QStringList columnsOf(const QString& table) override;
    QString quoteIdentifier(const QString& name) const override;
    QString sameValueCondition(const QString& quotedColumn) const override;
    std::unique_ptr<OnlineBackup> onlineBackup() override; // in SqliteBackup.cpp
    QString changeMarker() override;
    SqlCommand containsCondition(const QString& table, const QString& column,
                                 const QString& keyword) override;
    SqlCommand dayCandidates(const QString& table, const QString& column,
                             qint64 daysFromToday) override;
    void createSearchIndex() override;
    void rebuildSearchIndex() override;
    void interrupt() override;
    void resume() override;

    void installChangeHistory() override;                                  // in SqliteHistory.cpp
    void dropColumn(const QString& table, const QString& column) override; // ditto

    sqlite3* handle() const { return db_; }

  protected:
    void applyAuthor() override; // in SqliteHistory.cpp

  private:
    sqlite3_stmt* prepare(const SqlCommand& command);
    void followSchemaChanges();
    void run(const char* sql);

    sqlite3* db_;
    BusyWaiter* waiter_;
    int depth_ = 0; // open transactions, the outermost included
    std::atomic_bool interrupted_{false};
    int schemaVersion_ = -1; // of the schema as this connection last read it
};

// The database file at path, opened for reading and writing (never created), checked with a
// real read (every page, before a first switch to WAL mode), in WAL mode, with the program's SQL
// functions. Throws AppError.
std::unique_ptr<SqliteConnection> openSqliteDatabase(const QString& path,
                                                     const SqliteOpenOptions& options = {});
