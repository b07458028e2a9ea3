#pragma once

#include "data/Query.h"

#include <QDialog>
#include <functional>

class DataGrid;
class GridPrinter;
class MessageService;
class PrintPreviewService;
class QAction;
class QCheckBox;
class QMenu;
class QLabel;
class QLineEdit;
class QPushButton;
class QTimer;
class TFrm_Data;
class SettingsFile;

// Whether activities falling due are announced on the desktop (on unless switched off).
bool notificationsWanted(const SettingsFile& settings);

// The reminder window: the operator's contact activities due on one chosen day, the day
// offset and whether the window pops up at start-up. Shown modally by the start-up check.
class TFrm_Awoke : public QDialog {
    Q_OBJECT
  public:
    // timer1: the main window's start-up check timer, switched off at opening (may be null).
    TFrm_Awoke(TFrm_Data& data, MessageService& messages, PrintPreviewService& previews,
               std::function<QString()> currentOperator, QTimer* timer1, QWidget* owner);
    ~TFrm_Awoke() override;

    Query Qry_Awoke;
    Query* const DS_Awoke = &Qry_Awoke;

    DataGrid* DBGridEh1;
    QCheckBox* CheckBox1;
    QLineEdit* Edit_Day;
    QLabel* Label1;
    QPushButton* Btn_Refresh;
    QPushButton* Btn_Print;
    QPushButton* Btn_Exit;
    GridPrinter* PrintDBGridEh1;
    QCheckBox* CheckBox_Notify; // desktop notifications of activities falling due
    QMenu* Menu_Awoke;
    QAction* Act_Open;
    QAction* Act_Done;

    // The day box's text when Config.ini holds no Day.
    QString dayWhenAbsent;
    // Opens the activity with this id (and its customer); set by whoever shows the window.
    std::function<void(qint64 activityId)> openActivity;
    void OpenCurrentActivity();
    void MarkCurrentDone();

    // Every way of closing (close box, Esc, Btn_Exit) ends here; a refused day keeps it open.
    void done(int result) override;

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    void buildControls();
    void FormShow();
    bool FormClose(); // false: the window stays open
    void RunReminderQuery();
    void showListedDayAgain();
    void showDoneInWords();
    void sortList(); // by the marked titles, else by date and time
    void Btn_RefreshClick();
    void Btn_PrintClick();
    void CheckBox1Click();

    TFrm_Data& data_;
    MessageService& messages_;
    std::function<QString()> currentOperator_;
    QTimer* timer1_;
    QString listedDay_; // the day text of the list shown
};
