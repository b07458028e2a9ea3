#pragma once

#include "history/RecycleBin.h"

#include <QDialog>

class MessageService;
class QPushButton;
class QTableWidget;

// The deleted customers, with who deleted them and when; each can be restored with its
// activities or removed for good.
class TFrm_RecycleBin : public QDialog {
    Q_OBJECT
  public:
    TFrm_RecycleBin(Connection& connection, MessageService& messages, QWidget* parent = nullptr);

    QTableWidget* Grid_Bin;
    QPushButton* Btn_Restore;
    QPushButton* Btn_Purge;
    QPushButton* Btn_Close;

    void reload();
    void Btn_RestoreClick();
    void Btn_PurgeClick();

  signals:
    void restored(qint64 custCode);

  private:
    const BinnedCustomer* current() const;

    Connection& connection_;
    MessageService& messages_;
    std::vector<BinnedCustomer> rows_;
};
