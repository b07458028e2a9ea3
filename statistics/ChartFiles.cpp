#include "ChartFiles.h"

#include "data/AppError.h"

#include <QChart>
#include <QGraphicsScene>
#include <QImage>
#include <QPainter>
#include <QPdfWriter>
#include <QSaveFile>

namespace {

bool isPdf(const QString& path) {
    return path.endsWith(QStringLiteral(".pdf"), Qt::CaseInsensitive);
}

// A scene of its own, so a chart on a hidden page is drawn at full size all the same.
class ChartScene {
  public:
    explicit ChartScene(QChart* chart) {
        scene_.addItem(chart);
        chart->setGeometry(QRectF(QPointF(0, 0), QSizeF(kChartFileSize)));
        scene_.setSceneRect(chart->geometry());
    }
    void paint(QPainter& painter, const QRectF& target) {
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setRenderHint(QPainter::TextAntialiasing);
        scene_.render(&painter, target, QRectF(QPointF(0, 0), QSizeF(kChartFileSize)),
                      Qt::KeepAspectRatio);
    }

  private:
    QGraphicsScene scene_;
};

} // namespace

QString chartFileName(const QString& typed, const QString& filter) {
    const QString name = typed.trimmed();
    if (name.endsWith(".png", Qt::CaseInsensitive) || isPdf(name))
        return name;
    return name + (filter == kPdfFileFilter ? ".pdf" : ".png");
}

void paintChart(QChart* chart, QPainter& painter, const QRectF& target) {
    ChartScene(chart).paint(painter, target);
}

void saveChartFile(QChart* chart, const QString& path) {
    ChartScene scene(chart);
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        throw AppError(QString("无法创建文件 %1：%2").arg(path, file.errorString()));
    bool written = true;
    if (isPdf(path)) {
        QPdfWriter pdf(&file);
        pdf.setPageSize(QPageSize(QPageSize::A4));
        pdf.setPageOrientation(QPageLayout::Landscape);
        pdf.setResolution(150);
        pdf.setTitle(chart->title());
        QPainter painter(&pdf);
        written = painter.isActive();
        if (written)
            scene.paint(painter, QRectF(0, 0, pdf.width(), pdf.height()));
    } else {
        QImage image(kChartFileSize * 2, QImage::Format_ARGB32);
        image.fill(Qt::white);
        {
            QPainter painter(&image);
            scene.paint(painter, QRectF(QPointF(0, 0), QSizeF(image.size())));
        }
        written = image.save(&file, "PNG");
    }
    if (!written || !file.commit())
        throw AppError(QString("无法写入文件 %1：%2").arg(path, file.errorString()));
}
