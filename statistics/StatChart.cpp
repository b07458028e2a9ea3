#include "StatChart.h"

#include <QBarCategoryAxis>
#include <QBarSeries>
#include <QBarSet>
#include <QChart>
#include <QCursor>
#include <QLineSeries>
#include <QPieSeries>
#include <QPieSlice>
#include <QStackedBarSeries>
#include <QToolTip>
#include <QValueAxis>

namespace Stats {

namespace {

// Done green, open blue, overdue red: colours that read the same on screen and on paper.
const QColor kColours[] = {QColor(0x2e, 0x7d, 0x32), QColor(0x15, 0x65, 0xc0),
                           QColor(0xc6, 0x28, 0x28), QColor(0xef, 0x6c, 0x00),
                           QColor(0x6a, 0x1b, 0x9a), QColor(0x00, 0x83, 0x8f)};

using Shared = std::shared_ptr<const StatTable>;

QColor colourOf(int i) {
    return kColours[size_t(i) % std::size(kColours)];
}

void showValue(const QString& text) {
    QToolTip::showText(QCursor::pos(), text);
}

QString valueText(const StatTable& table, int row, int value) {
    const StatRow& r = table.rows.at(size_t(row));
    QString text = r.label;
    if (table.valueTitles.size() > 1)
        text += u' ' + table.valueTitles.at(value);
    return text + QStringLiteral("：") + QString::number(r.values.at(size_t(value)));
}

void addAxes(QChart* chart, QAbstractSeries* series, const StatTable& table, const QFont& font,
             bool stacked) {
    QStringList labels;
    qint64 top = 0;
    for (const StatRow& row : table.rows) {
        labels << row.label;
        qint64 sum = 0;
        for (qint64 v : row.values)
            sum = stacked ? sum + v : std::max(sum, v);
        top = std::max(top, sum);
    }
    auto* x = new QBarCategoryAxis;
    x->append(labels);
    x->setLabelsFont(font);
    if (labels.size() > 12)
        x->setLabelsAngle(-90);
    auto* y = new QValueAxis;
    y->setLabelFormat("%d");
    y->setRange(0, double(std::max<qint64>(top, 4)));
    y->applyNiceNumbers();
    y->setLabelsFont(font);
    chart->addAxis(x, Qt::AlignBottom);
    chart->addAxis(y, Qt::AlignLeft);
    series->attachAxis(x);
    series->attachAxis(y);
}

void addBars(QChart* chart, const Shared& shared, bool stacked, const QFont& font,
             const ChartClicked& clicked) {
    const StatTable& table = *shared;
    QAbstractBarSeries* series =
        stacked ? static_cast<QAbstractBarSeries*>(new QStackedBarSeries) : new QBarSeries;
    for (int v = 0; v < table.valueTitles.size(); ++v) {
        auto* set = new QBarSet(table.valueTitles.at(v));
        set->setColor(colourOf(v));
        for (const StatRow& row : table.rows)
            *set << double(row.values.at(size_t(v)));
        QObject::connect(set, &QBarSet::hovered, set, [shared, v](bool on, int row) {
            if (on)
                showValue(valueText(*shared, row, v));
        });
        if (clicked)
            QObject::connect(set, &QBarSet::clicked, set,
                             [clicked, v](int row) { clicked(row, v); });
        series->append(set);
    }
    chart->addSeries(series);
    addAxes(chart, series, table, font, stacked);
}

void addPie(QChart* chart, const Shared& shared, const QFont& font, const ChartClicked& clicked) {
    const StatTable& table = *shared;
    auto* series = new QPieSeries;
    for (int row = 0; row < int(table.rows.size()); ++row) {
        const StatRow& r = table.rows[size_t(row)];
        if (r.values.at(0) == 0)
            continue; // a slice of nothing only crowds the labels
        auto* slice = series->append(r.label, double(r.values.at(0)));
        slice->setColor(colourOf(row));
        slice->setLabelFont(font);
        QObject::connect(slice, &QPieSlice::hovered, slice, [slice, shared, row](bool on) {
            slice->setExploded(on);
            if (on)
                showValue(valueText(*shared, row, 0) +
                          QString("（%1%）").arg(slice->percentage() * 100, 0, 'f', 1));
        });
        if (clicked)
            QObject::connect(slice, &QPieSlice::clicked, slice,
                             [clicked, row] { clicked(row, 0); });
    }
    series->setLabelsVisible(series->count() <= 12);
    chart->addSeries(series);
}

void addLine(QChart* chart, const Shared& shared, const QFont& font, const ChartClicked& clicked) {
    const StatTable& table = *shared;
    auto* series = new QLineSeries;
    series->setName(table.valueTitles.value(0));
    series->setColor(colourOf(1));
    series->setPointsVisible(true);
    for (int row = 0; row < int(table.rows.size()); ++row)
        series->append(row, double(table.rows[size_t(row)].values.at(0)));
    const int last = int(table.rows.size()) - 1;
    auto rowAt = [last](const QPointF& point) { return std::clamp(qRound(point.x()), 0, last); };
    QObject::connect(series, &QLineSeries::hovered, series,
                     [shared, rowAt](const QPointF& point, bool on) {
                         if (on)
                             showValue(valueText(*shared, rowAt(point), 0));
                     });
    if (clicked)
        QObject::connect(series, &QLineSeries::clicked, series,
                         [clicked, rowAt](const QPointF& point) { clicked(rowAt(point), 0); });
    chart->addSeries(series);
    addAxes(chart, series, table, font, false);
}

} // namespace

QChart* makeChart(const StatTable& table, ChartStyle style, const QString& title, const QFont& font,
                  ChartClicked clicked) {
    // The chart's hover texts outlive the caller's table.
    const auto shared = std::make_shared<const StatTable>(table);
    auto* chart = new QChart;
    chart->setTitle(title);
    QFont titleFont = font;
    titleFont.setBold(true);
    chart->setTitleFont(titleFont);
    chart->legend()->setFont(font);
    chart->legend()->setVisible(style == ChartStyle::Pie || table.valueTitles.size() > 1);
    chart->legend()->setAlignment(style == ChartStyle::Pie ? Qt::AlignRight : Qt::AlignBottom);
    if (table.rows.empty())
        return chart;
    switch (style) {
    case ChartStyle::Bar:
        addBars(chart, shared, false, font, clicked);
        break;
    case ChartStyle::StackedBar:
        addBars(chart, shared, true, font, clicked);
        break;
    case ChartStyle::Pie:
        addPie(chart, shared, font, clicked);
        break;
    case ChartStyle::Line:
        addLine(chart, shared, font, clicked);
        break;
    }
    return chart;
}

} // namespace Stats
