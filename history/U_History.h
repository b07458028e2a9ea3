#pragma once

#include "history/ChangeLog.h"

#include <QDialog>

class MessageService;
class QListWidget;
class QPushButton;

// The change history of one customer and its activities, newest first, one line a change; a
// changed line's old values can be put back.
class TFrm_History : public QDialog {
    Q_OBJECT
  public:
    TFrm_History(Connection& connection, MessageService& messages, qint64 custCode,
                 const QString& company, QWidget* parent = nullptr);

    QListWidget* List_History;
    QPushButton* Btn_PutBack;
    QPushButton* Btn_Close;

    void reload();
    void Btn_PutBackClick();

  signals:
    void changed(); // an old value went back

  private:
    void updateButtons();

    Connection& connection_;
    MessageService& messages_;
    qint64 custCode_;
    std::vector<ChangeRecord> records_;
    QHash<QString, QString> titles_;
};
