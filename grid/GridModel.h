#pragma once

#include "GridColumn.h"

#include <QAbstractTableModel>
#include <QList>
#include <QPointer>

class Query;

// The table model behind a DataGrid: the rows of a Query, the columns of the grid's own
// collection (or one automatic column per query field while it has none). Reads cells on
// demand only, so a million rows cost nothing beyond the query's own storage.
class GridModel : public QAbstractTableModel {
    Q_OBJECT
  public:
    enum Role { SortMarkerRole = Qt::UserRole + 1, TitleButtonRole, EditButtonRole };

    explicit GridModel(QObject* parent = nullptr);

    void setQuery(Query* query);
    Query* query() const;
    bool queryActive() const;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    bool hasOwnColumns() const { return own_; }
    const QList<GridColumn>& columns() const { return columns_; }
    const GridColumn& column(int i) const { return columns_.at(i); }
    int columnField(int i) const;
    QString columnTitle(int i) const;
    QString cellText(int row, int column) const; // one line, as the cell shows it

    int addColumn(const GridColumn& column);
    void setColumn(int i, const GridColumn& column);
    void clearColumns();
    void moveColumn(int from, int to);
    void setColumnWidth(int i, int width); // follows the header; no signal
    void setSortMarker(int i, TSortMarkerEh marker);
    void refreshTitles();

    // True while rows or columns are being inserted, removed or reset.
    bool changing() const { return changing_ > 0; }

  signals:
    void settled(); // after any change of rows or columns has been taken in

  private:
    void onQueryReset();
    void onAboutToResort();
    void onResorted();
    void onRowInserted(int row);
    void onRowsAppended(int first, int count);
    void onRowChanged(int row);
    void onRowRemoved(int row);
    void rebuildAutomaticColumns();
    int resolveField(const QString& name) const;
    void resolveFields();
    int queryRowCount() const;
    void settle();

    QPointer<Query> query_;
    QList<GridColumn> columns_; // own ones, or the automatic ones while own_ is false
    QList<int> fields_;         // query field behind each column, -1 when missing
    bool own_ = false;
    int rows_ = 0;
    int changing_ = 0;
    QModelIndexList resortFrom_; // persistent indexes (marks, current) held over a re-sort
    QList<qint64> resortIds_;    // the record behind each of them
};
