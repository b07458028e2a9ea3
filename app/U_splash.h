#pragma once

#include <QWidget>

class QLabel;

// The start-up window: a plain borderless panel shown while the program connects.
class TFrm_Splash : public QWidget {
    Q_OBJECT
  public:
    explicit TFrm_Splash(QWidget* parent = nullptr);

    QLabel* Image1; // hidden, no picture
};
