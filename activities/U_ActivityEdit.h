#pragma once

#include "data/Activities.h"

#include "grid/SavingDialog.h"

#include <exception>
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
class TFrm_ActivityEdit : public SavingDialog {
    Q_OBJECT
  public:
    // Gets every field of a new activity, and only the fields the operator changed of one
    // that exists.
    using Saver = std::function<void(const QVariantMap& fields)>;
    TFrm_ActivityEdit(MessageService& messages, Activity activity, Saver save,
                      QWidget* owner = nullptr);
    // A save that reaches the database later, off the window's thread: it calls saved with
    // what failed (null when it went through); the editor is busy until then.
    using Saved = std::function<void(std::exception_ptr failure)>;
    using SaverLater = std::function<void(const QVariantMap& fields, Saved saved)>;
    TFrm_ActivityEdit(MessageService& messages, Activity activity, SaverLater save,
                      QWidget* owner = nullptr);

    // Where the activity is read again when another workstation saved it meanwhile; without
    // it such a save is only refused.
    void setRereadFrom(Connection* connection) { reread_ = connection; }

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
    void showFields(const QVariantMap& fields);
    bool keepOwnChangesOverFreshRow(const QVariantMap& typed); // false: the row is gone
    void showSaved(std::exception_ptr failure, const QVariantMap& typed);

    MessageService& messages_;
    Activity original_;
    SaverLater save_;
    Connection* reread_ = nullptr;
    QVariantMap loadedFields_; // what a save would write for the activity as loaded
};
