#pragma once

#include "GridColumn.h"

#include <QList>
#include <QWidget>

class Query;
class QTableView;
class QKeyEvent;

// A read-only grid over an open Query: its rows are the query's rows in their present order,
// its current row is the query's current row. It holds its own column collection (in screen
// order); while that is empty it shows one automatic column per query field. Optionally one
// footer row with running totals, title clicks that mark columns for sorting, and marked rows.
class DataGrid : public QWidget {
    Q_OBJECT
public:
    explicit DataGrid(QWidget* parent = nullptr);
    ~DataGrid() override;

    void setQuery(Query* query);
    Query* query() const;

    // Settings.
    void setAutoSortMarking(bool on);  // title clicks move sort markers
    void setMultiSortMarking(bool on); // Ctrl-click marks several columns
    void setFooterRowCount(int rows);  // 0 or 1
    int footerRowCount() const;
    void setMultiSelect(bool on);      // rows can be marked (whole rows)
    bool titlesShown() const;

    // Columns, in screen order. With no own columns the automatic ones are listed here too.
    int columnCount() const;
    bool hasOwnColumns() const;
    const GridColumn& column(int i) const;
    int addColumn(const GridColumn& column); // the first own column removes the automatic ones
    void setColumn(int i, const GridColumn& column);
    void clearColumns(); // markers, footers and buttons go with them
    void moveColumn(int from, int to);
    void refreshTitles();             // the query's display labels changed; lays the view out
    QString columnTitle(int i) const; // the field's display label, else the field name
    int columnField(int i) const;     // the query field behind the column, -1 when missing

    // Columns marked for sorting, in marking order.
    QList<int> sortMarkedColumns() const;

    // The footer text of a column as shown (sum, count or fixed text; "" for none).
    QString footerValueText(int i) const;

    // Marked rows as positions in the query's present order, ascending.
    QList<int> markedRows() const;
    void setRowMarked(int row, bool marked);
    void clearMarks();
    // The marked rows as tab-separated lines, each ended by CR LF; "" when nothing is marked.
    QString markedRowsText() const;

    // Freeze the display while a long job walks the query; nests.
    void beginUpdate();
    void endUpdate();

    QTableView* view() const; // the table view, for focus, viewport and tests

signals:
    void sortMarkingChanged(); // the owner re-sorts the query (ApplySortMarkers)
    void rowDoubleClicked();
    void keyDown(int key, Qt::KeyboardModifiers modifiers); // keys pressed in the grid

private:
    class Private;
    Private* d;
};
