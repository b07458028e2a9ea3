#pragma once

#include <QString>

class MessageService;
class QWidget;
class TFrm_Data;

// Opens the column chooser of a list, modal, owned by the application; while one is open a
// second request does nothing. The dialog is freed when it closes, also after an error.
class ColumnChooser {
  public:
    ColumnChooser(TFrm_Data& data, MessageService& messages) : data_(data), messages_(messages) {}

    void open(const QString& tableName);
    bool isOpen() const { return open_; }

  private:
    TFrm_Data& data_;
    MessageService& messages_;
    bool open_ = false;
};
