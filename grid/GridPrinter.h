#pragma once

#include <QObject>
#include <QString>
#include <functional>

class DataGrid;
class MessageService;
class PrintPreviewService;
class QPageLayout;
class QPainter;
class QRectF;
struct PrintDocument;

// What a grid printer prints with; changed through the print settings dialog and kept as long
// as the printer's window.
struct PrintSettings {
    double marginTopCm = 2.0;
    double marginBottomCm = 2.0;
    double marginLeftCm = 2.0;
    double marginRightCm = 2.0;
    bool fitToPageWidth = false;
    enum FitMode { ScaleWholeGrid, ChangeColumnWidths } fitMode = ScaleWholeGrid;
    bool colored = false;
    bool stretchLongLines = false;
    bool optimalColumnWidths = false;
    QString fontName; // empty: the grid's own fonts
};

// One per window, bound to that window's grid (the windows call theirs PrintDBGridEh1).
class GridPrinter : public QObject {
    Q_OBJECT
  public:
    GridPrinter(DataGrid& grid, PrintPreviewService& previews, MessageService& messages,
                QObject* parent = nullptr);
    ~GridPrinter() override;

    PrintSettings& settings() { return settings_; }
    const PrintSettings& settings() const { return settings_; }
    DataGrid& grid() const { return grid_; }
    QString title() const { return QStringLiteral("表格信息"); } // the print job's title

    // A picture printed above the table on its first page (a chart of its numbers), as wide as
    // the page allows and heightPerWidth as tall, at most three fifths of the page.
    struct Cover {
        std::function<void(QPainter&, const QRectF&)> paint;
        double heightPerWidth = 0.625;
    };
    void setCover(Cover cover) { cover_ = std::move(cover); }

    // Opens the application's preview window on this grid's pages.
    void Preview();

    // The grid as it stands, composed into pages of the given paper, in page units of
    // `resolution` per inch. The grid's display is frozen meanwhile; its current row stays.
    PrintDocument makeDocument(const QPageLayout& paper, int resolution) const;

  private:
    DataGrid& grid_;
    PrintPreviewService& previews_;
    MessageService& messages_;
    PrintSettings settings_;
    Cover cover_;
};
