#pragma once

// One chart of the statistics window with its table of numbers below it, counted off the
// window's thread, and the commands that get its numbers out.

#include "StatChart.h"
#include "data/Query.h"
#include "data/QueryLoader.h"

#include <QWidget>
#include <functional>
#include <memory>

QT_BEGIN_NAMESPACE
class QChartView;
QT_END_NAMESPACE
class DataGrid;
class GridPrinter;
class MessageService;
class PrintPreviewService;
class QHBoxLayout;
class QLabel;
class QPushButton;
struct SaveChoice;

using ShowCustomers = std::function<void(const SqlCommand& customers)>;

class StatChartPanel : public QWidget {
    Q_OBJECT
  public:
    StatChartPanel(const QString& title, Stats::ChartStyle style,
                   const QueryLoader::Connect& connect, MessageService& messages,
                   PrintPreviewService& previews, ShowCustomers showCustomers,
                   QWidget* parent = nullptr);
    ~StatChartPanel() override;

    QHBoxLayout* Options; // the chart's own choices, before its commands
    QLabel* Label_State;
    QPushButton* Btn_Save;
    QPushButton* Btn_Print;
    QPushButton* Btn_Export;
    QChartView* ChartView;
    DataGrid* Grid;

    // Counts anew; the chart and table show the result when it comes, the latest request only.
    void count(const Stats::StatQuery& query);
    bool counting() const { return loader_->busy(); }
    void setStyle(Stats::ChartStyle style);
    Stats::ChartStyle style() const { return style_; }
    const Stats::StatTable& table() const { return table_; }
    Query& rows() { return rows_; }

    // Opens the customer list on exactly the customers of the row's count.
    void showCustomersOf(int row, int value);
    void saveChart(const QString& path); // throws AppError
    void printChart();                   // the chart with its table below, through the preview
    void exportTable();

    // Asks for the chart's file name; tests put in their own.
    std::function<SaveChoice(const QString& filters)> askChartFile;

  private:
    void loaded();
    void failed(const QString& error);
    void redraw();

    QString title_;
    Stats::ChartStyle style_;
    MessageService& messages_;
    ShowCustomers showCustomers_;
    Stats::StatTable table_;
    Query rows_{QStringLiteral("Qry_Stat")};
    GridPrinter* printer_;
    std::shared_ptr<Stats::StatTable> pending_; // filled on the loader's thread
    std::unique_ptr<QueryLoader> loader_;
};
