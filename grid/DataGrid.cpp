#include "DataGrid.h"

#include "FooterBar.h"
#include "FooterFormat.h"
#include "GridHeader.h"
#include "GridModel.h"
#include "GridView.h"
#include "data/Query.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QScrollBar>
#include <QVBoxLayout>
#include <algorithm>

namespace {

TSortMarkerEh nextPlainMarker(TSortMarkerEh m) {
    return m == smDownEh ? smUpEh : smDownEh;
}

TSortMarkerEh nextCtrlMarker(TSortMarkerEh m) {
    switch (m) {
    case smNoneEh:
        return smDownEh;
    case smDownEh:
        return smUpEh;
    default:
        return smNoneEh;
    }
}

// Where an index ends up when the column at from is moved to to.
int movedIndex(int index, int from, int to) {
    if (index == from)
        return to;
    if (from < to && index > from && index <= to)
        return index - 1;
    if (from > to && index >= to && index < from)
        return index + 1;
    return index;
}

} // namespace

class DataGrid::Private {
  public:
    explicit Private(DataGrid* owner);

    void connectQuery(Query* query);
    void onSettled();
    void applyWidths();
    void onSectionResized(int logical, int newSize);
    void onSectionMoved(int oldVisual, int newVisual);
    void moveColumnData(int from, int to);
    void onTitleClicked(int i, Qt::KeyboardModifiers pressed, Qt::KeyboardModifiers released);
    void ctrlMark(int i);
    void plainMark(int i);
    void notifyPendingSort();
    void trackSortOrder(int i);
    void pruneSortOrder();
    void syncCurrentFromQuery();
    void onViewCurrentRowChanged(const QModelIndex& current);
    void copyMarkedRows();
    FooterBar::Cell footerCell(int column) const;
    void invalidateSums();
    void addRowToSums(int row);
    void ensureSums() const;
    const FieldSum& sumOf(int column) const;

    DataGrid* q;
    QObject context; // owns every connection into this object, so none outlives it
    GridModel* model;
    GridView* view;
    GridHeader* header;
    FooterBar* footer;
    QList<QMetaObject::Connection> queryConnections;

    bool autoSortMarking = false;
    bool multiSortMarking = false;
    int footerRows = 0;
    QList<int> sortOrder; // sort-marked columns in marking order
    bool sortPending = false;

    int frozen = 0;
    int frozenRow = -1;
    QPoint frozenScroll;
    bool syncing = false;
    bool applyingWidths = false;
    bool restoringOrder = false;

    mutable QList<FieldSum> sums;
    mutable bool sumsValid = false;
};

DataGrid::Private::Private(DataGrid* owner) : q(owner) {
    model = new GridModel(owner);
    view = new GridView(owner);
    header = new GridHeader(view);
    view->setHorizontalHeader(header);
    view->setModel(model);
    footer = new FooterBar(
        view, [this](int column) { return footerCell(column); }, owner);
    footer->hide();

    auto* layout = new QVBoxLayout(owner);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(view);
    layout->addWidget(footer);
    owner->setFocusProxy(view);

    QObject::connect(model, &GridModel::settled, &context, [this] { onSettled(); });
    QObject::connect(header, &QHeaderView::sectionResized, &context,
                     [this](int logical, int, int size) { onSectionResized(logical, size); });
    QObject::connect(header, &QHeaderView::sectionMoved, &context,
                     [this](int, int from, int to) { onSectionMoved(from, to); });
    QObject::connect(header, &GridHeader::titleClicked, &context,
                     [this](int i, Qt::KeyboardModifiers pressed, Qt::KeyboardModifiers released) {
                         onTitleClicked(i, pressed, released);
                     });
    QObject::connect(view->selectionModel(), &QItemSelectionModel::currentRowChanged, &context,
                     [this](const QModelIndex& current) { onViewCurrentRowChanged(current); });
    QObject::connect(view, &GridView::controlReleased, &context, [this] { notifyPendingSort(); });
    QObject::connect(view, &GridView::focusLost, &context, [this] { notifyPendingSort(); });
    QObject::connect(view, &GridView::copyRequested, &context, [this] { copyMarkedRows(); });
    QObject::connect(view, &GridView::keyPressed, q, &DataGrid::keyDown);
    QObject::connect(view, &GridView::cellsDoubleClicked, q, &DataGrid::rowDoubleClicked);
    auto footerUpdate = [this] { footer->update(); };
    QObject::connect(model, &QAbstractItemModel::dataChanged, &context, footerUpdate);
    QObject::connect(model, &QAbstractItemModel::headerDataChanged, &context, footerUpdate);
}

