#pragma once

#include <QStyledItemDelegate>
#include <QTableView>

// The cell area of a DataGrid: a read-only, whole-row table view whose row marks follow the
// grid's rules (plain click marks one row, Ctrl toggles, Shift marks from the current row,
// keyboard moves clear the marks). Keys it does not own, Ctrl+A above all, go on to the window.
class GridView : public QTableView {
    Q_OBJECT
  public:
    explicit GridView(QWidget* parent = nullptr);

    void setMultiSelect(bool on);
    bool multiSelect() const { return multiSelect_; }

    void selectAll() override {}                    // Ctrl+A belongs to the window
    void keyboardSearch(const QString&) override {} // typing does not jump between rows

    // A layout a change left for later is done now, before the change is painted.
    void layOutPending() { executeDelayedItemsLayout(); }

    void markRows(int first, int last, bool marked);
    void updateRow(int row);

  signals:
    void keyPressed(int key, Qt::KeyboardModifiers modifiers);
    void copyRequested();
    void controlReleased();
    void focusLost();
    void cellsDoubleClicked();

  protected:
    bool event(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;
    QItemSelectionModel::SelectionFlags selectionCommand(const QModelIndex& index,
                                                         const QEvent* event) const override;

  private:
    void markByClick(int row, Qt::KeyboardModifiers modifiers);
    void makeRowCurrent(const QModelIndex& index); // keeps the column the cursor is in
    bool onEditButton(const QModelIndex& index, const QPoint& pos) const;

    bool multiSelect_ = false;
};

// Paints the current row's tint and the inert ellipsis button of columns that show one.
class GridDelegate : public QStyledItemDelegate {
    Q_OBJECT
  public:
    using QStyledItemDelegate::QStyledItemDelegate;

    static QRect buttonRect(const QRect& cell);

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
};

bool isCopyKey(const QKeyEvent* event);
