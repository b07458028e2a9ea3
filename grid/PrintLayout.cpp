#include "PrintLayout.h"

#include <algorithm>
#include <numeric>

int PageMetrics::usableWidth() const {
    return std::max(1, pageWidth - std::max(0, marginLeft) - std::max(0, marginRight));
}

int PageMetrics::usableHeight() const {
    return std::max(1, pageHeight - std::max(0, marginTop) - std::max(0, marginBottom));
}

int PageMetrics::heightOfRow(int row) const {
    return row < rowHeights.size() ? rowHeights[row] : rowHeight;
}

namespace {

int totalWidth(const QList<int>& widths) {
    return std::accumulate(widths.begin(), widths.end(), 0);
}

QList<int> screenWidths(const PrintSnapshot& snapshot) {
    QList<int> widths;
    for (const PrintColumn& column : snapshot.columns)
        widths << std::max(0, column.width);
    return widths;
}

// Narrows every column by the same factor; the rounding remainder goes to the first columns.
QList<int> narrowedWidths(const QList<int>& widths, int usable) {
    const int total = totalWidth(widths);
    if (total <= usable)
        return widths;
    QList<int> narrowed;
    for (int w : widths)
        narrowed << int(qint64(w) * usable / total);
    int left = usable - totalWidth(narrowed);
    for (int i = 0; left > 0 && i < narrowed.size(); ++i)
        if (widths[i] > 0) {
            ++narrowed[i];
            --left;
        }
    return narrowed;
}

// Columns in screen order, as many per group as fit; a column wider than the page stands alone.
QList<QList<int>> columnGroups(const QList<int>& widths, int usable) {
    QList<QList<int>> groups;
    QList<int> group;
    int x = 0;
    for (int i = 0; i < widths.size(); ++i) {
        if (!group.isEmpty() && x + widths[i] > usable) {
            groups << group;
            group.clear();
            x = 0;
        }
        group << i;
        x += widths[i];
    }
    if (!group.isEmpty() || groups.isEmpty())
        groups << group; // a grid without columns still gets its (empty) page
    return groups;
}

// Each band holds at least one row, so an oversized row cannot stall the composition.
QList<RowBand> rowBands(const PrintSnapshot& snapshot, const PageMetrics& metrics,
                        double usableHeight, double coverHeight) {
    const int rowCount = int(snapshot.rows.size());
    QList<RowBand> bands;
    int row = 0;
    do {
        RowBand band{row, 0, false};
        double y = metrics.titleHeight + (bands.isEmpty() ? coverHeight : 0);
        while (row < rowCount &&
               (band.rowCount == 0 || y + metrics.heightOfRow(row) <= usableHeight)) {
            y += metrics.heightOfRow(row);
            ++row;
            ++band.rowCount;
        }
        band.footer =
            snapshot.hasFooter && row == rowCount && y + metrics.footerHeight <= usableHeight;
        bands << band;
    } while (row < rowCount);
    if (snapshot.hasFooter && !bands.last().footer)
        bands << RowBand{rowCount, 0, true};
    return bands;
}

} // namespace

PrintLayout composePages(const PrintSnapshot& snapshot, const PageMetrics& metrics, PrintFit fit) {
    PrintLayout layout;
    const int usable = metrics.usableWidth();
    layout.widths = screenWidths(snapshot);
    const int total = totalWidth(layout.widths);
    if (fit == PrintFit::ScaleWholeGrid && total > usable)
        layout.scale = double(usable) / total;
    if (fit == PrintFit::ChangeColumnWidths)
        layout.widths = narrowedWidths(layout.widths, usable);

    layout.groups = fit == PrintFit::None ? columnGroups(layout.widths, usable)
                                          : columnGroups(layout.widths, std::max(usable, total));
    const QList<RowBand> bands = rowBands(snapshot, metrics, metrics.usableHeight() / layout.scale,
                                          metrics.coverHeight / layout.scale);
    for (const RowBand& band : bands)
        for (int g = 0; g < layout.groups.size(); ++g)
            layout.pages << PrintPage{g, band};
    return layout;
}
