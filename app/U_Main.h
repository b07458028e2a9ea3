#pragma once

#include <QLabel>
#include <QMainWindow>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPointer>
#include <QTimer>

#include "app/LoginRules.h"
#include "customers/U_Custom.h"
#include <functional>
#include <memory>
#include <typeinfo>

class QAction;
class QFileDialog;
class QMenu;
class QToolBar;
class QToolButton;
class MessageService;
class TFrm_Data;
struct FieldDefinition;

class ActivityCommands;
class HistoryCommands;
class ColumnChooser;
class PrintPreviewService;
class ReminderCheck;

// The frame of the program: toolbar, the customer actions, status bar, timers, and the MDI
// area that holds the customer list.
class TFrm_Main : public QMainWindow {
    Q_OBJECT
  public:
    TFrm_Main(TFrm_Data& data, MessageService& messages, QWidget* parent = nullptr);
    ~TFrm_Main() override;

    TFrm_Data& data() const { return data_; }
    PrintPreviewService& previews() const { return *previews_; }
    TFrm_Custom* customerList() const { return Frm_Custom; }
    MessageService& messages() const { return messages_; }
    ActivityCommands& activities() const { return *activities_; }
    ReminderCheck& reminderCheck() const { return *reminderCheck_; }

    QString CurrentOperator; // set once by the login, at most 20 GBK bytes
    LoggedOperator LoggedIn; // the very row the login chose, and its whole name
    QString SoftName;        // from T_SoftInfo at the first showing
    QString Version;

    QMdiArea* MdiArea;
    QToolBar* ToolBar1;
    QToolButton* TB_Nav;
    QToolButton* ToolButton4;
    QToolButton* ToolButton1;
    QToolButton* TB_Activities;
    QToolButton* TB_Awoke;
    QToolButton* TB_Import;
    QToolButton* TB_Statistics;
    QMenu* PopupMenu1;
    QToolButton* TB_Maintenance; // its menu holds the commands on the database file
    QMenu* MaintenanceMenu;
    QAction* BackupDB; // a backup of the database now

    // ActionList1
    QAction* AddCust;
    QAction* EditCust;
    QAction* DelCust;
    QAction* ExportCustCSV;
    QAction* ShowField_Cust;
    QAction* ShowActivities;     // the current customer's activities
    QAction* ShowHistory;        // the current customer's change history
    QAction* ShowRecycleBin;     // the deleted customers
    QAction* OpenAwoke;          // the reminder window, at any time
    QAction* UpcomingActivities; // the operator's open activities of the coming days
    QAction* ImportCust;         // 导入客户, also a toolbar button
    QAction* ShowStatistics;     // 统计, also a toolbar button
    QAction* ManageOperators;    // 操作员管理, on the toolbar only for those who may
    QAction* ClaimCust;          // 领取: the current customer of the pool becomes the operator's
    QAction* ReleaseCust;        // 放回公海
    QAction* HandOverCust;       // 转交给…: the marked customers, or the current one
    QToolButton* TB_Operators;
    QList<QAction*> ActionList1;

    // StatusBar1: 0 operator, 1 customer count, 2 executable, 3 clock.
    QStatusBar* StatusBar1;
    void setPanelText(int panel, const QString& text);
    QString panelText(int panel) const;

    QTimer Timer1;                         // reminder check; off until the login
    QTimer Timer2;                         // clock
    std::function<void()> onReminderCheck; // what a tick of Timer1 does
    // The operator HandOverCust gives to; asks in a list of the enabled ones (0: cancelled).
    std::function<qint64()> chooseTaker;

    QFileDialog* SaveDialog1; // set up by the export before each use

    QUrl homePage() const; // the help page in the program folder

    // Brings forward the open MDI child of exactly class T, or creates one from args. The
    // reference follows the window and becomes null when it is gone.
    template <class T, class... Args> void ShowChildForm(QPointer<T>& reference, Args&&... args);

  public slots:
    virtual void AddCustExecute();
    virtual void EditCustExecute();
    virtual void DelCustExecute();
    virtual void ExportCustCSVExecute();
    virtual void ShowField_CustExecute();
    void FieldSetupExecute(); // 字段设置, for operators who may change the shared layout
    void ShowActivitiesExecute();
    void OpenAwokeExecute();
    void UpcomingActivitiesExecute();
    virtual void ImportCustExecute();
    void ShowStatisticsExecute();
    void ManageOperatorsExecute();
    void ClaimCustExecute();
    void ReleaseCustExecute();
    void HandOverCustExecute();
    void Timer1Timer();
    void Timer2Timer();
    void ToolButton4Click();
    void ToolButton1Click();

  signals:
    void closed(); // the program ends with the main window

  protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    const QList<FieldDefinition>* listedFields() const;
    void FormShow();
    void applyRights(); // what the operator may not use is disabled, and says why
    void OpenCustomerList();
    QAction* newAction(const QString& caption, const QKeySequence& shortcut,
                       void (TFrm_Main::*handler)());
    void createToolBar();
    void createStatusBar();

    TFrm_Data& data_;
    MessageService& messages_;
    QList<QLabel*> panels_;
    bool shown_ = false;
    QPointer<TFrm_Custom> Frm_Custom;               // the customer list, while it is open
    std::unique_ptr<PrintPreviewService> previews_; // the application's one print preview
    std::unique_ptr<ColumnChooser> chooser_;
    std::unique_ptr<ReminderCheck> reminderCheck_;
    ActivityCommands* activities_; // owned as a child
    HistoryCommands* history_;     // owned as a child
};

template <class T, class... Args>
void TFrm_Main::ShowChildForm(QPointer<T>& reference, Args&&... args) {
    for (QMdiSubWindow* sub : MdiArea->subWindowList(QMdiArea::CreationOrder)) {
        QWidget* child = sub->widget();
        if (!child || typeid(*child) != typeid(T))
            continue;
        if (sub->isMinimized())
            sub->showNormal();
        else if (sub->isHidden())
            sub->show();
        child->show();
        MdiArea->setActiveSubWindow(sub);
        sub->raise();
        child->setFocus();
        reference = static_cast<T*>(child);
        return;
    }
    T* child = new T(std::forward<Args>(args)...);
    QMdiSubWindow* sub = MdiArea->addSubWindow(child);
    sub->setAttribute(Qt::WA_DeleteOnClose);
    reference = child;
    // A child that asked to open maximised gets its wish; others open in their normal size.
    if (child->windowState() & Qt::WindowMaximized)
        sub->showMaximized();
    else
        sub->show();
}
