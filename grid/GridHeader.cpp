#include "GridHeader.h"

#include "GridColumn.h"
#include "GridModel.h"

#include <QMouseEvent>
#include <QPainter>
#include <QStyleOptionHeader>

namespace {

constexpr int markerSize = 7;

void drawSortMarker(QPainter& p, const QRect& area, TSortMarkerEh marker, const QColor& color) {
    const QPointF c = QRectF(area).center();
    const qreal h = markerSize / 2.0;
    QPolygonF triangle;
    if (marker == smDownEh) // ascending: the triangle points down
        triangle << QPointF(c.x() - h, c.y() - h / 2) << QPointF(c.x() + h, c.y() - h / 2)
                 << QPointF(c.x(), c.y() + h / 2 + 1);
    else
        triangle << QPointF(c.x() - h, c.y() + h / 2) << QPointF(c.x() + h, c.y() + h / 2)
                 << QPointF(c.x(), c.y() - h / 2 - 1);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(color);
    p.drawPolygon(triangle);
}

} // namespace

GridHeader::GridHeader(QWidget* parent) : QHeaderView(Qt::Horizontal, parent) {
    // Moves and clicks are this class's own, so the threshold is 3 pixels, not the drag distance.
    setSectionsMovable(false);
    setSectionsClickable(false);
    setHighlightSections(false);
    setSectionResizeMode(QHeaderView::Interactive);
    setStretchLastSection(false);
}

// The border a press at x would drag, as QHeaderView finds it; -1 inside a title.
int GridHeader::handleAt(int x) const {
    const int visual = visualIndexAt(x);
    if (visual < 0)
        return -1;
    const int logical = logicalIndex(visual);
    const int start = sectionViewportPosition(logical);
    const int grip = style()->pixelMetric(QStyle::PM_HeaderGripMargin, nullptr, this);
    if (x > start + sectionSize(logical) - grip)
        return logical;
    if (x < start + grip) {
        for (int v = visual - 1; v >= 0; --v) {
            if (!isSectionHidden(logicalIndex(v)))
                return logicalIndex(v);
        }
    }
    return -1;
}

int GridHeader::dropTarget(int x) const {
    if (count() == 0)
        return -1;
    const int visual = visualIndexAt(x);
    if (visual >= 0)
        return visual;
    return x < 0 ? 0 : count() - 1;
}

void GridHeader::mousePressEvent(QMouseEvent* event) {
    const int x = event->position().toPoint().x();
    if (event->button() != Qt::LeftButton || handleAt(x) >= 0 || logicalIndexAt(x) < 0) {
        QHeaderView::mousePressEvent(event);
        return;
    }
    pressed_ = logicalIndexAt(x);
    pressX_ = x;
    pressModifiers_ = event->modifiers();
    moving_ = false;
    viewport()->update();
}

void GridHeader::mouseMoveEvent(QMouseEvent* event) {
    if (pressed_ < 0) {
        QHeaderView::mouseMoveEvent(event);
        return;
    }
    const int x = event->position().toPoint().x();
    if (!moving_ && qAbs(x - pressX_) > moveThreshold)
        moving_ = true;
    if (moving_) {
        dropVisual_ = dropTarget(x);
        viewport()->update();
    }
}

void GridHeader::endPress() {
    pressed_ = -1;
    moving_ = false;
    dropVisual_ = -1;
    viewport()->update();
}

void GridHeader::mouseReleaseEvent(QMouseEvent* event) {
    if (pressed_ < 0) {
        QHeaderView::mouseReleaseEvent(event);
        return;
    }
    const int logical = pressed_;
    const bool moved = moving_;
    const int to = dropVisual_;
    const Qt::KeyboardModifiers pressModifiers = pressModifiers_;
    endPress();
    if (event->button() != Qt::LeftButton)
        return;
    if (moved) {
        const int from = visualIndex(logical);
        if (to >= 0 && from >= 0 && to != from)
            moveSection(from, to);
        return;
    }
    if (logicalIndexAt(event->position().toPoint()) == logical)
        emit titleClicked(logical, pressModifiers, event->modifiers());
}

void GridHeader::paintEvent(QPaintEvent* event) {
    QHeaderView::paintEvent(event);
    if (moving_ && dropVisual_ >= 0)
        paintDropMark();
}

// A bar at the edge where the dragged title would land.
void GridHeader::paintDropMark() {
    const int target = logicalIndex(dropVisual_);
    const bool right = dropVisual_ > visualIndex(pressed_);
    const int x = sectionViewportPosition(target) + (right ? sectionSize(target) - 2 : 0);
    QPainter p(viewport());
    p.fillRect(QRect(x, 0, 2, viewport()->height()), palette().highlight());
}

void GridHeader::paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const {
    if (!rect.isValid())
        return;
    QStyleOptionHeader opt;
    initStyleOptionForIndex(&opt, logicalIndex);
    opt.rect = rect;
    opt.sortIndicator = QStyleOptionHeader::None;
    const bool button =
        model() &&
        model()->headerData(logicalIndex, orientation(), GridModel::TitleButtonRole).toBool();
    opt.state &= ~(QStyle::State_Sunken | QStyle::State_Raised);
    opt.state |= (button && logicalIndex == pressed_ && !moving_) ? QStyle::State_Sunken
                                                                  : QStyle::State_Raised;
    const auto marker =
        model()
            ? TSortMarkerEh(model()
                                ->headerData(logicalIndex, orientation(), GridModel::SortMarkerRole)
                                .toInt())
            : smNoneEh;
    const int markerSpace = marker == smNoneEh ? 0 : markerSize + 6;

    painter->save();
    style()->drawControl(QStyle::CE_HeaderSection, &opt, painter, this);
    QStyleOptionHeader label = opt;
    label.rect =
        style()->subElementRect(QStyle::SE_HeaderLabel, &opt, this).adjusted(0, 0, -markerSpace, 0);
    style()->drawControl(QStyle::CE_HeaderLabel, &label, painter, this);
    if (marker != smNoneEh) {
        const QRect area(rect.right() - markerSpace, rect.top(), markerSpace, rect.height());
        drawSortMarker(*painter, area, marker, palette().color(QPalette::ButtonText));
    }
    painter->restore();
}
