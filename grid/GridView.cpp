#include "GridView.h"

#include "GridModel.h"

#include <QApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QPainter>

namespace {

constexpr int buttonWidth = 16;

bool isInertEditKey(const QKeyEvent* event) {
    return event->matches(QKeySequence::Cut) || event->matches(QKeySequence::Paste) ||
           event->matches(QKeySequence::Delete) || event->key() == Qt::Key_Delete ||
           event->key() == Qt::Key_Backspace;
}

} // namespace

bool isCopyKey(const QKeyEvent* event) {
    return event->matches(QKeySequence::Copy) ||
           (event->key() == Qt::Key_Insert && event->modifiers() == Qt::ControlModifier);
}

GridView::GridView(QWidget* parent) : QTableView(parent) {
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::NoSelection);
    setWordWrap(false);
    setTabKeyNavigation(false);
    setCornerButtonEnabled(false);
    setSortingEnabled(false);
    setDragEnabled(false);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    setItemDelegate(new GridDelegate(this));
    // Every row has the same height: nothing is measured per row, however many there are.
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    verticalHeader()->hide();
}

void GridView::setMultiSelect(bool on) {
    multiSelect_ = on;
    setSelectionMode(on ? QAbstractItemView::ExtendedSelection : QAbstractItemView::NoSelection);
    if (!on && selectionModel())
        selectionModel()->clearSelection();
}

void GridView::markRows(int first, int last, bool marked) {
    if (!model() || model()->columnCount() == 0 || first < 0 || last >= model()->rowCount())
        return;
    const QItemSelection rows(model()->index(first, 0), model()->index(last, 0));
    selectionModel()->select(
        rows, (marked ? QItemSelectionModel::Select : QItemSelectionModel::Deselect) |
                  QItemSelectionModel::Rows);
}

void GridView::updateRow(int row) {
    if (row < 0)
        return;
    const int y = rowViewportPosition(row);
    if (y >= -rowHeight(row) && y <= viewport()->height())
        viewport()->update(QRect(0, y, viewport()->width(), rowHeight(row)));
}

bool GridView::event(QEvent* event) {
    if (event->type() == QEvent::ShortcutOverride) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->matches(QKeySequence::SelectAll)) {
            event->ignore(); // the window's Ctrl+A action gets it
            return true;
        }
        if (isCopyKey(key)) {
            event->accept();
            return true;
        }
    }
    return QTableView::event(event);
}

void GridView::keyPressEvent(QKeyEvent* event) {
    emit keyPressed(event->key(), event->modifiers());
    if (isCopyKey(event)) {
        emit copyRequested();
        event->accept();
        return;
    }
    if (event->matches(QKeySequence::SelectAll)) {
        event->ignore();
        return;
    }
    if (isInertEditKey(event)) { // read-only: cut, paste and delete change nothing here
        event->accept();
        return;
    }
    QTableView::keyPressEvent(event);
}

void GridView::keyReleaseEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Control)
        emit controlReleased();
    QTableView::keyReleaseEvent(event);
}

void GridView::focusOutEvent(QFocusEvent* event) {
    QTableView::focusOutEvent(event);
    emit focusLost();
}

// Keyboard moves to another row clear the marks; nothing else the keyboard does marks rows.
QItemSelectionModel::SelectionFlags GridView::selectionCommand(const QModelIndex& index,
                                                               const QEvent* event) const {
    if (event && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<const QKeyEvent*>(event);
        const bool rowMove = index.row() != currentIndex().row();
        if (multiSelect_ && rowMove && key->modifiers() == Qt::NoModifier)
            return QItemSelectionModel::Clear;
        return QItemSelectionModel::NoUpdate;
    }
    return QTableView::selectionCommand(index, event);
}

bool GridView::onEditButton(const QModelIndex& index, const QPoint& pos) const {
    return index.data(GridModel::EditButtonRole).toBool() &&
           GridDelegate::buttonRect(visualRect(index)).contains(pos);
}

