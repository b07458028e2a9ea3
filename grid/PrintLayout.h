#pragma once

// How a grid's printed rows and columns fall onto pages. Knows nothing of widgets, fonts or
// printers: it works on a plain copy of the grid and on sizes in the units of the page.

#include <QList>
#include <QString>
#include <QStringList>

// One printed column, as the grid shows it.
struct PrintColumn {
    QString title;
    int width = 0; // page units
    bool alignRight = false;
    bool footerAlignRight = false; // as the grid's footer: all but fixed texts to the right
};

// What the pages show: the grid's visible columns in screen order and the printed rows.
struct PrintSnapshot {
    QList<PrintColumn> columns;
    QList<QStringList> rows; // one text per column
    bool hasFooter = false;
    QStringList footer; // one text per column, computed over the printed rows only
};

// Page size, margins and line heights in page units.
struct PageMetrics {
    int pageWidth = 0;
    int pageHeight = 0;
    int marginLeft = 0;
    int marginTop = 0;
    int marginRight = 0;
    int marginBottom = 0;
    int titleHeight = 0;
    int rowHeight = 0;
    int footerHeight = 0;
    int coverHeight = 0;   // kept above the table on the pages of its first rows, for a picture
    QList<int> rowHeights; // per printed row when rows grow with their texts; else empty

    int usableWidth() const; // never below 1, so composition always moves on
    int usableHeight() const;
    int heightOfRow(int row) const;
};

enum class PrintFit { None, ScaleWholeGrid, ChangeColumnWidths };

// A run of printed rows under the titles of one page.
struct RowBand {
    int firstRow = 0;
    int rowCount = 0;
    bool footer = false; // the footer row follows the band's rows
    bool operator==(const RowBand&) const = default;
};

struct PrintPage {
    int group = 0; // index into PrintLayout::groups
    RowBand band;
};

struct PrintLayout {
    double scale = 1.0;       // the whole grid is drawn scaled by this
    QList<int> widths;        // per snapshot column, after fitting, before scaling
    QList<QList<int>> groups; // snapshot columns of each page, left to right
    QList<PrintPage> pages;   // for each band of rows, one page per group
};

// Columns wider than the page are split into groups (PrintFit::None), scaled down together,
// or narrowed; rows fill each page below the titles; the footer follows the last row.
PrintLayout composePages(const PrintSnapshot& snapshot, const PageMetrics& metrics, PrintFit fit);
