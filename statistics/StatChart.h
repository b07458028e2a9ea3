#pragma once

// A statistics table drawn as a chart: bars, a pie, stacked bars or a line, in the window's
// font, with each value shown on hover and each bar, slice or point reporting its click.

#include "StatCounts.h"

#include <QFont>
#include <functional>

QT_BEGIN_NAMESPACE
class QChart;
QT_END_NAMESPACE

namespace Stats {

enum class ChartStyle { Bar, Pie, StackedBar, Line };

// Row and value (the column among the counts) of the part clicked.
using ChartClicked = std::function<void(int row, int value)>;

// A new chart of the table; the caller owns it.
QChart* makeChart(const StatTable& table, ChartStyle style, const QString& title, const QFont& font,
                  ChartClicked clicked);

} // namespace Stats