void GridView::markByClick(int row, Qt::KeyboardModifiers modifiers) {
    if (!multiSelect_)
        return;
    if (modifiers & Qt::ControlModifier) {
        const bool marked = selectionModel()->isRowSelected(row, {});
        markRows(row, row, !marked);
    } else if ((modifiers & Qt::ShiftModifier) && currentIndex().isValid()) {
        const int from = currentIndex().row();
        selectionModel()->clearSelection();
        markRows(qMin(from, row), qMax(from, row), true);
    } else {
        selectionModel()->clearSelection();
        markRows(row, row, true);
    }
}

void GridView::mousePressEvent(QMouseEvent* event) {
    setFocus(Qt::MouseFocusReason);
    const QPoint pos = event->position().toPoint();
    const QModelIndex index = indexAt(pos);
    if (event->button() == Qt::RightButton && index.isValid()) {
        // The context menu that follows acts on the current row: make it the row clicked.
        if (multiSelect_ && !selectionModel()->isRowSelected(index.row(), {}))
            markByClick(index.row(), {});
        makeRowCurrent(index);
        event->accept();
        return;
    }
    if (event->button() != Qt::LeftButton || !index.isValid() || onEditButton(index, pos)) {
        event->accept(); // the ellipsis button is inert; other buttons leave rows alone
        return;
    }
    markByClick(index.row(), event->modifiers());
    makeRowCurrent(index);
    event->accept();
}

void GridView::makeRowCurrent(const QModelIndex& index) {
    const int column = currentIndex().isValid() ? currentIndex().column() : index.column();
    selectionModel()->setCurrentIndex(model()->index(index.row(), column),
                                      QItemSelectionModel::NoUpdate);
}

void GridView::mouseMoveEvent(QMouseEvent* event) {
    if (event->buttons() != Qt::NoButton) { // no marking by dragging
        event->accept();
        return;
    }
    QTableView::mouseMoveEvent(event);
}

void GridView::mouseReleaseEvent(QMouseEvent* event) {
    event->accept();
}

void GridView::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton)
        emit cellsDoubleClicked();
    event->accept();
}

void GridView::currentChanged(const QModelIndex& current, const QModelIndex& previous) {
    QTableView::currentChanged(current, previous);
    if (previous.row() != current.row()) { // the tint covers the whole row
        updateRow(previous.row());
        updateRow(current.row());
    }
}

QRect GridDelegate::buttonRect(const QRect& cell) {
    const int w = qMin(buttonWidth, cell.width());
    return QRect(cell.right() - w + 1, cell.top() + 1, w, qMax(0, cell.height() - 2));
}

void GridDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                         const QModelIndex& index) const {
    QStyleOptionViewItem opt = option;
    opt.state &= ~QStyle::State_HasFocus;
    const auto* view = qobject_cast<const QAbstractItemView*>(opt.widget);
    const bool current = view && view->currentIndex().row() == index.row();
    if (current && !(opt.state & QStyle::State_Selected)) {
        QColor tint = opt.palette.color(QPalette::Highlight);
        tint.setAlpha(70);
        painter->fillRect(opt.rect, tint);
    }
    if (index.data(GridModel::EditButtonRole).toBool()) {
        const QRect button = buttonRect(opt.rect);
        QStyleOptionButton b;
        b.rect = button;
        b.state = QStyle::State_Enabled | QStyle::State_Raised;
        b.text = QStringLiteral("...");
        b.palette = opt.palette;
        const QWidget* w = opt.widget;
        QStyle* style = w ? w->style() : QApplication::style();
        style->drawControl(QStyle::CE_PushButtonBevel, &b, painter, w);
        painter->drawText(button, Qt::AlignCenter, b.text);
        opt.rect.setRight(button.left() - 1);
    }
    QStyledItemDelegate::paint(painter, opt, index);
}
