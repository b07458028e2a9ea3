#pragma once

// A chart as a file: a PNG picture or a one-page PDF document, by the name's suffix.

#include <QString>

#include <QSize>

QT_BEGIN_NAMESPACE
class QChart;
class QPainter;
class QRectF;
QT_END_NAMESPACE

inline const QString kPngFileFilter = QStringLiteral("PNG图片(*.png)");
inline const QString kPdfFileFilter = QStringLiteral("PDF文件(*.pdf)");

// The typed name with the chosen filter's suffix unless it already ends in .png or .pdf.
QString chartFileName(const QString& typed, const QString& filter);

// The chart's size in a file, whatever the window's: a PNG has twice as many pixels.
inline constexpr QSize kChartFileSize(960, 600);

// Draws the chart (taken over and freed) into the target as a file shows it, proportions kept.
void paintChart(QChart* chart, QPainter& painter, const QRectF& target);

// Writes the chart (taken over and freed) under path: ".pdf" a landscape A4 page, else a PNG
// picture, replacing any file there only once the new one is whole. Throws AppError.
void saveChartFile(QChart* chart, const QString& path);
