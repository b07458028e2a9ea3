#pragma once

#include "data/Query.h"

#include <QDialog>

class MessageService;
class QLabel;
class QListWidget;
class QPushButton;
class QToolButton;
class TFrm_Data;

// The column chooser: the layout rows of one list as two lists of titles, hidden on the left
// and shown on the right. OK writes every row's show flag, all in one transaction.
class TFrm_Field : public QDialog {
    Q_OBJECT
  public:
    TFrm_Field(TFrm_Data& data, MessageService& messages, QWidget* parent = nullptr);

    void setTableName(const QString& tableName) { tableName_ = tableName; }
    const QString& tableName() const { return tableName_; }

    QLabel* Panel1;
    QListWidget* SrcList;
    QLabel* Panel2;
    QListWidget* DstList;
    QToolButton* SP_right;
    QToolButton* SP_allright;
    QToolButton* SP_left;
    QToolButton* SP_allleft;
    QPushButton* Btn_ok;
    QPushButton* Btn_exit;

    Query Qry_src;
    Query Qry_Dst;
    Query Qry_temp;

    void FormCreate();
    void FormShow();
    void SP_rightClick();
    void SP_allrightClick();
    void SP_leftClick();
    void SP_allleftClick();
    void Btn_okClick();
    void Btn_exitClick();

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    void buildControls();
    void connectHandlers();
    void readRows(Query& query, bool shown, QListWidget* list);
    void writeFlags(QListWidget* list, bool shown);
    void UpdateButtons();

    TFrm_Data& data_;
    MessageService& messages_;
    QString tableName_;
    bool shown_ = false;
};
