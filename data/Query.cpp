#include "Query.h"

#include "AppError.h"
#include "DisplayFormat.h"
#include "QuerySort.h"
#include "QueryStore.h"

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

namespace {

QString fromUtf8(std::string_view text) {
    return QString::fromUtf8(text.data(), qsizetype(text.size()));
}

bool isNumericKind(FieldKind kind) {
    return kind == FieldKind::Float || kind == FieldKind::Currency || kind == FieldKind::Decimal;
}

// Reads a cell by its stored type and hands it to Form, which says what each type becomes.
template <class Form>
typename Form::Cell readCell(const QueryStore& store, uint32_t row, int field) {
    const FieldKind kind = store.fields[size_t(field)].kind;
    switch (store.type(row, field)) {
    case CellType::Null:
        break;
    case CellType::Integer:
        return Form::integer(store.integer(row, field), kind);
    case CellType::Float:
        return Form::real(store.real(row, field), kind);
    case CellType::Text:
        return Form::text(store.text(row, field), kind);
    case CellType::Blob:
        return Form::blob(store.text(row, field));
    }
    return {};
}

// The cell exactly as stored, for binding it back in a condition.
struct RawForm {
    using Cell = QVariant;
    static QVariant integer(qint64 v, FieldKind) { return v; }
    static QVariant real(double v, FieldKind) { return v; }
    static QVariant text(std::string_view text, FieldKind) { return fromUtf8(text); }
    static QVariant blob(std::string_view bytes) {
        return QByteArray(bytes.data(), qsizetype(bytes.size()));
    }
};

// The cell as the field's kind reads it.
struct TypedForm : RawForm {
    static QVariant integer(qint64 v, FieldKind kind) {
        if (kind == FieldKind::Boolean)
            return v != 0;
        if (isNumericKind(kind))
            return double(v);
        if (kind == FieldKind::Text || kind == FieldKind::Memo)
            return QString::number(v);
        return v;
    }
    static QVariant real(double v, FieldKind kind) {
        if (kind == FieldKind::Boolean)
            return v != 0;
        if (kind == FieldKind::Text || kind == FieldKind::Memo)
            return formatFloat(v);
        return v;
    }
    static QVariant text(std::string_view text, FieldKind kind) {
        if (kind == FieldKind::DateTime)
            if (const auto dt = parseStoredDateTime(text))
                return *dt;
        return fromUtf8(text);
    }
};

// The cell as the grid shows it.
struct DisplayForm {
    using Cell = QString;
    static QString integer(qint64 v, FieldKind kind) {
        if (kind == FieldKind::Boolean)
            return formatBoolean(v != 0);
        return isNumericKind(kind) ? formatFloat(double(v)) : QString::number(v);
    }
    static QString real(double v, FieldKind kind) {
        return kind == FieldKind::Boolean ? formatBoolean(v != 0) : formatFloat(v);
    }
    static QString text(std::string_view text, FieldKind kind) {
        if (kind == FieldKind::DateTime)
            if (const auto dt = parseStoredDateAndTime(text))
                return formatDateTime(dt->date, dt->time);
        return fromUtf8(text);
    }
    static QString blob(std::string_view) { return QStringLiteral("(BLOB)"); }
};

[[noreturn]] void notValid(const QString& text, const char* what) {
    throw AppError(QString("'%1' 不是有效的%2").arg(text, QString::fromUtf8(what)));
}

// A value given for a field, in the form the column stores.
QVariant storableValue(const FieldDef& field, const QVariant& value) {
    if (!value.isValid() || value.isNull())
        return {};
    const bool isText = value.typeId() == QMetaType::QString;
    const QString text = isText ? value.toString().trimmed() : QString();
    if (isText && text.isEmpty() && field.kind != FieldKind::Text && field.kind != FieldKind::Memo)
        return {};
    bool ok = true;
    switch (field.kind) {
    case FieldKind::DateTime:
        if (isText) {
            const auto dt = parseStoredDateTime(text.toStdString());
            if (!dt)
                notValid(text, "日期时间");
            return *dt;
        }
        return value;
    case FieldKind::Boolean:
        return value.toBool();
    case FieldKind::Integer:
    case FieldKind::LargeInt:
    case FieldKind::AutoInc:
        if (isText) {
            const qint64 v = text.toLongLong(&ok);
            if (!ok)
                notValid(text, "整数");
            return v;
        }
        return value;
    case FieldKind::Float:
    case FieldKind::Currency:
    case FieldKind::Decimal:
        if (isText) {
            const double v = text.toDouble(&ok);
            if (!ok)
                notValid(text, "数值");
            return v;
        }
        return value;
    default:
        return value;
    }
}

} // namespace

