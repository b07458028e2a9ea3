#include "StatChartPanel.h"

#include "ChartFiles.h"
#include "StatRows.h"
#include "data/AppError.h"
#include "data/Guard.h"
#include "data/MessageService.h"
#include "data/QueryStore.h"
#include "grid/DataGrid.h"
#include "grid/ExcelExport.h"
#include "grid/GridPrinter.h"

#include <QBoxLayout>
#include <QChartView>
#include <QFileDialog>
#include <QLabel>
#include <QPushButton>
#include <QSplitter>

StatChartPanel::StatChartPanel(const QString& title, Stats::ChartStyle style,
                               const QueryLoader::Connect& reader, MessageService& messages,
                               PrintPreviewService& previews, ShowCustomers showCustomers,
                               QWidget* parent)
    : QWidget(parent), title_(title), style_(style), messages_(messages),
      showCustomers_(std::move(showCustomers)) {
    auto* layout = new QVBoxLayout(this);
    Options = new QHBoxLayout;
    layout->addLayout(Options);
    Label_State = new QLabel(this);
    Btn_Save = new QPushButton(QStringLiteral("保存图表..."), this);
    Btn_Print = new QPushButton(QStringLiteral("打印..."), this);
    Btn_Export = new QPushButton(QStringLiteral("导出表格..."), this);
    auto* commands = new QHBoxLayout;
    commands->addWidget(Label_State, 1);
    for (QPushButton* button : {Btn_Save, Btn_Print, Btn_Export})
        commands->addWidget(button);
    Options->addLayout(commands, 1);

    auto* split = new QSplitter(Qt::Vertical, this);
    ChartView = new QChartView(split);
    ChartView->setRenderHint(QPainter::Antialiasing);
    ChartView->setMinimumHeight(220);
    Grid = new DataGrid(split);
    Grid->setQuery(&rows_);
    split->setStretchFactor(0, 3);
    split->setStretchFactor(1, 1);
    layout->addWidget(split, 1);
    printer_ = new GridPrinter(*Grid, previews, messages, this);
    // The chart as it stands heads the printed table.
    const double heightPerWidth = double(kChartFileSize.height()) / kChartFileSize.width();
    printer_->setCover({[this](QPainter& painter, const QRectF& room) {
                            paintChart(Stats::makeChart(table_, style_, title_, font(), nullptr),
                                       painter, room);
                        },
                        heightPerWidth});

    askChartFile = [this](const QString& filters) {
        QFileDialog dialog(this);
        return askSaveFile(dialog, filters);
    };
    connect(Btn_Save, &QPushButton::clicked, this, [this] {
        guarded(messages_, [this] {
            const SaveChoice choice = askChartFile(kPngFileFilter + ";;" + kPdfFileFilter);
            if (!choice.path.isEmpty())
                saveChart(chartFileName(choice.path, choice.filter));
        });
    });
    connect(Btn_Print, &QPushButton::clicked, this, [this] { printChart(); });
    connect(Btn_Export, &QPushButton::clicked, this, [this] { exportTable(); });
    connect(Grid, &DataGrid::rowDoubleClicked, this, [this] {
        if (rows_.isActive() && rows_.recordCount() > 0)
            showCustomersOf(rows_.recNo(), 0);
    });

    loader_ = std::make_unique<QueryLoader>(
        reader, [this](SqlCommand, std::unique_ptr<QueryStore>) { loaded(); },
        [this](SqlCommand, QString error) { failed(error); }, this);
    redraw();
}

StatChartPanel::~StatChartPanel() {
    loader_.reset(); // its thread ends before the table it fills goes
}

void StatChartPanel::count(const Stats::StatQuery& query) {
    auto pending = std::make_shared<Stats::StatTable>();
    pending_ = pending;
    Label_State->setText(QStringLiteral("正在统计..."));
    loader_->load(query.command, [pending, table = query.table](Connection&, QueryStore& rows,
                                                                const std::atomic_bool&) {
        *pending = table(rows);
    });
}

void StatChartPanel::loaded() {
    table_ = std::move(*pending_);
    Label_State->setText(table_.valueTitles.size() == 1
                             ? QStringLiteral("合计：%1").arg(table_.total(0))
                             : QString());
    guarded(messages_, [this] { showTable(rows_, table_); });
    redraw();
}

void StatChartPanel::failed(const QString& error) {
    Label_State->setText(QStringLiteral("统计失败"));
    guarded(messages_, [&] { throw AppError(error); });
}

void StatChartPanel::setStyle(Stats::ChartStyle style) {
    style_ = style;
    redraw();
}

void StatChartPanel::redraw() {
    QChart* old = ChartView->chart();
    ChartView->setChart(
        Stats::makeChart(table_, style_, title_, font(),
                         [this](int row, int value) { showCustomersOf(row, value); }));
    delete old;
}

void StatChartPanel::showCustomersOf(int row, int value) {
    if (row < 0 || row >= int(table_.rows.size()) || !showCustomers_)
        return;
    showCustomers_(table_.rows[size_t(row)].customers.at(size_t(value)));
}

void StatChartPanel::saveChart(const QString& path) {
    saveChartFile(Stats::makeChart(table_, style_, title_, font(), nullptr), path);
}

void StatChartPanel::printChart() {
    guarded(messages_, [this] { printer_->Preview(); });
}

void StatChartPanel::exportTable() {
    guarded(messages_,
            [this] { ExportGridToExcel(messages_, rows_, *Grid, desktopExportDialogs(this)); });
}
