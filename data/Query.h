#pragma once

#include "Engine.h"
#include "SortText.h"

#include <QDateTime>
#include <QHash>
#include <QObject>
#include <QVariantMap>
#include <functional>
#include <memory>
#include <optional>
#include <string_view>

struct FieldDef {
    QString name;
    FieldKind kind = FieldKind::Text;
    int size = 0;
    QString displayLabel; // set by a layout; lasts until the query is closed
    // Set by a list that shows a key by its words (an owner by name); lasts as long. A key
    // missing from it shows as its number.
    std::shared_ptr<const QHash<qint64, QString>> keyTexts;
    // What the field shows as: a text where keys are shown by their words.
    FieldKind shownKind() const { return keyTexts ? FieldKind::Text : kind; }
};

class QueryStore;
class QueryWriter;

enum class RowChange { Append, Edit, Remove };

// A change of one row in three steps, so that its statements may run on another thread and
// connection: the query prepares it, run() sends it, and the query that prepared it takes
// the outcome in. Movable, not copyable.
class RowWrite {
  public:
    RowWrite();
    ~RowWrite();
    RowWrite(RowWrite&&) noexcept;
    RowWrite& operator=(RowWrite&&) noexcept;

    // Sends the statements on connection, from any thread. Throws AppError.
    void run(Connection& connection);
    // Someone else had changed or deleted the row since it was read: nothing was written.
    bool refused() const { return refused_; }

  private:
    friend class Query;
    RowChange change_ = RowChange::Edit;
    qint64 record_ = -1;  // the row's id in the result it was prepared on
    quint64 opening_ = 0; // which opening of the query that result was
    SqlCommand write_;    // an append or edit returns the row as written
    SqlCommand reread_;   // the row as it is now, after a refusal
    bool writes_ = true;  // false: nothing to write, the row is only read again
    bool refused_ = false;
    std::unique_ptr<ResultSet> row_; // as written, or as it is now; none when gone
};

// An SQL statement with a client-side result set and a current row. The whole result is read
// when the query opens; rows are read by position and field, changed through the query, and
// re-sorted in place. Views that show the query follow its signals.
class Query : public QObject {
    Q_OBJECT
  public:
    explicit Query(QString name, Connection* connection = nullptr, QObject* parent = nullptr);
    ~Query() override;

    const QString& name() const { return name_; }
    Connection* connection() const { return connection_; }
    void setConnection(Connection* connection);

    void setCommand(SqlCommand command);
    const SqlCommand& command() const { return command_; }

    void open();  // runs the command; the first row becomes current. Throws AppError.
    void close(); // drops the result, its labels and its sort
    // Takes a result read elsewhere for the command, as open() would have read it.
    void adopt(SqlCommand command, std::unique_ptr<QueryStore> store);
    // Adds the rows of the next part of a result taken in parts (the first by adopt()) after
    // the others; a sorted query sorts them in.
    void appendPart(std::unique_ptr<QueryStore> part);
    void exec(); // runs the command without a result set
    bool isActive() const;

    int recordCount() const;
    bool isEmpty() const { return recordCount() == 0; }
    int recNo() const; // position of the current row in the present order; -1 when none
    void setRecNo(int row);
    bool bof() const;
    bool eof() const;
    void first();
    void last();
    void next();
    void prior();

    int fieldCount() const;
    const FieldDef& field(int i) const;
    int findField(const QString& name) const;   // -1 when absent; letter case does not matter
    int fieldByName(const QString& name) const; // throws "<query>: Field '<name>' not found"
    void setDisplayLabel(int field, const QString& label);
    // The field's whole-number keys show, print, export and sort as these words.
    void setKeyTexts(int field, std::shared_ptr<const QHash<qint64, QString>> texts);

    // Cells by position in the present order.
    bool isNull(int row, int field) const;
    // Null: invalid QVariant; then qint64, double, QString, QDateTime or bool by field kind.
    QVariant value(int row, int field) const;
    QString displayText(int row, int field) const; // the text a grid shows in the cell
    // The cell's UTF-8 where displayText shows the stored text as it is, so a caller that
    // wants bytes need not make a QString; nullopt for any other cell.
    std::optional<std::string_view> plainText(int row, int field) const;

    // The current row by field name.
    QString asString(const QString& field) const;     // Null gives ""
    qint64 asInteger(const QString& field) const;     // Null gives 0
    QDateTime asDateTime(const QString& field) const; // Null gives an invalid QDateTime
    QVariant asVariant(const QString& field) const;

    // Changes reach the database at once. A change or delete of a row that someone else
    // changed or deleted since it was read fails with AppError and overwrites nothing.
    void append(const QVariantMap& values); // new row becomes current, auto-number filled in
    void edit(const QVariantMap& values);   // the current row
    void remove();                          // the current row
    // Asked before each of those with the values it is to write (none for a removal): it
    // may add to them, or throw AppError to refuse the change.
    void setChangeCheck(std::function<void(RowChange, QVariantMap&)> check);

    // The same changes in steps (see RowWrite). prepare() asks the change check and builds the
    // statements for the current row (none for an append); take() shows the outcome as
    // append(), edit() and remove() do, and throws as they do. An outcome for a result the
    // query no longer holds changes nothing in it, but a refusal is still thrown.
    RowWrite prepare(RowChange change, const QVariantMap& values = {});
    void take(RowWrite& write);

    // Re-orders the open result without running the statement again; the current row stays
    // current. An empty text restores the database's order. Throws AppError for a bad text.
    // Emits aboutToResort() and resorted(), not reset().
    void setSort(const QString& text);
    const QString& sort() const { return sort_; }

    // A record's id is its own until the query is closed, whatever the order; views find
    // their rows again by it after resorted(). -1 for a position or id that has no record.
    qint64 recordId(int position) const;
    int positionOfRecord(qint64 id) const; // one O(n) pass after each change of order

    // Bytes the open result holds in memory (0 when closed).
    size_t bytesHeld() const;

  signals:
    void reset();         // opened or closed: everything may have changed
    void aboutToResort(); // the same rows are about to take a new order
    void resorted();      // same rows, new order; recordId() and positionOfRecord() map them
    void rowInserted(int row);
    void rowsAppended(int first, int count); // the next part of the result, at the end
    void rowChanged(int row);
    void rowRemoved(int row);
    void currentChanged(int row);

  private:
    QueryStore& writableStore(bool needsCurrentRow) const;
    void dropPosition(int position);

    QString name_;
    Connection* connection_ = nullptr;
    SqlCommand command_;
    QString sort_;
    std::unique_ptr<QueryStore> store_;
    quint64 opening_ = 0; // counts the results the query held, so an outcome finds its own
    std::function<void(RowChange, QVariantMap&)> changeCheck_;
};
