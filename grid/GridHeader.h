#pragma once

#include <QHeaderView>

// Column titles of a DataGrid: draws the sort markers, resizes by the title borders and moves a
// column once it is dragged more than 3 pixels sideways; a press and release on one title
// without such a move is a title click.
class GridHeader : public QHeaderView {
    Q_OBJECT
  public:
    static constexpr int moveThreshold = 3; // pixels sideways before a press becomes a move

    explicit GridHeader(QWidget* parent = nullptr);

  signals:
    // pressed: the modifiers at the press; released: those at the release.
    void titleClicked(int logicalIndex, Qt::KeyboardModifiers pressed,
                      Qt::KeyboardModifiers released);

  protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const override;

  private:
    int handleAt(int x) const;
    int dropTarget(int x) const;
    void paintDropMark();
    void endPress();

    int pressed_ = -1; // logical index of the title held down, -1 when none
    int pressX_ = 0;
    Qt::KeyboardModifiers pressModifiers_;
    bool moving_ = false;
    int dropVisual_ = -1;
};