void DataGrid::Private::connectQuery(Query* query) {
    for (const auto& c : queryConnections)
        QObject::disconnect(c);
    queryConnections.clear();
    if (!query)
        return;
    queryConnections << QObject::connect(query, &Query::currentChanged, &context, [this](int) {
        if (!syncing)
            syncCurrentFromQuery();
    });
    queryConnections << QObject::connect(query, &Query::rowInserted, &context,
                                         [this](int row) { addRowToSums(row); });
    for (auto signal : {&Query::rowChanged, &Query::rowRemoved})
        queryConnections << QObject::connect(query, signal, &context,
                                             [this](int) { invalidateSums(); });
    for (auto signal : {&Query::reset, &Query::resorted})
        queryConnections << QObject::connect(query, signal, &context, [this] { invalidateSums(); });
}

void DataGrid::Private::onSettled() {
    applyWidths();
    pruneSortOrder();
    syncCurrentFromQuery();
    footer->update();
}

void DataGrid::Private::applyWidths() {
    applyingWidths = true;
    for (int i = 0; i < model->columnCount(); ++i)
        header->resizeSection(i, model->column(i).width);
    applyingWidths = false;
}

void DataGrid::Private::onSectionResized(int logical, int newSize) {
    if (!applyingWidths && !model->changing())
        model->setColumnWidth(logical, newSize);
}

// The header keeps logical order equal to screen order; a dragged title moves the column
// itself, so the collection is always in screen order.
void DataGrid::Private::onSectionMoved(int oldVisual, int newVisual) {
    if (restoringOrder)
        return;
    restoringOrder = true;
    header->moveSection(newVisual, oldVisual);
    restoringOrder = false;
    moveColumnData(oldVisual, newVisual);
}

void DataGrid::Private::moveColumnData(int from, int to) {
    const int n = model->columnCount();
    if (from < 0 || from >= n || to < 0 || to >= n || from == to)
        return;
    model->moveColumn(from, to);
    for (int& i : sortOrder)
        i = movedIndex(i, from, to);
    invalidateSums();
    applyWidths();
    footer->update();
}

void DataGrid::Private::onTitleClicked(int i, Qt::KeyboardModifiers pressed,
                                       Qt::KeyboardModifiers released) {
    view->setFocus(Qt::MouseFocusReason); // so the Ctrl release reaches the grid
    if (!autoSortMarking || i < 0 || i >= model->columnCount() || !model->column(i).titleButton)
        return;
    if (multiSortMarking && (pressed & Qt::ControlModifier)) {
        ctrlMark(i);
        if (!(released & Qt::ControlModifier)) // Ctrl already let go before the button
            notifyPendingSort();
    } else {
        plainMark(i);
    }
}

void DataGrid::Private::ctrlMark(int i) {
    model->setSortMarker(i, nextCtrlMarker(model->column(i).sortMarker));
    trackSortOrder(i);
    sortPending = true;
}

void DataGrid::Private::plainMark(int i) {
    const TSortMarkerEh next = nextPlainMarker(model->column(i).sortMarker);
    for (int j = 0; j < model->columnCount(); ++j)
        model->setSortMarker(j, j == i ? next : smNoneEh);
    sortOrder = {i};
    sortPending = false;
    emit q->sortMarkingChanged();
}

void DataGrid::Private::notifyPendingSort() {
    if (!sortPending)
        return;
    sortPending = false;
    emit q->sortMarkingChanged();
}

