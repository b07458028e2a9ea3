#pragma once

#include "grid/SavingDialog.h"

#include <QVariant>
#include <QVariantMap>
#include <exception>
#include <functional>

class Connection;
class DateBox;
class ExtraFieldsPanel;
struct FieldDefinition;
class MessageService;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QTabWidget;
class RecordNavigator;
class TFrm_Data;
struct CustomerInput;

// The customer editor: adds customers to, or changes the current row of, the shared customer
// query Qry_Cust, so the list follows every save and every move of the navigator at once.
class TFrm_AddCust : public SavingDialog {
    Q_OBJECT
  public:
    enum Mode { AddMode, EditMode };

    // knownFields: the shop's own fields as the caller already read them; else they are read.
    TFrm_AddCust(TFrm_Data& data, MessageService& messages, QWidget* owner = nullptr,
                 const QList<FieldDefinition>* knownFields = nullptr);

    // Fixed for the dialog's life: set it after creating and before showing.
    void setMode(Mode mode) { mode_ = mode; }
    // Shows a button that opens the activities of the customer being edited.
    void setShowActivities(std::function<void(QWidget*)> show);
    // Shows a button that opens the change history of the customer being edited.
    void setShowHistory(std::function<void(QWidget*)> show);
    Mode mode() const { return mode_; }

    QTabWidget* PageControl1;
    QWidget* TabSheet1;
    QGroupBox* GroupBox1;
    QLineEdit* Edit_CustName;
    QLabel* Label25; // the required-field mark beside the name
    QLineEdit* Edit_Mobile;
    QLineEdit* Edit_tel;
    QLineEdit* Edit_OtherInfo;
    DateBox* DateEdit1;
    QPlainTextEdit* Memo1;
    RecordNavigator* DBNavigator1;
    QPushButton* Btn_OK;
    QPushButton* Btn_Cancel;
    QPushButton* Btn_Activities = nullptr;
    QPushButton* Btn_History = nullptr;
    ExtraFieldsPanel* ExtraFields = nullptr; // only when the shop has fields of its own

    QVariantMap shownValues() const;
    void FormShow();
    void Btn_OKClick();
    void Btn_CancelClick();
    void DBNavigator1Click();
    void LoadCustomer();
    void ClearControls();

  protected:
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

  private:
    void buildControls();
    void limitToFieldSizes();
    void addExtraFields(const QList<FieldDefinition>* knownFields);
    CustomerInput input() const;
    void refuse(const QString& text, QWidget* focus); // the "提醒" box; nothing is saved
    void save();
    void addCustomer(const QVariantMap& values);
    void saveCustomer(const QVariantMap& values);
    // Sends job off the window's thread; then saved runs here with what it threw, if anything.
    void runSave(std::function<void(Connection&)> job,
                 std::function<void(std::exception_ptr)> saved);
    void showValues(const QVariantMap& values);
    void keepOwnChangesOverFreshRow(const QVariantMap& typed);

    TFrm_Data& data_;
    MessageService& messages_;
    Mode mode_ = AddMode;
    bool shown_ = false;
    QVariant loadedAddDate_;   // the row's AddDate as loaded, kept whole when left unchanged
    QVariantMap loadedValues_; // what a save would write for the row as loaded
    QVariantMap extraValues_;  // the shop's own fields, as the last OK checked them
};
