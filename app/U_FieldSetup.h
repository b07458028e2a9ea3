#pragma once

#include "fields/CustomerFields.h"

#include <QDateTime>
#include <QDialog>

class MessageService;
class QListWidget;
class QPushButton;
class TFrm_Data;

// 字段设置: the shop's own customer fields, added, renamed, reordered, their choices edited
// and removed. Each command asks its inputs first, then calls the do* method, which tests call.
class TFrm_FieldSetup : public QDialog {
    Q_OBJECT
  public:
    TFrm_FieldSetup(TFrm_Data& data, MessageService& messages, QWidget* owner = nullptr);

    QListWidget* List_Fields;
    QPushButton *Btn_Add, *Btn_Rename, *Btn_Choices, *Btn_Up, *Btn_Down, *Btn_Remove, *Btn_Close;

    bool changed() const { return changed_; } // the list must be opened again
    void refreshList();
    const QList<FieldDefinition>& fields() const { return fields_; }

    void doAdd(const FieldDefinition& field);
    void doRename(int row, const QString& title);
    void doChoices(int row, const QStringList& choices);
    void doMove(int row, int by);
    // Asks with the count of customers holding a value, backs the database up, then removes.
    void doRemove(int row, const QDateTime& now = QDateTime::currentDateTime());

  private:
    void addClicked();
    void renameClicked();
    void choicesClicked();
    void updateButtons();
    int currentRow() const;

    TFrm_Data& data_;
    MessageService& messages_;
    QList<FieldDefinition> fields_;
    bool changed_ = false;
};

// Asks for a new field: title, type and its details, the choices one a line. False: cancelled.
bool askNewField(QWidget* owner, FieldDefinition& field);
// Asks for a choice list, one choice a line. False: cancelled.
bool askChoices(QWidget* owner, const QString& title, QStringList& choices);