// ---- opening and closing ------------------------------------------------------------------

Query::Query(QString name, Connection* connection, QObject* parent)
    : QObject(parent), name_(std::move(name)), connection_(connection) {}

Query::~Query() = default;

void Query::setConnection(Connection* connection) {
    connection_ = connection;
}

void Query::setCommand(SqlCommand command) {
    command_ = std::move(command);
}

bool Query::isActive() const {
    return store_ != nullptr;
}

void Query::open() {
    if (isActive())
        close();
    if (!connection_)
        throw AppError(name_ + ": 没有数据库连接");
    adopt(command_, QueryStore::read(*connection_, command_));
}

// One reset for the rows going and those coming: a view lays out and paints them once, its
// scroll bars never seeing an empty result in between.
void Query::adopt(SqlCommand command, std::unique_ptr<QueryStore> store) {
    sort_.clear();
    command_ = std::move(command);
    store_ = std::move(store);
    ++opening_;
    emit reset();
    emit currentChanged(store_->current);
}

void Query::appendPart(std::unique_ptr<QueryStore> part) {
    if (!store_ || !part || part->storedRows() == 0)
        return;
    const int first = recordCount();
    std::vector<uint32_t> rows(part->storedRows());
    for (size_t i = 0; i < rows.size(); ++i)
        rows[i] = uint32_t(i);
    store_->appendRows(std::move(*part), rows);
    const bool hadNone = store_->current < 0;
    if (hadNone) {
        store_->current = 0;
        store_->eof = false;
    }
    emit rowsAppended(first, recordCount() - first);
    if (hadNone)
        emit currentChanged(0);
    if (!sort_.isEmpty())
        setSort(sort_);
}

void Query::close() {
    if (!store_)
        return;
    store_.reset();
    ++opening_;
    sort_.clear();
    emit reset();
    emit currentChanged(-1);
}

void Query::exec() {
    if (!connection_)
        throw AppError(name_ + ": 没有数据库连接");
    connection_->execute(command_);
}

// ---- navigation ---------------------------------------------------------------------------

int Query::recordCount() const {
    return store_ ? int(store_->order.size()) : 0;
}

int Query::recNo() const {
    return store_ ? store_->current : -1;
}

void Query::setRecNo(int row) {
    if (!store_ || store_->order.empty())
        return;
    row = std::clamp(row, 0, recordCount() - 1);
    store_->bof = store_->eof = false;
    if (row != store_->current) {
        store_->current = row;
        emit currentChanged(row);
    }
}

bool Query::bof() const {
    return !store_ || store_->bof;
}
bool Query::eof() const {
    return !store_ || store_->eof;
}

void Query::first() {
    if (!store_)
        return;
    setRecNo(0);
    store_->bof = true;
    store_->eof = store_->order.empty();
}

void Query::last() {
    if (!store_)
        return;
    setRecNo(recordCount() - 1);
    store_->eof = true;
    store_->bof = store_->order.empty();
}

void Query::next() {
    if (!store_)
        return;
    if (store_->current + 1 < recordCount())
        setRecNo(store_->current + 1);
    else
        store_->eof = true;
}

void Query::prior() {
    if (!store_)
        return;
    if (store_->current > 0)
        setRecNo(store_->current - 1);
    else
        store_->bof = true;
}

// ---- fields and cells ---------------------------------------------------------------------

int Query::fieldCount() const {
    return store_ ? int(store_->fields.size()) : 0;
}

const FieldDef& Query::field(int i) const {
    if (!store_ || i < 0 || i >= fieldCount())
        throw AppError(QString("%1: 字段序号 %2 超出范围").arg(name_).arg(i));
    return store_->fields[size_t(i)];
}