// A column that gains a marker joins the end of the list; one that loses it leaves.
void DataGrid::Private::trackSortOrder(int i) {
    const bool marked = model->column(i).sortMarker != smNoneEh;
    if (!marked)
        sortOrder.removeAll(i);
    else if (!sortOrder.contains(i))
        sortOrder.append(i);
}

void DataGrid::Private::pruneSortOrder() {
    sortOrder.removeIf([this](int i) {
        return i >= model->columnCount() || model->column(i).sortMarker == smNoneEh;
    });
}

void DataGrid::Private::syncCurrentFromQuery() {
    if (frozen || !model->queryActive() || model->columnCount() == 0)
        return;
    const int row = model->query()->recNo();
    if (row < 0 || row >= model->rowCount())
        return;
    const QModelIndex current = view->currentIndex();
    if (current.isValid() && current.row() == row)
        return;
    const int column = current.isValid() ? current.column() : 0;
    const QModelIndex target = model->index(row, column);
    syncing = true;
    view->selectionModel()->setCurrentIndex(target, QItemSelectionModel::NoUpdate);
    syncing = false;
    view->scrollTo(target);
}

void DataGrid::Private::onViewCurrentRowChanged(const QModelIndex& current) {
    if (syncing || model->changing() || !current.isValid() || !model->queryActive())
        return;
    Query* query = model->query();
    if (query->recNo() == current.row())
        return;
    syncing = true;
    query->setRecNo(current.row());
    syncing = false;
}

void DataGrid::Private::copyMarkedRows() {
    const QString text = q->markedRowsText();
    if (!text.isEmpty())
        QGuiApplication::clipboard()->setText(text);
}

FooterBar::Cell DataGrid::Private::footerCell(int column) const {
    if (column < 0 || column >= model->columnCount())
        return {};
    const bool fixed = model->column(column).footerKind == fvtStaticText;
    return {q->footerValueText(column), fixed ? Qt::AlignLeft : Qt::AlignRight};
}

void DataGrid::Private::invalidateSums() {
    sumsValid = false;
    footer->update();
}

void DataGrid::Private::addRowToSums(int row) {
    if (sumsValid && sums.size() == model->columnCount() && model->queryActive() && row >= 0 &&
        row < model->query()->recordCount()) {
        for (int i = 0; i < sums.size(); ++i) {
            const int f = model->columnField(i);
            if (model->column(i).footerKind == fvtSum && f >= 0)
                sums[i].add(model->query()->value(row, f));
        }
    } else {
        sumsValid = false;
    }
    footer->update();
}

void DataGrid::Private::ensureSums() const {
    if (sumsValid && sums.size() == model->columnCount())
        return;
    sums = QList<FieldSum>(model->columnCount());
    Query* query = model->query();
    const int rows = model->queryActive() ? query->recordCount() : 0;
    for (int i = 0; i < sums.size(); ++i) {
        const int f = model->columnField(i);
        if (model->column(i).footerKind != fvtSum || f < 0)
            continue;
        for (int row = 0; row < rows; ++row)
            sums[i].add(query->value(row, f));
    }
    sumsValid = true;
}

const FieldSum& DataGrid::Private::sumOf(int column) const {
    ensureSums();
    return sums.at(column);
}

DataGrid::DataGrid(QWidget* parent) : QWidget(parent), d(new Private(this)) {}

DataGrid::~DataGrid() {
    delete d;
}

void DataGrid::setQuery(Query* query) {
    d->connectQuery(query);
    d->sumsValid = false;
    d->model->setQuery(query);
}

Query* DataGrid::query() const {
    return d->model->query();
}

void DataGrid::setAutoSortMarking(bool on) {
    d->autoSortMarking = on;
}

void DataGrid::setMultiSortMarking(bool on) {
    d->multiSortMarking = on;
}

void DataGrid::setFooterRowCount(int rows) {
    d->footerRows = std::clamp(rows, 0, 1);
    d->footer->setVisible(d->footerRows == 1);
}

int DataGrid::footerRowCount() const {
    return d->footerRows;
}

void DataGrid::setMultiSelect(bool on) {
    d->view->setMultiSelect(on);
}

bool DataGrid::titlesShown() const {
    return !d->header->isHidden();
}

