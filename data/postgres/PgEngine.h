#pragma once

// The PostgreSQL side of the engine seam, over libpq. Statements arrive in the program's own
// dialect and are translated (PgDialect.h); the schema comes from PgSchema.h.

#include "PgDialect.h"
#include "data/Engine.h"

#include <QHash>
#include <atomic>
#include <memory>
#include <string>
#include <vector>

typedef struct pg_conn PGconn;
typedef struct pg_result PGresult;
typedef struct pg_cancel PGcancel;

namespace Pg {

// What the catalogue says about one column of a table.
struct StoredColumn {
    ColumnInfo info;
};

class PgResultSet : public ResultSet {
  public:
    PgResultSet(PGresult* result, std::vector<ColumnInfo> columns); // takes the result
    ~PgResultSet() override;

    int columnCount() const override { return int(columns_.size()); }
    const ColumnInfo& column(int i) const override { return columns_[size_t(i)]; }
    bool next() override;
    CellType type(int i) const override;
    qint64 toInt64(int i) const override;
    double toDouble(int i) const override;
    std::string_view text(int i) const override;

  protected:
    void replaceResult(PGresult* result); // the next part of a streamed result: its one row

  private:
    PGresult* result_;
    std::vector<ColumnInfo> columns_;
    std::vector<CellType> types_;            // by the column's wire type
    std::vector<bool> times_;                // timestamp columns
    mutable std::vector<std::string> bytes_; // decoded byte columns of the current row
    int rows_ = 0;
    int row_ = -1;
};

class PgConnection : public Connection {
  public:
    explicit PgConnection(PGconn* conn); // takes the handle
    ~PgConnection() override;

    std::unique_ptr<ResultSet> query(const SqlCommand& command) override;
    std::unique_ptr<ResultSet> stream(const SqlCommand& command) override; // single-row mode
    void prefetch(const QList<SqlCommand>& reads) override;
    bool overNetwork() const override { return true; }
    qint64 execute(const SqlCommand& command) override;
    qint64 lastInsertId() override;

    // Nested calls use savepoints, as on the embedded engine.
    void begin() override;
    void commit() override;
    void rollback() override;
    void lockUntilCommit(const QString& name) override; // an advisory lock of the transaction

    QStringList columnsOf(const QString& table) override;
    QString quoteIdentifier(const QString& name) const override;
    QString sameValueCondition(const QString& quotedColumn) const override;
    QString changeMarker() override;
    void createTable(const QString& table, const QString& keyColumn,
                     const QList<NewColumn>& columns) override;
    void addColumn(const QString& table, const QString& column, const QString& declared,
                   const QString& defaultValue, bool notNull) override;          // in PgSchema.cpp
    void createValueIndex(const QString& table, const QString& column) override; // ditto
    void dropValueIndex(const QString& table, const QString& column) override;   // ditto
    bool groupsByHashing() const override { return true; }
    SqlCommand dayCandidates(const QString& table, const QString& column,
                             qint64 daysFromToday) override;
    void interrupt() override; // the statement running now is cancelled on the server
    void resume() override;
    void installChangeHistory() override; // in PgHistory.cpp

    // A statement in the server's own dialect, untranslated, without values.
    void executeNative(const QString& sql);
    void refreshNames(); // after changing tables behind the translator's back
    // The statement as the server receives it, for measuring against plain libpq.
    QString serverSql(const QString& sql);
    PGconn* handle() const { return conn_; }

  protected:
    void applyAuthor() override; // in PgHistory.cpp

  private:
    friend class PgRowStream;
    // The server's name of a prepared statement, and whether it is to be prepared on this send.
    struct Prepared {
        QByteArray name;
        bool prepareNow = false;
    };
    PGresult* run(const SqlCommand& command, bool mayRetry);
    const Translated& translated(const QString& sql);
    PGresult* send(const Translated& t, const QVariantList& params);
    PGresult* sendInPipeline(const QByteArray& sql, const Prepared& prepared,
                             const std::vector<const char*>& values);
    bool enqueue(const QByteArray& sql, const Prepared& prepared,
                 const std::vector<const char*>& values);
    Prepared preparedFor(const QByteArray& sql);
    void forgetPrepared();
    bool sendAuthor();
    void flushAuthor();
    void flushBegin();
    bool waitUntilReady(); // polls the socket; false when the connection failed
    PGresult* awaitResult();
    PGresult* takeParked(const SqlCommand& command);
    void dropParked();
    void cancelOnServer();
    void noticeClosedConnection();
    void ensureConnected();
    QByteArray sessionSettings() const;
    void readCatalog(const QByteArray& settingsFirst);
    void readCatalogRows(PGresult* rows);
    PGresult* pipelined(const QList<QByteArray>& statements);
    std::vector<ColumnInfo> describe(PGresult* result);
    const std::vector<ColumnInfo>& tableColumns(unsigned oid);
    QString keyOrder(const QString& table);

    PGconn* conn_;
    PGcancel* cancel_ = nullptr; // for the backend conn_ has now
    std::atomic_bool interrupted_{false};
    NameMap names_;
    NameSet textColumns_;
    QHash<QString, Translated> translations_;
    // What the catalogue said at the last read, so statements need not ask it again: the
    // columns of every table by its number (dropped ones as gaps), and by its name the live
    // column names in order and the quoted key columns.
    QHash<unsigned, std::vector<ColumnInfo>> tables_;
    QHash<QString, QStringList> tableColumnNames_;
    QHash<QString, QStringList> tableKeys_;
    QHash<QString, QString> keyOrders_; // table as written -> " ORDER BY ..." or ""
    int depth_ = 0;
    QString lastInsertTable_;    // as stored; where the last INSERT added its row
    bool beginPending_ = false;  // begun, but BEGIN not yet sent
    bool authorPending_ = false; // the author goes out with the next statement
    // Statements sent more than once are prepared: by the translated text, the times sent so
    // far and the names the server knows them by.
    QHash<QByteArray, int> sent_;
    QHash<QByteArray, QByteArray> prepared_;
    int preparedCount_ = 0;
    // Answers of prefetch() not yet asked for, by command, with when they were read.
    QMultiHash<QString, PGresult*> parked_;
    qint64 parkedAt_ = 0;
};

// Opens the database a postgresql:// or postgres:// URI names (anything libpq accepts in it).
// Throws AppError with libpq's own message when the server cannot be reached.
std::unique_ptr<PgConnection> openPostgresDatabase(const QString& uri);

bool isPostgresUri(const QString& connString);

// The same server URI with another database name in place of its own.
QString uriWithDatabase(const QString& uri, const QString& database);
// The database name a server URI holds.
QString databaseOfUri(const QString& uri);

// The server writes "10:30:00.25" for a quarter second; the program reads three digits.
std::string_view withWholeMilliseconds(std::string_view text, std::string& buffer);

} // namespace Pg
