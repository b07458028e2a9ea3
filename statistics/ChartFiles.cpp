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

void paintScene(QGraphicsScene& scene, QPainter& painter, const QRectF& target) {
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    scene.render(&painter, target, QRectF(QPointF(0, 0), QSizeF(kChartFileSize)),
                 Qt::KeepAspectRatio);
}

} // namespace

QString chartFileName(const QString& typed, const QString& filter) {
    const QString name = typed.trimmed();
    if (name.endsWith(".png", Qt::CaseInsensitive) || isPdf(name))
        return name;
    return name + (filter == kPdfFileFilter ? ".pdf" : ".png");
}

void saveChartFile(QChart* chart, const QString& path) {
    // A scene of its own, so a chart on a hidden page is drawn at full size all the same.
    QGraphicsScene scene;
    scene.addItem(chart);
    chart->setGeometry(QRectF(QPointF(0, 0), QSizeF(kChartFileSize)));
    scene.setSceneRect(chart->geometry());
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
            paintScene(scene, painter, QRectF(0, 0, pdf.width(), pdf.height()));
    } else {
        QImage image(kChartFileSize * 2, QImage::Format_ARGB32);
        image.fill(Qt::white);
        {
            QPainter painter(&image);
            paintScene(scene, painter, QRectF(QPointF(0, 0), QSizeF(image.size())));
        }
        written = image.save(&file, "PNG");
    }
    if (!written || !file.commit())
        throw AppError(QString("无法写入文件 %1：%2").arg(path, file.errorString()));
}