int DataGrid::columnCount() const {
    return d->model->columnCount();
}

bool DataGrid::hasOwnColumns() const {
    return d->model->hasOwnColumns();
}

const GridColumn& DataGrid::column(int i) const {
    return d->model->column(i);
}

int DataGrid::addColumn(const GridColumn& column) {
    if (!d->model->hasOwnColumns())
        d->sortOrder.clear();
    const int i = d->model->addColumn(column);
    d->trackSortOrder(i);
    d->invalidateSums();
    return i;
}

void DataGrid::setColumn(int i, const GridColumn& column) {
    if (i < 0 || i >= columnCount())
        return;
    d->model->setColumn(i, column);
    d->applyingWidths = true;
    d->header->resizeSection(i, column.width);
    d->applyingWidths = false;
    d->trackSortOrder(i);
    d->invalidateSums();
}

void DataGrid::clearColumns() {
    d->sortOrder.clear();
    d->sortPending = false;
    d->model->clearColumns();
    d->invalidateSums();
}

void DataGrid::moveColumn(int from, int to) {
    d->moveColumnData(from, to);
}

void DataGrid::refreshTitles() {
    d->model->refreshTitles();
    // The titles come last with a new result: laid out now, the view paints it once, not again
    // when its layout timer fires after the first paint.
    d->view->layOutPending();
}

QString DataGrid::columnTitle(int i) const {
    return d->model->columnTitle(i);
}

int DataGrid::columnField(int i) const {
    return d->model->columnField(i);
}

QList<int> DataGrid::sortMarkedColumns() const {
    return d->sortOrder;
}

QString DataGrid::footerValueText(int i) const {
    if (i < 0 || i >= columnCount())
        return {};
    const GridColumn& c = column(i);
    switch (c.footerKind) {
    case fvtStaticText:
        return c.footerText;
    case fvtCount:
        return footerCountText(d->model->queryActive() ? query()->recordCount() : 0);
    case fvtSum: {
        const int f = columnField(i);
        if (f < 0)
            return QStringLiteral("0");
        return d->sumOf(i).text(query()->field(f).kind);
    }
    default:
        return {};
    }
}

QList<int> DataGrid::markedRows() const {
    QList<int> rows;
    for (const QItemSelectionRange& range : d->view->selectionModel()->selection()) {
        for (int row = range.top(); row <= range.bottom(); ++row)
            rows.append(row);
    }
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    return rows;
}

void DataGrid::setRowMarked(int row, bool marked) {
    d->view->markRows(row, row, marked);
}

void DataGrid::clearMarks() {
    d->view->selectionModel()->clearSelection();
}

QString DataGrid::markedRowsText() const {
    QString text;
    for (int row : markedRows()) {
        QStringList cells;
        for (int i = 0; i < columnCount(); ++i) {
            if (column(i).visible)
                cells << d->model->cellText(row, i);
        }
        text += cells.join(u'\t') + QStringLiteral("\r\n");
    }
    return text;
}

void DataGrid::beginUpdate() {
    if (d->frozen++ > 0)
        return;
    d->frozenRow = d->model->queryActive() ? query()->recNo() : -1;
    d->frozenScroll = {d->view->horizontalScrollBar()->value(),
                       d->view->verticalScrollBar()->value()};
    d->view->setUpdatesEnabled(false);
    d->footer->setUpdatesEnabled(false);
}

void DataGrid::endUpdate() {
    if (d->frozen == 0 || --d->frozen > 0)
        return;
    Query* q = query();
    if (d->model->queryActive() && d->frozenRow >= 0 && d->frozenRow < q->recordCount() &&
        q->recNo() != d->frozenRow)
        q->setRecNo(d->frozenRow);
    d->syncCurrentFromQuery();
    d->view->horizontalScrollBar()->setValue(d->frozenScroll.x());
    d->view->verticalScrollBar()->setValue(d->frozenScroll.y());
    d->view->setUpdatesEnabled(true);
    d->footer->setUpdatesEnabled(true);
    d->footer->update();
}

QTableView* DataGrid::view() const {
    return d->view;
}
