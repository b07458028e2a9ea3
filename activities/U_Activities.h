#pragma once

#include "data/Query.h"

#include <QDialog>

class DataGrid;
class MessageService;
class QPushButton;
class TFrm_Data;

// The contact activities of one customer, newest first (with the unlinked ones that bear its
// name), or the operator's overdue and coming seven days' open activities, soonest first.
class TFrm_Activities : public QDialog {
    Q_OBJECT
  public:
    struct Customer {
        qint64 code = 0;
        QString name;
    };
    // customer.code 0: the coming seven days of currentOperator.
    TFrm_Activities(TFrm_Data& data, MessageService& messages, QString currentOperator,
                    Customer customer, QWidget* owner = nullptr);
    ~TFrm_Activities() override;

    Query Qry_Act;
    DataGrid* Grid_Act;
    QPushButton* Btn_Add;
    QPushButton* Btn_Edit;
    QPushButton* Btn_Delete;
    QPushButton* Btn_Done;
    QPushButton* Btn_Link; // links an activity known by the customer's name alone
    QPushButton* Btn_Exit;

    bool upcomingView() const { return customer_.code == 0; }
    void Refresh();
    void Btn_AddClick();
    void Btn_EditClick();
    void Btn_DeleteClick();
    void Btn_DoneClick();
    void Btn_LinkClick();
    // Moves to the activity with this id; false when the list does not hold it.
    bool showActivity(qint64 id);

  private:
    void buildControls();
    void applyColumns();
    void reopenAt(qint64 id);
    void updateButtons();
    bool currentUnlinked() const;

    TFrm_Data& data_;
    MessageService& messages_;
    QString operator_;
    Customer customer_;
};
