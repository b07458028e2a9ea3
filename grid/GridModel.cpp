#include "GridModel.h"

#include "data/Query.h"

namespace {

bool isNumberKind(FieldKind kind) {
    switch (kind) {
    case FieldKind::Integer:
    case FieldKind::AutoInc:
    case FieldKind::LargeInt:
    case FieldKind::Float:
    case FieldKind::Currency:
    case FieldKind::Decimal:
        return true;
    default:
        return false;
    }
}

// A cell is one line: line breaks and tabs of memo texts become blanks.
QString singleLine(QString text) {
    for (QChar& c : text) {
        if (c == u'\n' || c == u'\r' || c == u'\t')
            c = u' ';
    }
    return text;
}

} // namespace

GridModel::GridModel(QObject* parent) : QAbstractTableModel(parent) {}

void GridModel::setQuery(Query* query) {
    if (query_ == query)
        return;
    if (query_)
        disconnect(query_, nullptr, this, nullptr);
    query_ = query;
    if (query_) {
        connect(query_, &Query::reset, this, &GridModel::onQueryReset);
        connect(query_, &Query::aboutToResort, this, &GridModel::onAboutToResort);
        connect(query_, &Query::resorted, this, &GridModel::onResorted);
        connect(query_, &Query::rowInserted, this, &GridModel::onRowInserted);
        connect(query_, &Query::rowsAppended, this, &GridModel::onRowsAppended);
        connect(query_, &Query::rowChanged, this, &GridModel::onRowChanged);
        connect(query_, &Query::rowRemoved, this, &GridModel::onRowRemoved);
    }
    onQueryReset();
}

Query* GridModel::query() const {
    return query_;
}

bool GridModel::queryActive() const {
    return query_ && query_->isActive();
}

int GridModel::queryRowCount() const {
    return queryActive() ? query_->recordCount() : 0;
}

int GridModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : rows_;
}

int GridModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(columns_.size());
}

Qt::ItemFlags GridModel::flags(const QModelIndex& index) const {
    return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::NoItemFlags;
}

QVariant GridModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.column() >= columns_.size())
        return {};
    switch (role) {
    case Qt::DisplayRole:
        return cellText(index.row(), index.column());
    case Qt::TextAlignmentRole: {
        const int f = fields_.at(index.column());
        const bool number = f >= 0 && queryActive() && isNumberKind(query_->field(f).shownKind());
        return QVariant::fromValue(Qt::AlignVCenter | (number ? Qt::AlignRight : Qt::AlignLeft));
    }
    case EditButtonRole:
        return columns_.at(index.column()).alwaysShowEditButton;
    default:
        return {};
    }
}

QVariant GridModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || section < 0 || section >= columns_.size())
        return QAbstractTableModel::headerData(section, orientation, role);
    switch (role) {
    case Qt::DisplayRole:
        return columnTitle(section);
    case SortMarkerRole:
        return int(columns_.at(section).sortMarker);
    case TitleButtonRole:
        return columns_.at(section).titleButton;
    default:
        return {};
    }
}

int GridModel::columnField(int i) const {
    return i >= 0 && i < fields_.size() && queryActive() ? fields_.at(i) : -1;
}

QString GridModel::columnTitle(int i) const {
    const int f = columnField(i);
    if (f < 0) // a failed search closes the query: the titles stay those of the layout
        return columns_.at(i).title.isEmpty() ? columns_.at(i).fieldName : columns_.at(i).title;
    const FieldDef& field = query_->field(f);
    return field.displayLabel.isEmpty() ? field.name : field.displayLabel;
}

QString GridModel::cellText(int row, int column) const {
    const int f = columnField(column);
    if (f < 0 || row < 0 || row >= queryRowCount())
        return {};
    const GridColumn& c = columns_.at(column);
    if (c.textOf)
        return c.textOf(row);
    if (!c.trueText.isEmpty() && query_->field(f).kind == FieldKind::Boolean)
        return query_->isNull(row, f)           ? QString()
               : query_->value(row, f).toBool() ? c.trueText
                                                : c.falseText;
    return singleLine(query_->displayText(row, f));
}

int GridModel::resolveField(const QString& name) const {
    return queryActive() ? query_->findField(name) : -1;
}

void GridModel::resolveFields() {
    fields_.clear();
    for (const GridColumn& c : columns_)
        fields_.append(resolveField(c.fieldName));
}

void GridModel::rebuildAutomaticColumns() {
    columns_.clear();
    const int n = queryActive() ? query_->fieldCount() : 0;
    for (int f = 0; f < n; ++f) {
        GridColumn c;
        c.fieldName = query_->field(f).name;
        c.width = 100;
        columns_.append(c);
    }
}

void GridModel::settle() {
    --changing_;
    if (changing_ == 0)
        emit settled();
}

