#pragma once

#include <QDialog>
#include <QPageLayout>

class MessageService;
class QCheckBox;
class QGroupBox;
class QLineEdit;
class QPrinter;
class QPushButton;
class QRadioButton;
struct PrintSettings;

// The print settings dialog of one grid printer: shows its settings and writes them back on OK.
class TFrm_PrintSettings : public QDialog {
    Q_OBJECT
  public:
    // printer: the printer the pages are made for; nullptr when none is installed.
    TFrm_PrintSettings(PrintSettings& settings, QPrinter* printer, MessageService& messages,
                       QWidget* parent = nullptr);

    QGroupBox* GroupBox_Margins;
    QLineEdit* Edit_Top;
    QLineEdit* Edit_Bottom;
    QLineEdit* Edit_Left;
    QLineEdit* Edit_Right;
    QLineEdit* Edit_Font;
    QPushButton* Btn_Font;
    QCheckBox* Chk_FitWidth;
    QRadioButton* Radio_ScaleGrid;
    QRadioButton* Radio_ChangeWidths;
    QCheckBox* Chk_Colored;
    QCheckBox* Chk_Stretch;
    QCheckBox* Chk_OptimalWidths;
    QPushButton* Btn_PrinterSetup;
    QPushButton* Btn_OK;
    QPushButton* Btn_Cancel;

    void Chk_FitWidthClick();
    void Btn_FontClick();
    void Btn_PrinterSetupClick();
    void Btn_OKClick();

    // A cancelled dialog also takes back a paper chosen through the printer setup.
    void done(int result) override;

  private:
    void buildControls();
    void showSettings();
    void writeBack();

    PrintSettings& settings_;
    QPrinter* printer_;
    QPageLayout paperOnOpening_;
    MessageService& messages_;
};

// A margin box's centimetres; throws AppError "'<text>' is not a valid floating point value".
double marginValue(const QString& text);
