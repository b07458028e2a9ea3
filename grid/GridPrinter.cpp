#include "GridPrinter.h"

#include "DataGrid.h"
#include "FooterFormat.h"
#include "PrintPainter.h"
#include "PrintPreviewService.h"
#include "data/Query.h"

#include <QFontInfo>
#include <QHeaderView>
#include <QTableView>
#include <algorithm>
#include <cmath>

namespace {

bool isNumberKind(FieldKind kind) {
    return isWholeNumberKind(kind) || kind == FieldKind::Float || kind == FieldKind::Currency ||
           kind == FieldKind::Decimal;
}

// The rows a print holds: the marked ones when there are any, else all in present order.
QList<int> printedRows(const DataGrid& grid, const Query* query) {
    QList<int> rows = grid.markedRows();
    if (!rows.isEmpty() || !query || !query->isActive())
        return rows;
    rows.reserve(query->recordCount());
    for (int r = 0; r < query->recordCount(); ++r)
        rows << r;
    return rows;
}

QString printedSum(const Query* query, int field, const QList<int>& rows) {
    if (!query || field < 0)
        return QStringLiteral("0");
    FieldSum sum;
    for (int r : rows)
        sum.add(query->value(r, field));
    return sum.text(query->field(field).kind);
}

// Footers cover the printed rows only, in the text forms of the grid's own footers.
QString printedFooter(const GridColumn& column, const Query* query, int field,
                      const QList<int>& rows) {
    switch (column.footerKind) {
    case fvtSum:
        return printedSum(query, field, rows);
    case fvtCount:
        return footerCountText(int(rows.size()));
    case fvtStaticText:
        return column.footerText;
    case fvtNon:
        break;
    }
    return {};
}

PrintSnapshot snapshotOf(const DataGrid& grid, double unitsPerPixel) {
    const Query* query = grid.query();
    const bool open = query && query->isActive();
    const QList<int> rows = printedRows(grid, query);
    PrintSnapshot snapshot;
    snapshot.hasFooter = grid.footerRowCount() > 0;
    QList<int> fields; // behind each printed column; -1 for none
    for (int i = 0; i < grid.columnCount(); ++i) {
        const GridColumn& column = grid.column(i);
        if (!column.visible)
            continue;
        const int field = open ? grid.columnField(i) : -1;
        const bool number = field >= 0 && isNumberKind(query->field(field).shownKind());
        const int width = int(std::lround(column.width * unitsPerPixel));
        snapshot.columns << PrintColumn{grid.columnTitle(i), width, number,
                                        column.footerKind != fvtStaticText};
        fields << field;
        if (snapshot.hasFooter)
            snapshot.footer << printedFooter(column, open ? query : nullptr, field, rows);
    }
    // Row by row, as the result stores them, so the cells are read in the order they lie.
    snapshot.rows.reserve(rows.size());
    for (int r : rows) {
        QStringList& texts = snapshot.rows.emplace_back();
        texts.reserve(fields.size());
        for (int field : fields)
            texts << (field >= 0 ? query->displayText(r, field) : QString());
    }
    return snapshot;
}

// Pixel-sized fonts keep their size against the lines when pages are scaled to a device.
QFont printFont(QFont font, const QString& family, double unitsPerPixel) {
    const int pixels = int(std::lround(QFontInfo(font).pixelSize() * unitsPerPixel));
    if (!family.isEmpty())
        font.setFamily(family);
    font.setPixelSize(std::max(1, pixels));
    return font;
}

PrintStyle styleOf(const DataGrid& grid, const PrintSettings& settings, double unitsPerPixel) {
    const QTableView* view = grid.view();
    PrintStyle style;
    style.fonts.data = printFont(view->font(), settings.fontName, unitsPerPixel);
    style.fonts.title =
        printFont(view->horizontalHeader()->font(), settings.fontName, unitsPerPixel);
    style.fonts.footer = style.fonts.data;
    style.fonts.footer.setBold(true); // as the grid's footer row shows it
    style.wrapLongTexts = settings.stretchLongLines;
    style.colored = settings.colored;
    if (settings.colored) {
        style.titleBackground = view->horizontalHeader()->palette().color(QPalette::Button);
        style.textColor = view->palette().color(QPalette::Text);
    }
    return style;
}

// Clamped so that an absurd margin cannot overflow the conversion into some other margin.
int unitsOfCm(double cm, int resolution) {
    return int(std::lround(std::clamp(cm, 0.0, 1000.0) / 2.54 * resolution));
}

PageMetrics pageMetrics(const PrintStyle& style, const PrintSettings& settings,
                        const QPageLayout& paper, int resolution) {
    PageMetrics metrics = lineMetrics(style.fonts);
    const QRect page = paper.fullRectPixels(resolution);
    metrics.pageWidth = page.width();
    metrics.pageHeight = page.height();
    metrics.marginTop = unitsOfCm(settings.marginTopCm, resolution);
    metrics.marginBottom = unitsOfCm(settings.marginBottomCm, resolution);
    metrics.marginLeft = unitsOfCm(settings.marginLeftCm, resolution);
    metrics.marginRight = unitsOfCm(settings.marginRightCm, resolution);
    return metrics;
}

PrintFit fitOf(const PrintSettings& settings) {
    if (!settings.fitToPageWidth)
        return PrintFit::None;
    return settings.fitMode == PrintSettings::ScaleWholeGrid ? PrintFit::ScaleWholeGrid
                                                             : PrintFit::ChangeColumnWidths;
}

// Holds the grid's display still while it is read, and puts its current row back.
class FrozenGrid {
  public:
    explicit FrozenGrid(DataGrid& grid)
        : grid_(grid), query_(grid.query()), row_(query_ ? query_->recNo() : -1) {
        grid_.beginUpdate();
    }
    ~FrozenGrid() {
        if (query_ && query_->isActive() && query_->recNo() != row_ && row_ >= 0)
            query_->setRecNo(row_);
        grid_.endUpdate();
    }
    FrozenGrid(const FrozenGrid&) = delete;
    FrozenGrid& operator=(const FrozenGrid&) = delete;

  private:
    DataGrid& grid_;
    Query* query_;
    int row_;
};

} // namespace

GridPrinter::GridPrinter(DataGrid& grid, PrintPreviewService& previews, MessageService& messages,
                         QObject* parent)
    : QObject(parent), grid_(grid), previews_(previews), messages_(messages) {}

GridPrinter::~GridPrinter() = default;

void GridPrinter::Preview() {
    previews_.show(*this);
}

PrintDocument GridPrinter::makeDocument(const QPageLayout& paper, int resolution) const {
    PrintDocument document;
    // Widths and font sizes are screen pixels; pages may use finer units.
    const double unitsPerPixel = double(resolution) / std::max(1, grid_.view()->logicalDpiX());
    {
        FrozenGrid frozen(grid_);
        document.snapshot = snapshotOf(grid_, unitsPerPixel);
        document.style = styleOf(grid_, settings_, unitsPerPixel);
    }
    if (settings_.optimalColumnWidths)
        fitWidthsToTexts(document.snapshot, document.style.fonts);
    document.paper = paper;
    document.resolution = resolution;
    document.metrics = pageMetrics(document.style, settings_, paper, resolution);
    const PrintFit fit = fitOf(settings_);
    document.layout = composePages(document.snapshot, document.metrics, fit);
    if (settings_.stretchLongLines) {
        document.metrics.rowHeights =
            grownRowHeights(document.snapshot, document.layout.widths, document.style.fonts.data,
                            document.metrics.rowHeight);
        document.layout = composePages(document.snapshot, document.metrics, fit);
    }
    return document;
}
