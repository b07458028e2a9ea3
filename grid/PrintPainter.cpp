#include "PrintPainter.h"

#include <QFontMetrics>
#include <QPainter>
#include <algorithm>

namespace {

constexpr int cellPadding = 3; // page units between a cell's lines and its text
constexpr int linePadding = 4; // added to a font's height for one printed line

QStringList titlesOf(const PrintSnapshot& snapshot) {
    QStringList titles;
    for (const PrintColumn& column : snapshot.columns)
        titles << column.title;
    return titles;
}

// A cell printed on one line shows a memo's line breaks and tabs as blanks, as the grid does;
// drawn as they stand, the lines would spill over the rows beside.
QString oneLine(QString text) {
    for (QChar& c : text)
        if (c == u'\n' || c == u'\r' || c == u'\t')
            c = u' ';
    return text;
}

int textWidth(const QFontMetrics& metrics, const QString& text) {
    return metrics.horizontalAdvance(text) + 2 * cellPadding + 1;
}

} // namespace

int lineHeightOf(const QFont& font) {
    return QFontMetrics(font).height() + linePadding;
}

PageMetrics lineMetrics(const PrintFonts& fonts) {
    PageMetrics metrics;
    metrics.titleHeight = lineHeightOf(fonts.title);
    metrics.rowHeight = lineHeightOf(fonts.data);
    metrics.footerHeight = lineHeightOf(fonts.footer);
    return metrics;
}

void fitWidthsToTexts(PrintSnapshot& snapshot, const PrintFonts& fonts) {
    const QFontMetrics title(fonts.title), data(fonts.data), footer(fonts.footer);
    for (int c = 0; c < snapshot.columns.size(); ++c) {
        int width = textWidth(title, snapshot.columns[c].title);
        for (const QStringList& row : snapshot.rows)
            width = std::max(width, textWidth(data, row.value(c)));
        if (snapshot.hasFooter)
            width = std::max(width, textWidth(footer, snapshot.footer.value(c)));
        snapshot.columns[c].width = width;
    }
}

QList<int> grownRowHeights(const PrintSnapshot& snapshot, const QList<int>& widths,
                           const QFont& font, int minimumHeight) {
    const QFontMetrics metrics(font);
    QList<int> heights;
    heights.reserve(snapshot.rows.size());
    for (const QStringList& row : snapshot.rows) {
        int height = minimumHeight;
        for (int c = 0; c < row.size() && c < widths.size(); ++c) {
            const QRect room(0, 0, std::max(1, widths[c] - 2 * cellPadding), 1 << 20);
            const QRect needed = metrics.boundingRect(room, Qt::TextWordWrap, row[c]);
            // Each further wrapped line adds one line spacing to a plain row.
            const int lines = std::max(1, qRound(double(needed.height()) / metrics.lineSpacing()));
            height = std::max(height, minimumHeight + (lines - 1) * metrics.lineSpacing());
        }
        heights << height;
    }
    return heights;
}

void PrintPainter::paintPage(QPainter& painter, int pageIndex) const {
    const PrintDocument& d = document_;
    const PrintPage& page = d.layout.pages.at(pageIndex);
    const QList<int>& columns = d.layout.groups.at(page.group);

    painter.save();
    painter.translate(std::max(0, d.metrics.marginLeft), std::max(0, d.metrics.marginTop));
    if (d.metrics.coverHeight > 0 && page.band == d.layout.pages.first().band) {
        if (pageIndex == 0 && d.cover) {
            painter.save();
            d.cover(painter, QRectF(0, 0, d.metrics.usableWidth(), d.metrics.coverHeight));
            painter.restore();
        }
        painter.translate(0, d.metrics.coverHeight);
    }
    painter.scale(d.layout.scale, d.layout.scale);
    QPen pen(d.style.textColor, 1.0);
    pen.setCosmetic(false); // a printer's single dots would be too thin to see
    painter.setPen(pen);

    int y = 0;
    paintLine(painter, columns, y, d.metrics.titleHeight, titlesOf(d.snapshot), d.style.fonts.title,
              Line::Titles);
    y += d.metrics.titleHeight;
    for (int r = page.band.firstRow; r < page.band.firstRow + page.band.rowCount; ++r) {
        const int height = d.metrics.heightOfRow(r);
        paintLine(painter, columns, y, height, d.snapshot.rows.at(r), d.style.fonts.data,
                  Line::Rows);
        y += height;
    }
    if (page.band.footer)
        paintLine(painter, columns, y, d.metrics.footerHeight, d.snapshot.footer,
                  d.style.fonts.footer, Line::Footer);
    painter.restore();
}

void PrintPainter::paintLine(QPainter& painter, const QList<int>& columns, int y, int height,
                             const QStringList& texts, const QFont& font, Line line) const {
    const PrintDocument& d = document_;
    painter.setFont(font);
    const QFontMetrics metrics(font);
    int x = 0;
    for (int c : columns) {
        const int width = d.layout.widths.at(c);
        const QRect cell(x, y, width, height);
        if (line != Line::Rows && d.style.colored)
            painter.fillRect(cell, d.style.titleBackground);
        painter.drawRect(cell);
        const QRect room = cell.adjusted(cellPadding, 0, -cellPadding, 0);
        const QString text = texts.value(c);
        if (room.width() > 0 && !text.isEmpty()) {
            const PrintColumn& column = d.snapshot.columns.at(c);
            const bool right = line == Line::Footer ? column.footerAlignRight : column.alignRight;
            const int align = right ? Qt::AlignRight : Qt::AlignLeft;
            if (d.style.wrapLongTexts && line == Line::Rows)
                painter.drawText(room.adjusted(0, linePadding / 2, 0, 0),
                                 align | Qt::AlignTop | Qt::TextWordWrap, text);
            else
                painter.drawText(room, align | Qt::AlignVCenter | Qt::TextSingleLine,
                                 metrics.elidedText(oneLine(text), Qt::ElideRight, room.width()));
        }
        x += width;
    }
}