void GridModel::onQueryReset() {
    ++changing_;
    beginResetModel();
    rows_ = queryRowCount();
    if (!own_)
        rebuildAutomaticColumns();
    resolveFields();
    endResetModel();
    settle();
}

// A re-sort is a layout change, not a reset: marked rows and the current cell follow their
// records to the new positions.
void GridModel::onAboutToResort() {
    ++changing_;
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    resortFrom_ = persistentIndexList();
    resortIds_.clear();
    resortIds_.reserve(resortFrom_.size());
    for (const QModelIndex& i : resortFrom_)
        resortIds_.append(query_->recordId(i.row()));
}

void GridModel::onResorted() {
    QModelIndexList to;
    to.reserve(resortFrom_.size());
    for (qsizetype i = 0; i < resortFrom_.size(); ++i) {
        const int row = query_->positionOfRecord(resortIds_.at(i));
        to.append(row < 0 ? QModelIndex() : index(row, resortFrom_.at(i).column()));
    }
    changePersistentIndexList(resortFrom_, to);
    resortFrom_.clear();
    resortIds_.clear();
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
    settle();
}

void GridModel::onRowInserted(int row) {
    if (row < 0 || row > rows_ || queryRowCount() != rows_ + 1) {
        onQueryReset(); // out of step: take the query as it is now
        return;
    }
    ++changing_;
    beginInsertRows({}, row, row);
    ++rows_;
    endInsertRows();
    settle();
}

void GridModel::onRowsAppended(int first, int count) {
    if (first != rows_ || queryRowCount() != rows_ + count) {
        onQueryReset();
        return;
    }
    ++changing_;
    beginInsertRows({}, first, first + count - 1);
    rows_ += count;
    endInsertRows();
    settle();
}

void GridModel::onRowChanged(int row) {
    if (row >= 0 && row < rows_ && !columns_.isEmpty())
        emit dataChanged(index(row, 0), index(row, int(columns_.size()) - 1));
}

void GridModel::onRowRemoved(int row) {
    if (row < 0 || row >= rows_ || queryRowCount() != rows_ - 1) {
        onQueryReset();
        return;
    }
    ++changing_;
    beginRemoveRows({}, row, row);
    --rows_;
    endRemoveRows();
    settle();
}

int GridModel::addColumn(const GridColumn& column) {
    ++changing_;
    if (!own_ && !columns_.isEmpty()) {
        beginRemoveColumns({}, 0, int(columns_.size()) - 1);
        columns_.clear();
        fields_.clear();
        endRemoveColumns();
    }
    own_ = true;
    const int i = int(columns_.size());
    beginInsertColumns({}, i, i);
    columns_.append(column);
    fields_.append(resolveField(column.fieldName));
    endInsertColumns();
    settle();
    return i;
}

void GridModel::setColumn(int i, const GridColumn& column) {
    if (i < 0 || i >= columns_.size())
        return;
    columns_[i] = column;
    fields_[i] = resolveField(column.fieldName);
    emit headerDataChanged(Qt::Horizontal, i, i);
    if (rows_ > 0)
        emit dataChanged(index(0, i), index(rows_ - 1, i));
}

void GridModel::clearColumns() {
    if (!own_)
        return;
    ++changing_;
    if (!columns_.isEmpty()) {
        beginRemoveColumns({}, 0, int(columns_.size()) - 1);
        columns_.clear();
        fields_.clear();
        endRemoveColumns();
    }
    own_ = false;
    const int n = queryActive() ? query_->fieldCount() : 0;
    if (n > 0) {
        beginInsertColumns({}, 0, n - 1);
        rebuildAutomaticColumns();
        resolveFields();
        endInsertColumns();
    }
    settle();
}

void GridModel::moveColumn(int from, int to) {
    const int n = int(columns_.size());
    if (from < 0 || from >= n || to < 0 || to >= n || from == to)
        return;
    columns_.move(from, to);
    fields_.move(from, to);
    const int first = qMin(from, to);
    const int last = qMax(from, to);
    emit headerDataChanged(Qt::Horizontal, first, last);
    if (rows_ > 0)
        emit dataChanged(index(0, first), index(rows_ - 1, last));
}

void GridModel::setColumnWidth(int i, int width) {
    if (i >= 0 && i < columns_.size())
        columns_[i].width = width;
}

void GridModel::setSortMarker(int i, TSortMarkerEh marker) {
    if (i < 0 || i >= columns_.size() || columns_[i].sortMarker == marker)
        return;
    columns_[i].sortMarker = marker;
    emit headerDataChanged(Qt::Horizontal, i, i);
}

void GridModel::refreshTitles() {
    if (!columns_.isEmpty())
        emit headerDataChanged(Qt::Horizontal, 0, int(columns_.size()) - 1);
}