int Query::findField(const QString& name) const {
    for (int i = 0; i < fieldCount(); ++i)
        if (store_->fields[size_t(i)].name.compare(name, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

int Query::fieldByName(const QString& name) const {
    const int i = findField(name);
    if (i < 0)
        throw AppError(QString("%1: Field '%2' not found").arg(name_, name));
    return i;
}

void Query::setDisplayLabel(int field, const QString& label) {
    if (store_ && field >= 0 && field < fieldCount())
        store_->fields[size_t(field)].displayLabel = label;
}

void Query::setKeyTexts(int field, std::shared_ptr<const QHash<qint64, QString>> texts) {
    if (store_ && field >= 0 && field < fieldCount())
        store_->fields[size_t(field)].keyTexts = std::move(texts);
}

bool Query::isNull(int row, int field) const {
    return !store_ || row < 0 || row >= recordCount() || field < 0 || field >= fieldCount() ||
           store_->type(store_->order[size_t(row)], field) == CellType::Null;
}

QVariant Query::value(int row, int field) const {
    if (isNull(row, field))
        return {};
    return readCell<TypedForm>(*store_, store_->order[size_t(row)], field);
}

QString Query::displayText(int row, int field) const {
    if (isNull(row, field))
        return {};
    const uint32_t stored = store_->order[size_t(row)];
    if (const auto& texts = store_->fields[size_t(field)].keyTexts;
        texts && store_->type(stored, field) == CellType::Integer)
        if (const auto found = texts->constFind(store_->integer(stored, field));
            found != texts->cend())
            return *found;
    return readCell<DisplayForm>(*store_, stored, field);
}

std::optional<std::string_view> Query::plainText(int row, int field) const {
    if (isNull(row, field))
        return std::nullopt;
    const uint32_t stored = store_->order[size_t(row)];
    if (store_->type(stored, field) != CellType::Text ||
        store_->fields[size_t(field)].kind == FieldKind::DateTime)
        return std::nullopt;
    return store_->text(stored, field);
}

QString Query::asString(const QString& field) const {
    return displayText(recNo(), fieldByName(field));
}

qint64 Query::asInteger(const QString& field) const {
    const int f = fieldByName(field);
    if (isNull(recNo(), f))
        return 0;
    const uint32_t row = store_->order[size_t(recNo())];
    switch (store_->type(row, f)) {
    case CellType::Integer:
        return store_->integer(row, f);
    case CellType::Float:
        return std::llround(store_->real(row, f));
    default: {
        const QString text = fromUtf8(store_->text(row, f)).trimmed();
        bool ok = false;
        const qint64 v = text.toLongLong(&ok);
        if (!ok)
            notValid(text, "整数");
        return v;
    }
    }
}

QDateTime Query::asDateTime(const QString& field) const {
    const QVariant v = asVariant(field);
    if (!v.isValid())
        return {};
    if (v.typeId() != QMetaType::QDateTime)
        notValid(v.toString(), "日期时间");
    return v.toDateTime();
}

QVariant Query::asVariant(const QString& field) const {
    return value(recNo(), fieldByName(field));
}

// ---- changes ------------------------------------------------------------------------------

namespace {

// Where a query's rows can be written: one base table and its auto-numbered key.
struct EditTarget {
    QString table;
    int keyField = -1;
};

EditTarget editTarget(const QueryStore& store, const QString& queryName) {
    EditTarget target;
    for (size_t i = 0; i < store.columns.size(); ++i) {
        const ColumnInfo& c = store.columns[i];
        if (c.table.isEmpty() ||
            (!target.table.isEmpty() && c.table.compare(target.table, Qt::CaseInsensitive) != 0))
            throw AppError(queryName + ": 该查询的结果来自多个表或计算列，不能修改");
        target.table = c.table;
        if (c.primaryKey && c.kind == FieldKind::AutoInc)
            target.keyField = int(i);
    }
    if (target.keyField < 0)
        throw AppError(queryName + ": 该查询的结果没有自动编号的主键，不能修改");
    return target;
}

} // namespace

// The statements a change needs, built from the query's own columns.
class QueryWriter {
  public:
    QueryWriter(Query& query, QueryStore& store)
        : query_(query), store_(store), connection_(*query.connection()),
          target_(editTarget(store, query.name())) {}

    // Pairs of (field, value to store), in field order.
    QList<QPair<int, QVariant>> assignments(const QVariantMap& values) const {
        QList<QPair<int, QVariant>> out;
        for (auto it = values.begin(); it != values.end(); ++it) {
            const int f = query_.fieldByName(it.key());
            if (f == target_.keyField)
                throw AppError(QString("%1: 字段 '%2' 由数据库自动编号，不能修改")
                                   .arg(query_.name(), store_.fields[size_t(f)].name));
            out.append({f, storableValue(store_.fields[size_t(f)], it.value())});
        }
        return out;
    }

    // Gives back the new row as stored, auto-number and defaults filled in.
    SqlCommand insert(const QVariantMap& values) const {
        const auto set = assignments(values);
        QString sql = "INSERT INTO " + q(target_.table);
        SqlCommand command;
        if (set.isEmpty()) {
            sql += " DEFAULT VALUES";
        } else {
            QStringList names, marks;
            for (const auto& [f, v] : set) {
                names << baseName(f);
                marks << "?";
                command.params << v;
            }
            sql += " (" + names.join(", ") + ") VALUES (" + marks.join(", ") + ")";
        }
        command.sql = sql + returning();
        return command;
    }

    // Gives back the row as saved, in the same round trip; nothing when it was no longer as
    // read.
    SqlCommand update(uint32_t row, const QList<QPair<int, QVariant>>& set) const {
        QStringList parts;
        SqlCommand command;
        for (const auto& [f, v] : set) {
            parts << baseName(f) + " = ?";
            command.params << v;
        }
        command.sql = "UPDATE " + q(target_.table) + " SET " + parts.join(", ");
        addUnchangedCondition(command, row);
        command.sql += returning();
        return command;
    }

    SqlCommand erase(uint32_t row) const {
        SqlCommand command{"DELETE FROM " + q(target_.table), {}};
        addUnchangedCondition(command, row);
        return command;
    }

    // The row as the database has it now.
    SqlCommand readRow(uint32_t row) const {
        return {"SELECT " + selectList() + " FROM " + q(target_.table) + " WHERE " +
                    baseName(target_.keyField) + " = ?",
                {key(row)}};
    }

  private:
    qint64 key(uint32_t row) const { return store_.integer(row, target_.keyField); }

    // The query's columns under its own names, as a row is read back.
    QString selectList() const {
        QStringList select;
        for (size_t f = 0; f < store_.columns.size(); ++f)
            select << baseName(int(f)) + " AS " +
                          connection_.quoteIdentifier(store_.fields[f].name);
        return select.join(", ");
    }
    QString returning() const { return " RETURNING " + selectList(); }

    QString q(const QString& name) const { return connection_.quoteIdentifier(name); }
    QString baseName(int f) const { return q(store_.columns[size_t(f)].baseColumn); }

    // Optimistic locking: the row must still hold every value it was read with.
    void addUnchangedCondition(SqlCommand& command, uint32_t row) const {
        QStringList conditions{baseName(target_.keyField) + " = ?"};
        command.params << key(row);
        for (size_t f = 0; f < store_.columns.size(); ++f) {
            if (int(f) == target_.keyField)
                continue;
            conditions << connection_.sameValueCondition(baseName(int(f)));
            command.params << readCell<RawForm>(store_, row, int(f));
        }
        command.sql += " WHERE " + conditions.join(" AND ");
    }

    Query& query_;
    QueryStore& store_;
    Connection& connection_;
    EditTarget target_;
};

namespace {

// A result's current row, kept after its statement is gone, so another thread may hand it on.
class KeptRow : public ResultSet {
  public:
    explicit KeptRow(const ResultSet& from) : cells_(size_t(from.columnCount())) {
        from.readRow(cells_.data());
        texts_.resize(cells_.size());
        for (size_t i = 0; i < cells_.size(); ++i) {
            columns_.push_back(from.column(int(i)));
            texts_[i] = std::string(cells_[i].text);
        }
        for (size_t i = 0; i < cells_.size(); ++i)
            cells_[i].text = texts_[i];
    }
    int columnCount() const override { return int(cells_.size()); }
    const ColumnInfo& column(int i) const override { return columns_[size_t(i)]; }
    bool next() override { return false; }
    CellType type(int i) const override { return cells_[size_t(i)].type; }
    qint64 toInt64(int i) const override { return cells_[size_t(i)].integer; }
    double toDouble(int i) const override { return cells_[size_t(i)].real; }
    std::string_view text(int i) const override { return cells_[size_t(i)].text; }
    void readRow(CellValue* cells) const override {
        std::copy(cells_.begin(), cells_.end(), cells);
    }

  private:
    std::vector<ColumnInfo> columns_;
    std::vector<CellValue> cells_;
    std::vector<std::string> texts_;
};

// The first row the command gives, kept; null when it gives none.
std::unique_ptr<ResultSet> firstRow(Connection& connection, const SqlCommand& command) {
    auto rows = connection.query(command);
    return rows->next() ? std::make_unique<KeptRow>(*rows) : nullptr;
}

} // namespace

RowWrite::RowWrite() = default;
RowWrite::~RowWrite() = default;
RowWrite::RowWrite(RowWrite&&) noexcept = default;
RowWrite& RowWrite::operator=(RowWrite&&) noexcept = default;

// One statement changes the row and gives it back, so a save costs the server one round trip.
void RowWrite::run(Connection& connection) {
    refused_ = false;
    switch (change_) {
    case RowChange::Append:
        row_ = firstRow(connection, write_);
        return;
    case RowChange::Edit:
        row_ = firstRow(connection, writes_ ? write_ : reread_);
        refused_ = writes_ && !row_;
        break;
    case RowChange::Remove:
        refused_ = connection.execute(write_) == 0;
        break;
    }
    if (refused_) // shown as the database has it now
        row_ = firstRow(connection, reread_);
}

QueryStore& Query::writableStore(bool needsCurrentRow) const {
    if (!store_)
        throw AppError(name_ + ": 查询没有打开");
    if (!connection_)
        throw AppError(name_ + ": 没有数据库连接");
    if (needsCurrentRow && store_->current < 0)
        throw AppError(name_ + ": 没有当前记录");
    return *store_;
}

void Query::setChangeCheck(std::function<void(RowChange, QVariantMap&)> check) {
    changeCheck_ = std::move(check);
}

RowWrite Query::prepare(RowChange change, const QVariantMap& given) {
    QueryStore& store = writableStore(change != RowChange::Append);
    QVariantMap values = given;
    if (changeCheck_)
        changeCheck_(change, values);
    const QueryWriter writer(*this, store);
    RowWrite write;
    write.change_ = change;
    write.opening_ = opening_;
    if (change == RowChange::Append) {
        write.write_ = writer.insert(values);
        return write;
    }
    const uint32_t row = store.order[size_t(store.current)];
    write.record_ = row;
    write.reread_ = writer.readRow(row);
    if (change == RowChange::Remove) {
        write.write_ = writer.erase(row);
        return write;
    }
    const auto set = writer.assignments(values);
    write.writes_ = !set.isEmpty(); // nothing to write: the row is only read again
    if (write.writes_)
        write.write_ = writer.update(row, set);
    return write;
}

void Query::append(const QVariantMap& values) {
    RowWrite write = prepare(RowChange::Append, values);
    write.run(*connection_);
    take(write);
}

void Query::edit(const QVariantMap& values) {
    RowWrite write = prepare(RowChange::Edit, values);
    write.run(*connection_);
    take(write);
}

void Query::remove() {
    RowWrite write = prepare(RowChange::Remove);
    write.run(*connection_);
    take(write);
}

void Query::take(RowWrite& write) {
    const bool ours = store_ && write.opening_ == opening_;
    const int position = ours && write.record_ >= 0 ? positionOfRecord(write.record_) : -1;
    switch (write.change_) {
    case RowChange::Append:
        if (!write.row_)
            throw AppError(name_ + ": 新记录写入后无法读回");
        if (!ours)
            return;
        store_->order.push_back(store_->addRow(*write.row_));
        store_->orderChanged();
        store_->current = recordCount() - 1;
        store_->bof = store_->eof = false;
        emit rowInserted(store_->current);
        emit currentChanged(store_->current);
        return;
    case RowChange::Edit:
    case RowChange::Remove:
        break;
    }
    // After a refusal the row shows as the database has it now, then the refusal is said.
    if (position >= 0) {
        const bool gone = write.change_ == RowChange::Remove ? !write.refused_ || !write.row_
                                                             : write.refused_ && !write.row_;
        if (gone) {
            dropPosition(position);
        } else if (write.row_) {
            store_->setRow(uint32_t(write.record_), *write.row_);
            emit rowChanged(position);
        }
    }
    if (write.refused_)
        throw RowConflict();
}

void Query::dropPosition(int position) {
    store_->order.erase(store_->order.begin() + position);
    store_->orderChanged();
    const int count = recordCount();
    store_->current = count == 0 ? -1 : std::min(position, count - 1);
    store_->bof = count == 0;
    store_->eof = count == 0;
    emit rowRemoved(position);
    emit currentChanged(store_->current);
}

// ---- sorting ------------------------------------------------------------------------------

void Query::setSort(const QString& text) {
    if (!store_)
        throw AppError(name_ + ": 查询没有打开");
    QList<QPair<int, bool>> keys;
    for (const SortKey& key : parseSortText(text))
        keys.append({fieldByName(key.field), key.descending});
    const qint64 currentRow = recordId(store_->current);
    emit aboutToResort();
    auto finish = [&] {
        store_->orderChanged();
        store_->current = positionOfRecord(currentRow);
        emit resorted();
    };
    try {
        sortRows(*store_, keys);
    } catch (...) { // the rows are still all there; views must not stay half-changed
        finish();
        throw;
    }
    sort_ = text;
    finish();
    emit currentChanged(store_->current);
}

qint64 Query::recordId(int position) const {
    if (!store_ || position < 0 || position >= recordCount())
        return -1;
    return store_->order[size_t(position)];
}

int Query::positionOfRecord(qint64 id) const {
    if (!store_ || id < 0 || id >= qint64(store_->storedRows()))
        return -1;
    return store_->position(uint32_t(id));
}

size_t Query::bytesHeld() const {
    return store_ ? store_->bytesHeld() : 0;
}
