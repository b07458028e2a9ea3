#pragma once

#include "data/BusyWaiter.h"

#include <QPointer>
#include <memory>

class QDialog;
class QLabel;
class QPushButton;

// The busy note as a small application-modal window with a cancel button. It is shown
// without a modal loop of its own: the waiter pumps events in pause().
class BusyDialog : public BusyNote {
  public:
    BusyDialog();
    ~BusyDialog() override;

    void appear(const QString& text) override;
    void disappear() override;
    bool pause(int ms) override;

    QDialog* window() const; // nullptr until first shown
    QLabel* Label_Text = nullptr;
    QPushButton* Btn_Cancel = nullptr;

  private:
    void build();

    std::unique_ptr<QDialog> dialog_;
    bool cancelled_ = false;
};
