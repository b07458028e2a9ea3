#pragma once

#include "data/Activities.h"

#include <QDialog>
#include <functional>

class DateBox;
class MessageService;
class QCheckBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QTimeEdit;

// One contact activity, added or changed. The caller saves: save() throws to keep it open.
class TFrm_ActivityEdit : public QDialog {
    Q_OBJECT
  public:
    using Saver = std::function<void(const Activity&)>;
    TFrm_ActivityEdit(MessageService& messages, Activity activity, Saver save,
                      QWidget* owner = nullptr);

    Activity activity() const; // what the boxes hold now

    QLabel* Label_Cust;
    QLineEdit* Edit_User;
    DateBox* Date_Awoke;
    QTimeEdit* Time_Awoke;
    QCheckBox* Check_Awoke;
    QLineEdit* Edit_Subject;
    QPlainTextEdit* Memo_Content;
    QCheckBox* Check_Done;
    QPushButton* Btn_OK;
    QPushButton* Btn_Cancel;

    void Btn_OKClick();

  private:
    void buildControls();
    void load();
    bool refuse(const QString& text, QWidget* focus); // always false

    MessageService& messages_;
    Activity original_;
    Saver save_;
};
