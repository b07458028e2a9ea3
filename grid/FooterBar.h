#pragma once

#include <QWidget>
#include <functional>

class QTableView;

// The footer row under a grid's cells: one field per column that follows the column widths,
// the screen order and the horizontal scrolling of the view above it.
class FooterBar : public QWidget {
    Q_OBJECT
  public:
    struct Cell {
        QString text;
        Qt::Alignment alignment = Qt::AlignLeft;
    };
    using CellSource = std::function<Cell(int logicalColumn)>;

    FooterBar(QTableView* view, CellSource source, QWidget* parent = nullptr);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

    static QColor background() { return QColor(240, 251, 255); }

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    QTableView* view_;
    CellSource source_;
};
