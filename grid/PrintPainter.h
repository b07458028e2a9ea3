#pragma once

// Draws composed pages with QPainter, in page units from the paper's top left corner.

#include "PrintLayout.h"

#include <QColor>
#include <QFont>
#include <QPageLayout>
#include <functional>

class QPainter;

// The fonts of the printed lines, sized in pixels of the page units so that pictures of the
// pages keep their proportions on any device.
struct PrintFonts {
    QFont title;
    QFont data;
    QFont footer;
};

struct PrintStyle {
    PrintFonts fonts;
    bool colored = false;       // else black on white
    bool wrapLongTexts = false; // rows grow to hold their texts
    QColor titleBackground = Qt::lightGray;
    QColor textColor = Qt::black;
};

// Everything needed to draw, redraw and print the pages of one grid.
struct PrintDocument {
    PrintSnapshot snapshot;
    PageMetrics metrics;
    PrintLayout layout;
    PrintStyle style;
    QPageLayout paper;   // paper size and orientation, for printers and PDF files
    int resolution = 96; // page units per inch
    // Drawn on the first page in the room the metrics keep above the table, if there is one.
    std::function<void(QPainter&, const QRectF&)> cover;

    int pageCount() const { return int(layout.pages.size()); }
};

class PrintPainter {
  public:
    explicit PrintPainter(const PrintDocument& document) : document_(document) {}

    // Grid lines, the group's titles, the band's rows and, on the last page, the footer.
    void paintPage(QPainter& painter, int page) const;

  private:
    enum class Line { Titles, Rows, Footer };
    void paintLine(QPainter& painter, const QList<int>& columns, int y, int height,
                   const QStringList& texts, const QFont& font, Line line) const;

    const PrintDocument& document_;
};

// Measuring with the print fonts.
int lineHeightOf(const QFont& font);
PageMetrics lineMetrics(const PrintFonts& fonts);
// Each column as wide as its widest text (title, cells, footer).
void fitWidthsToTexts(PrintSnapshot& snapshot, const PrintFonts& fonts);
// The heights rows need when their texts wrap within the given widths.
QList<int> grownRowHeights(const PrintSnapshot& snapshot, const QList<int>& widths,
                           const QFont& font, int minimumHeight);
