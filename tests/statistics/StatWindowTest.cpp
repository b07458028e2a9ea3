#include "StatTestData.h"
#include "grid/DataGrid.h"
#include "grid/ExcelExport.h"
#include "grid/PrintPreviewService.h"
#include "grid/U_Preview.h"
#include "statistics/ChartFiles.h"
#include "statistics/U_Statistics.h"
#include "tests/support/RecordingMessageService.h"

#include <QAbstractBarSeries>
#include <QBarSet>
#include <QChart>
#include <QChartView>
#include <QComboBox>
#include <QImage>
#include <QLineSeries>
#include <QPieSeries>
#include <QPieSlice>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <map>

using namespace Stats;

namespace {

std::map<QString, std::vector<qint64>> valuesOf(const StatTable& table) {
    std::map<QString, std::vector<qint64>> out;
    for (const StatRow& row : table.rows)
        out[row.label] = row.values;
    return out;
}

// Clicks the chart's part that shows the row's value, as the mouse would reach it.
void clickPart(QChart* chart, int row, int value, const QString& label) {
    QAbstractSeries* series = chart->series().at(0);
    if (auto* bars = qobject_cast<QAbstractBarSeries*>(series))
        emit bars->barSets().at(value)->clicked(row);
    else if (auto* line = qobject_cast<QLineSeries*>(series))
        emit line->clicked(line->at(row));
    else if (auto* pie = qobject_cast<QPieSeries*>(series))
        for (QPieSlice* slice : pie->slices())
            if (slice->label() == label)
                emit slice->clicked();
}

QString pdfInfo(const QString& path) {
    QProcess reader;
    reader.start("pdfinfo", {path});
    reader.waitForFinished(30000);
    return QString::fromUtf8(reader.readAllStandardOutput());
}

// The text of the PDF's page (every page for 0), as a reader extracts it.
QString pdfText(const QString& path, int page = 0) {
    QStringList arguments;
    if (page > 0)
        arguments << "-f" << QString::number(page) << "-l" << QString::number(page);
    QProcess reader;
    reader.start("pdftotext", arguments << path << "-");
    reader.waitForFinished(30000);
    return QString::fromUtf8(reader.readAllStandardOutput());
}

class StatisticsWindow : public EngineTest {};

// The window counts every chart off its thread as the core does, and each chart's numbers get
// out: a click lists its customers, the chart saves as PNG and PDF, prints above its table, and
// the table exports.
TEST_P(StatisticsWindow, ShowsEveryChartAndGetsItsNumbersOut) {
    fill(db);
    RecordingMessageService messages;
    PrintPreviewService previews(messages);
    QList<SqlCommand> listed;
    StatisticsSetup setup;
    setup.connect = [uri = db.connString] { return openDatabase(uri); };
    setup.connection = db.connection.get();
    setup.columns = {{"合同编号", "OtherInfo"}, {"联系电话", "tel"}};
    setup.showCustomers = [&](const SqlCommand& customers) { listed << customers; };
    setup.today = [] { return kToday; };
    TFrm_Statistics window(setup, messages, previews);
    window.show();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !window.counting(); }, 30000));

    window.Combo_Period->setCurrentIndex(int(PeriodKind::ThisQuarter)); // weeks, and all anew
    ASSERT_TRUE(QTest::qWaitFor([&] { return !window.counting(); }, 30000));
    const Period quarter = periodOf(PeriodKind::ThisQuarter, kToday);
    const StatQuery expected[] = {
        newCustomers(quarter, Step::Week, {}),
        customersBy(*db.connection, "OtherInfo", "", {}),
        activitiesPerOperator(*db.connection, quarter, kToday, {}),
        activitiesDue(kToday, 28, {}),
    };
    const ChartStyle shapes[] = {ChartStyle::Bar, ChartStyle::Pie, ChartStyle::StackedBar,
                                 ChartStyle::Line};
    QTemporaryDir dir;
    for (int i = 0; i < 4; ++i) {
        StatChartPanel* panel = window.panels().at(i);
        SCOPED_TRACE(panel->table().labelTitle.toStdString() + std::to_string(i));
        const StatTable& table = panel->table();
        EXPECT_EQ(valuesOf(table), valuesOf(count(*db.connection, expected[i])));
        EXPECT_EQ(panel->style(), shapes[i]);
        EXPECT_EQ(panel->rows().recordCount(), int(table.rows.size()));
        EXPECT_TRUE(messages.shown.isEmpty()) << messages.texts().join('\n').toStdString();

        // The last row with a count, through the chart itself.
        int row = int(table.rows.size()) - 1;
        while (row > 0 && table.rows[size_t(row)].values.back() == 0)
            --row;
        const int value = int(table.valueTitles.size()) - 1;
        listed.clear();
        clickPart(panel->ChartView->chart(), row, value, table.rows[size_t(row)].label);
        ASSERT_EQ(listed.size(), 1);
        EXPECT_EQ(listed[0].sql, table.rows[size_t(row)].customers[size_t(value)].sql);
        EXPECT_EQ(listed[0].params, table.rows[size_t(row)].customers[size_t(value)].params);

        const QString png = dir.filePath(QString("chart%1.png").arg(i));
        const QString pdf = dir.filePath(QString("chart%1.pdf").arg(i));
        panel->saveChart(png);
        panel->saveChart(pdf);
        EXPECT_EQ(QImage(png).size(), QSize(1920, 1200));
        const QString info = pdfInfo(pdf);
        EXPECT_TRUE(info.contains(QRegularExpression("Pages:\\s+1\\n"))) << info.toStdString();
        EXPECT_TRUE(info.contains("842 x 595 pts (A4)") ||
                    info.contains("841.89 x 595.276 pts (A4)"))
            << info.toStdString();

        const QString csv = dir.filePath(QString("table%1.csv").arg(i));
        ASSERT_TRUE(writeGridFile(ExportFormat::Csv, panel->rows(), *panel->Grid, csv, nullptr));
        QFile file(csv);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        const QStringList lines =
            QString::fromUtf8(file.readAll()).split("\r\n", Qt::SkipEmptyParts);
        ASSERT_EQ(lines.size(), int(table.rows.size()) + 1);
        EXPECT_TRUE(lines[0].contains(table.valueTitles.last()));
        QStringList cells{table.rows[size_t(row)].label};
        for (qint64 v : table.rows[size_t(row)].values)
            cells << QString::number(v);
        EXPECT_EQ(lines[row + 1], cells.join(','));

        panel->printChart();
        ASSERT_TRUE(QTest::qWaitFor(
            [&] { return previews.window() && !previews.window()->making(); }, 10000));
        // The chart heads the first page, with the table's titles below it; every row follows.
        const QString printed = dir.filePath(QString("printed%1.pdf").arg(i));
        previews.window()->writePdf(printed);
        EXPECT_TRUE(pdfInfo(printed).contains(
            QRegularExpression(QString("Pages:\\s+%1\\n").arg(previews.window()->pageCount()))));
        const QString first = pdfText(printed, 1);
        EXPECT_TRUE(first.contains(window.Pages->tabText(i))) << first.toStdString();
        EXPECT_LT(first.indexOf(window.Pages->tabText(i)), first.indexOf(table.labelTitle));
        const QString all = pdfText(printed);
        for (const StatRow& printedRow : table.rows)
            EXPECT_TRUE(all.contains(printedRow.label)) << printedRow.label.toStdString();
    }
    previews.window()->close();
}

RUN_ON_EVERY_ENGINE(StatisticsWindow);

} // namespace
