#include "GridView.h"

#include "GridModel.h"

#include <QApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QPainter>
#include <QStyle>
#include <QTextLayout>
#include <array>

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
    if (!paintPlainText(painter, opt, index))
        QStyledItemDelegate::paint(painter, opt, index);
}

namespace {

Qt::Alignment alignmentOf(const QVariant& value) {
    if (value.metaType() == QMetaType::fromType<Qt::Alignment>())
        return value.value<Qt::Alignment>();
    return Qt::Alignment(value.toInt());
}

// The colour group the style picks for an item's text and for its selection.
QPalette::ColorGroup colorGroup(bool enabled, QStyle::State state) {
    if (!enabled)
        return QPalette::Disabled;
    return state & QStyle::State_Active ? QPalette::Normal : QPalette::Inactive;
}

// One line laid out in the cell's width as the style lays out an item's text.
void layOutLine(QTextLayout& layout, const QStyleOptionViewItem& opt, int width) {
    QTextOption textOption;
    textOption.setWrapMode(QTextOption::ManualWrap);
    textOption.setTextDirection(opt.direction);
    textOption.setAlignment(QStyle::visualAlignment(opt.direction, opt.displayAlignment));
    layout.setTextOption(textOption);
    layout.beginLayout();
    QTextLine line = layout.createLine();
    if (line.isValid()) {
        line.setLineWidth(width);
        line.setPosition(QPointF(0, 0));
    }
}

} // namespace

// The style lays an item's text out three times per paint (for its size, its elision and its
// drawing); a cell of one line that fits needs it once, drawn exactly as the style draws it.
bool GridDelegate::paintPlainText(QPainter* painter, QStyleOptionViewItem& opt,
                                  const QModelIndex& index) const {
    const QWidget* widget = opt.widget;
    QStyle* style = widget ? widget->style() : QApplication::style();
    if ((opt.state & QStyle::State_Editing) || (opt.features & QStyleOptionViewItem::WrapText) ||
        style->name().compare(QLatin1String("fusion"), Qt::CaseInsensitive) != 0)
        return false;
    enum { Display, Alignment, Font, Foreground, Background, Check, Decoration };
    std::array<QModelRoleData, 7> roles{
        {QModelRoleData(Qt::DisplayRole), QModelRoleData(Qt::TextAlignmentRole),
         QModelRoleData(Qt::FontRole), QModelRoleData(Qt::ForegroundRole),
         QModelRoleData(Qt::BackgroundRole), QModelRoleData(Qt::CheckStateRole),
         QModelRoleData(Qt::DecorationRole)}};
    index.multiData(roles);
    if (roles[Check].data().isValid() || roles[Decoration].data().isValid())
        return false;
    const QVariant& display = roles[Display].data();
    const QString text =
        display.isValid() && !display.isNull() ? displayText(display, opt.locale) : QString();
    if (roles[Alignment].data().isValid())
        opt.displayAlignment = alignmentOf(roles[Alignment].data());
    if (roles[Font].data().isValid())
        opt.font = qvariant_cast<QFont>(roles[Font].data()).resolve(opt.font);
    if (roles[Foreground].data().canConvert<QBrush>())
        opt.palette.setBrush(QPalette::Text, qvariant_cast<QBrush>(roles[Foreground].data()));
    if (roles[Background].data().canConvert<QBrush>())
        opt.backgroundBrush = qvariant_cast<QBrush>(roles[Background].data());

    const int margin = style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, widget) + 1;
    const QRect textRect = opt.rect.adjusted(margin, 0, -margin, 0);
    QTextLayout layout(text, opt.font);
    if (!text.isEmpty()) {
        layOutLine(layout, opt, textRect.width());
        const bool oneLine = !layout.createLine().isValid();
        layout.endLayout();
        if (!oneLine) // several lines: the style's own path places and elides them
            return false;
    }

    painter->save();
    painter->setClipRect(opt.rect);
    const bool selected = opt.state & QStyle::State_Selected;
    if (selected) {
        const bool enabled = widget ? widget->isEnabled() : bool(opt.state & QStyle::State_Enabled);
        painter->fillRect(opt.rect,
                          opt.palette.brush(colorGroup(enabled, opt.state), QPalette::Highlight));
    } else if (opt.backgroundBrush.style() != Qt::NoBrush) {
        const QPointF origin = painter->brushOrigin();
        painter->setBrushOrigin(opt.rect.topLeft());
        painter->fillRect(opt.rect, opt.backgroundBrush);
        painter->setBrushOrigin(origin);
    }
    if (!text.isEmpty()) {
        const QPalette::ColorGroup group = colorGroup(opt.state & QStyle::State_Enabled, opt.state);
        painter->setPen(
            opt.palette.color(group, selected ? QPalette::HighlightedText : QPalette::Text));
        const QRect placed = QStyle::alignedRect(Qt::LayoutDirectionAuto, opt.displayAlignment,
                                                 layout.boundingRect().size().toSize(), textRect);
        const QPointF at(textRect.x(), placed.top());
        if (layout.lineAt(0).naturalTextWidth() > textRect.width()) {
            QTextLayout elided(
                QFontMetrics(opt.font).elidedText(text, opt.textElideMode, textRect.width()),
                opt.font);
            layOutLine(elided, opt, textRect.width());
            elided.endLayout();
            elided.draw(painter, at);
        } else {
            layout.draw(painter, at);
        }
    }
    painter->restore();
    return true;
}
