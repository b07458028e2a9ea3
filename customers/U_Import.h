#pragma once

#include "output/CustomerImport.h"
#include "output/ImportFile.h"

#include <QDialog>
#include <functional>
#include <memory>

class MessageService;
class QComboBox;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QTableWidget;
class TFrm_Data;
class WorkProgress;

// What the import window asks of the desktop; tests put in their own.
struct ImportDialogs {
    std::function<QString()> askOpenFile;                        // "" when cancelled
    std::function<QString()> askReportFile;                      // "" when cancelled
    std::function<std::unique_ptr<WorkProgress>()> showProgress; // none when unset
};

// A file's titles and first rows, as the window previews them.
struct FilePreview {
    QStringList titles;
    QStringList sheetNames;
    QList<QVariantList> rows;
    QList<qint64> lines;
};

// "导入客户": a .csv or .xlsx file, its first rows with the field each column goes to, the
// duplicate rule, then the import and its report.
class TFrm_Import : public QDialog {
    Q_OBJECT
  public:
    static constexpr int kPreviewRows = 20;

    TFrm_Import(TFrm_Data& data, MessageService& messages, ImportDialogs dialogs,
                QWidget* parent = nullptr);
    ~TFrm_Import() override;

    QLineEdit* Edit_File;
    QPushButton* Btn_File;
    QComboBox* Combo_Encoding;
    QComboBox* Combo_Separator;
    QComboBox* Combo_Sheet;
    QComboBox* Combo_Duplicate;
    QTableWidget* Grid_Preview; // row 0: the field of each column; then the file's first rows
    QPushButton* Btn_OK;
    QPushButton* Btn_Cancel;
    QPlainTextEdit* Memo_Report;
    QPushButton* Btn_SaveReport;

    // Reads the file's titles and first rows off the window's thread, the window answering
    // and "取消" stopping it; false (with the message shown) when it cannot be read, false
    // without a message when cancelled.
    bool loadFile(const QString& path);
    QStringList mapping() const; // per file column: the field, or "" for "不导入"
    QComboBox* fieldBox(int column) const;
    // Runs the import; true when something reached the database.
    bool runImport();

    bool imported() const { return imported_; }

  signals:
    void customersWritten(); // an import reached the database; the list shows it at once

  private:
    void Btn_FileClick();
    void Btn_OKClick();
    void Btn_SaveReportClick();
    void reload(); // the same file under the changed encoding, separator or sheet
    ImportFileOptions options() const;
    void showPreview(const FilePreview& file);
    ImportReport importOnce(OnBadRows onBad);

    TFrm_Data& data_;
    MessageService& messages_;
    ImportDialogs dialogs_;
    QString path_;
    QStringList titles_;
    ImportFields fields_;
    QString reportText_;
    bool imported_ = false;
    bool loading_ = false;
    bool reading_ = false; // a file is being read; the window's buttons wait for it
};

// The window with the desktop's file dialogs and progress window, modal over owner; written
// runs after each import that wrote something. Returns true when customers were added or
// changed.
bool ImportCustExecute(TFrm_Data& data, MessageService& messages, QWidget* owner,
                       const std::function<void()>& written = {});
