#pragma once

#include "history/RecycleBin.h"

#include <QDialog>

class MessageService;
class WriteQueue;
class QPushButton;
class QTableWidget;

// The deleted customers, with who deleted them and when; each can be restored with its
// activities or removed for good.
class TFrm_RecycleBin : public QDialog {
    Q_OBJECT
  public:
    TFrm_RecycleBin(Connection& connection, MessageService& messages, QWidget* parent = nullptr);
    // Removals for good go through writes, off the window's thread, where one is given.
    void setWrites(WriteQueue* writes) { writes_ = writes; }

    QTableWidget* Grid_Bin;
    QPushButton* Btn_Restore;
    QPushButton* Btn_Purge;
    QPushButton* Btn_Close;

    void reload();
    void showRows(std::vector<BinnedCustomer> rows);
    void Btn_RestoreClick();
    void Btn_PurgeClick();

  signals:
    void restored(qint64 custCode);

  private:
    const BinnedCustomer* current() const;

    Connection& connection_;
    MessageService& messages_;
    std::vector<BinnedCustomer> rows_;
    WriteQueue* writes_ = nullptr;
    bool purging_ = false;
};
