#include "FooterBar.h"

#include <QHeaderView>
#include <QPainter>
#include <QScrollBar>
#include <QTableView>

namespace {
constexpr int padding = 3;
} // namespace

FooterBar::FooterBar(QTableView* view, CellSource source, QWidget* parent)
    : QWidget(parent), view_(view), source_(std::move(source)) {
    QFont bold = font();
    bold.setBold(true);
    setFont(bold);
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    QHeaderView* header = view_->horizontalHeader();
    auto repaint = [this] { update(); };
    connect(header, &QHeaderView::sectionResized, this, repaint);
    connect(header, &QHeaderView::sectionMoved, this, repaint);
    connect(header, &QHeaderView::geometriesChanged, this, repaint);
    connect(view_->horizontalScrollBar(), &QScrollBar::valueChanged, this, repaint);
}

QSize FooterBar::sizeHint() const {
    return QSize(100, fontMetrics().height() + 2 * padding + 2);
}

void FooterBar::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), background());
    const QHeaderView* header = view_->horizontalHeader();
    // The cells start where the view's viewport starts: after its frame (and row header).
    const int left = view_->frameWidth() +
                     (view_->verticalHeader()->isVisible() ? view_->verticalHeader()->width() : 0);
    const QRect band(left, 0, view_->viewport()->width(), height());
    p.setClipRect(band);
    const QColor line = palette().color(QPalette::Mid);
    for (int visual = 0; visual < header->count(); ++visual) {
        const int logical = header->logicalIndex(visual);
        if (header->isSectionHidden(logical))
            continue;
        const QRect cell(left + header->sectionViewportPosition(logical), 0,
                         header->sectionSize(logical), height());
        if (cell.right() < band.left() || cell.left() > band.right())
            continue;
        p.setPen(line);
        p.drawLine(cell.topRight(), cell.bottomRight());
        const Cell c = source_(logical);
        const QRect textRect = cell.adjusted(padding, 0, -padding - 1, 0);
        p.setPen(palette().color(QPalette::WindowText));
        p.drawText(textRect, int(c.alignment | Qt::AlignVCenter),
                   fontMetrics().elidedText(c.text, Qt::ElideRight, textRect.width()));
    }
    p.setClipping(false);
    p.setPen(line);
    p.drawLine(rect().topLeft(), rect().topRight());
}
