#include "app/U_Main.h"

#include "app/ActivityCommands.h"
#include "app/BackupCommand.h"
#include "app/ClockText.h"
#include "app/HistoryCommands.h"
#include "app/StatisticsCommand.h"
#include "app/U_ChangePass.h"
#include "app/U_FieldSetup.h"
#include "app/U_Operators.h"
#include "app/WindowPlacement.h"
#include "customers/CustomerCommands.h"
#include "customers/U_Custom.h"
#include "customers/U_Import.h"
#include "data/Guard.h"
#include "data/MessageService.h"
#include "data/Statements.h"
#include "data/U_Data.h"
#include "fields/FieldRights.h"
#include "grid/ColumnChooser.h"
#include "grid/DataGrid.h"
#include "grid/ExcelExport.h"
#include "grid/PrintPreviewService.h"
#include "operators/Owners.h"
#include "reminders/ReminderCheck.h"
#include "reminders/U_Awoke.h"

#include <QAction>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QInputDialog>
#include <QKeyEvent>
#include <QMenu>
#include <QShowEvent>
#include <QStatusBar>
#include <QStyle>
#include <QToolBar>
#include <QToolButton>
#include <QUrl>

static void initAppResources() {
    Q_INIT_RESOURCE(resources);
}

qint64 askTaker(TFrm_Data& data, QWidget* parent);

namespace {

constexpr int panelWidths[] = {150, 250, 250}; // the last panel takes the rest

QToolButton* toolButton(QToolBar* bar, const QString& caption, const QString& icon) {
    auto* button = new QToolButton(bar);
    button->setText(caption);
    button->setIcon(QIcon(icon));
    button->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    button->setAutoRaise(true);
    bar->addWidget(button);
    return button;
}

} // namespace

TFrm_Main::TFrm_Main(TFrm_Data& data, MessageService& messages, QWidget* parent)
    : QMainWindow(parent), MdiArea(new QMdiArea(this)), data_(data), messages_(messages) {
    initAppResources();
    setWindowIcon(QIcon(":/icons/customers.xpm"));
    setCentralWidget(MdiArea);
    setBackgroundRole(QPalette::Button);
    AddCust =
        newAction(QStringLiteral("新增&A"), QKeySequence("Ctrl+A"), &TFrm_Main::AddCustExecute);
    EditCust =
        newAction(QStringLiteral("编辑&E"), QKeySequence("Ctrl+E"), &TFrm_Main::EditCustExecute);
    DelCust =
        newAction(QStringLiteral("删除&D"), QKeySequence("Ctrl+D"), &TFrm_Main::DelCustExecute);
    ExportCustCSV =
        newAction(QStringLiteral("导出客户为Excel文件"), {}, &TFrm_Main::ExportCustCSVExecute);
    ShowField_Cust = newAction(QString(), {}, &TFrm_Main::ShowField_CustExecute);
    ShowActivities = newAction(QStringLiteral("联系活动(&R)"), QKeySequence("Ctrl+R"),
                               &TFrm_Main::ShowActivitiesExecute);
    OpenAwoke = newAction(QStringLiteral("联系活动提醒"), {}, &TFrm_Main::OpenAwokeExecute);
    UpcomingActivities =
        newAction(QStringLiteral("未来7天的联系活动"), {}, &TFrm_Main::UpcomingActivitiesExecute);
    activities_ = new ActivityCommands(
        data_, messages_, [this] { return CurrentOperator; }, this);
    ImportCust = newAction(QStringLiteral("导入客户"), {}, &TFrm_Main::ImportCustExecute);
    ShowStatistics = newAction(QStringLiteral("统计"), {}, &TFrm_Main::ShowStatisticsExecute);
    history_ = new HistoryCommands(data_, messages_, this);
    history_->refreshList = [this] {
        if (Frm_Custom)
            Frm_Custom->N6Click();
    };
    ShowHistory = new QAction(QStringLiteral("历史记录"), this);
    connect(ShowHistory, &QAction::triggered, this,
            [this] { guarded(messages_, [this] { history_->showOfCurrentCustomer(this); }); });
    ShowRecycleBin = new QAction(QStringLiteral("回收站"), this);
    connect(ShowRecycleBin, &QAction::triggered, this,
            [this] { guarded(messages_, [this] { history_->showBin(this); }); });
    ManageOperators =
        newAction(QStringLiteral("操作员管理"), {}, &TFrm_Main::ManageOperatorsExecute);
    ClaimCust = newAction(QStringLiteral("领取"), {}, &TFrm_Main::ClaimCustExecute);
    ReleaseCust = newAction(QStringLiteral("放回公海"), {}, &TFrm_Main::ReleaseCustExecute);
    HandOverCust = newAction(QStringLiteral("转交给…"), {}, &TFrm_Main::HandOverCustExecute);
    chooseTaker = [this] { return askTaker(data_, this); };
    createToolBar();
    createStatusBar();
    QCoreApplication::instance()->installEventFilter(this);

    SaveDialog1 = new QFileDialog(this);
    SaveDialog1->setAcceptMode(QFileDialog::AcceptSave);

    previews_ = std::make_unique<PrintPreviewService>(messages_);
    chooser_ = std::make_unique<ColumnChooser>(data_, messages_);
    reminderCheck_ = std::make_unique<ReminderCheck>(
        data_, messages_, *previews_, [this] { return CurrentOperator; }, this, &Timer1);
    onReminderCheck = [this] { reminderCheck_->Timer1Timer(); };
    reminderCheck_->prepare = [this](TFrm_Awoke& window) {
        window.openActivity = [this, &window](qint64 id) {
            activities_->openActivity(id, &window);
        };
    };
    reminderCheck_->closed = [this] { activities_->refreshDueCount(); };
    connect(activities_, &ActivityCommands::dueCountChanged, this, [this](int count) {
        OpenAwoke->setIconText(ActivityCommands::awokeButtonText(count));
    });

    Timer1.setInterval(1000);
    connect(&Timer1, &QTimer::timeout, this, &TFrm_Main::Timer1Timer);
    Timer2.setInterval(1000);
    connect(&Timer2, &QTimer::timeout, this, &TFrm_Main::Timer2Timer);
    Timer2.start();
    Timer2Timer(); // the clock shows from the start, not only after the first second

    resize(769, 483);
    centreOnScreen(this);
}

TFrm_Main::~TFrm_Main() = default;

// Shortcuts live on the main window, so they work in it and in its MDI child alike, and not
// while a modal dialog has the keyboard.
QAction* TFrm_Main::newAction(const QString& caption, const QKeySequence& shortcut,
                              void (TFrm_Main::*handler)()) {
    auto* action = new QAction(caption, this);
    action->setShortcut(shortcut);
    action->setShortcutContext(Qt::WindowShortcut);
    action->setIconVisibleInMenu(false);
    connect(action, &QAction::triggered, this,
            [this, handler] { guarded(messages_, [this, handler] { (this->*handler)(); }); });
    addAction(action);
    ActionList1 << action;
    return action;
}

// A text box of the frame would keep Ctrl+A (select all) to itself; the customer commands
// come first, wherever the focus is in the frame or its child.
bool TFrm_Main::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::ShortcutOverride && watched->isWidgetType() &&
        static_cast<QWidget*>(watched)->window() == this) {
        const QKeySequence pressed(static_cast<QKeyEvent*>(event)->keyCombination());
        for (const QAction* action : {AddCust, EditCust, DelCust})
            if (action->shortcut() == pressed) {
                event->ignore(); // not overridden: the shortcut runs the action
                return true;
            }
    }
    return QMainWindow::eventFilter(watched, event);
}

void TFrm_Main::createToolBar() {
    ToolBar1 = new QToolBar(this);
    ToolBar1->setMovable(false);
    ToolBar1->setFloatable(false);
    ToolBar1->setIconSize(QSize(16, 16));
    ToolBar1->toggleViewAction()->setVisible(false);
    addToolBar(Qt::TopToolBarArea, ToolBar1);

    PopupMenu1 = new QMenu(this);
    PopupMenu1->addActions({AddCust, EditCust, DelCust});
    TB_Nav = toolButton(ToolBar1, QStringLiteral(" 客户管理 "), ":/icons/customers.xpm");
    TB_Nav->setMenu(PopupMenu1);
    TB_Nav->setPopupMode(QToolButton::MenuButtonPopup); // the face itself does nothing
    TB_Import = toolButton(ToolBar1, QStringLiteral("导入客户"), ":/icons/customers.xpm");
    TB_Import->setDefaultAction(ImportCust);
    TB_Import->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    TB_Statistics = toolButton(ToolBar1, QString(), QString());
    TB_Statistics->setDefaultAction(ShowStatistics);
    ToolButton4 = toolButton(ToolBar1, QStringLiteral("修改登录密码"), ":/icons/password.xpm");
    connect(ToolButton4, &QToolButton::clicked, this, &TFrm_Main::ToolButton4Click);
    ShowActivities->setIcon(QIcon(":/icons/customers.xpm"));
    ShowActivities->setIconText(QStringLiteral("联系活动"));
    TB_Activities = toolButton(ToolBar1, QString(), QString());
    TB_Activities->setDefaultAction(ShowActivities);
    OpenAwoke->setIcon(QIcon(":/icons/customers.xpm"));
    TB_Awoke = toolButton(ToolBar1, QString(), QString());
    TB_Awoke->setDefaultAction(OpenAwoke);
    TB_Operators = toolButton(ToolBar1, QString(), QString());
    ManageOperators->setIcon(QIcon(":/icons/password.xpm"));
    TB_Operators->setDefaultAction(ManageOperators);
    TB_Operators->setVisible(false); // until a login says the operator may
    ToolButton1 = toolButton(ToolBar1, QStringLiteral("澜舟主页"), ":/icons/home.xpm");
    connect(ToolButton1, &QToolButton::clicked, this, &TFrm_Main::ToolButton1Click);

    MaintenanceMenu = new QMenu(this);
    BackupDB = MaintenanceMenu->addAction(QStringLiteral("备份数据库"), this, [this] {
        runBackup(data_, messages_, this, BackupReason::Asked);
    });
    MaintenanceMenu->addAction(ShowRecycleBin);
    TB_Maintenance = toolButton(ToolBar1, QStringLiteral("数据维护"), QString());
    TB_Maintenance->setIcon(style()->standardIcon(QStyle::SP_DriveHDIcon));
    TB_Maintenance->setMenu(MaintenanceMenu);
    TB_Maintenance->setPopupMode(QToolButton::InstantPopup);
}

void TFrm_Main::createStatusBar() {
    StatusBar1 = statusBar();
    for (int i = 0; i < 4; ++i) {
        auto* panel = new QLabel(StatusBar1);
        panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        if (i < 3)
            panel->setFixedWidth(panelWidths[i]);
        else // the clock takes what is left, however little, and never pushes the others
            panel->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
        StatusBar1->addWidget(panel, i < 3 ? 0 : 1);
        panels_ << panel;
    }
}

void TFrm_Main::setPanelText(int panel, const QString& text) {
    panels_.at(panel)->setText(text);
}

QString TFrm_Main::panelText(int panel) const {
    return panels_.at(panel)->text();
}

QUrl TFrm_Main::homePage() const {
    return QUrl::fromLocalFile(QDir(data_.programDir()).filePath("help.html"));
}

void TFrm_Main::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (shown_ || event->spontaneous())
        return;
    shown_ = true;
    guarded(messages_, [this] { FormShow(); });
}

void TFrm_Main::FormShow() {
    data_.OpenQuery(data_.Qry_SoftInfo, Sql::softInfo());
    const bool empty = data_.Qry_SoftInfo.isEmpty();
    SoftName = empty ? QString() : data_.Qry_SoftInfo.asString("SoftName");
    Version = empty ? QString() : data_.Qry_SoftInfo.asString("Version");
    setWindowTitle(SoftName + Version);
    setPanelText(2, QCoreApplication::applicationFilePath());
    applyRights();
    if (!Timer1.isActive()) // the login may have started it: keep its beat
        Timer1.start();
    OpenCustomerList();
    activities_->startWatching();
}

void TFrm_Main::applyRights() {
    const Rights& rights = data_.rights;
    const std::pair<QAction*, Permission> commands[] = {
        {AddCust, Permission::AddCustomers},       {EditCust, Permission::EditCustomers},
        {DelCust, Permission::DeleteCustomers},    {ExportCustCSV, Permission::ExportCustomers},
        {ImportCust, Permission::ImportCustomers}, {ShowField_Cust, Permission::ChangeLayout},
        {BackupDB, Permission::BackupRestore},     {ManageOperators, Permission::ManageOperators},
    };
    for (const auto& [action, permission] : commands) {
        action->setEnabled(rights.may(permission));
        action->setToolTip(rights.may(permission) ? action->text() : rights.whyNot(permission));
    }
    // A tool button follows its action; a disabled menu entry shows its tip too.
    for (QMenu* menu : {PopupMenu1, MaintenanceMenu})
        menu->setToolTipsVisible(true);
    TB_Operators->setVisible(rights.may(Permission::ManageOperators));
    const bool handsOver =
        rights.may(Permission::SeeAllCustomers) && rights.may(Permission::EditCustomers);
    HandOverCust->setEnabled(handsOver);
    HandOverCust->setToolTip(handsOver ? HandOverCust->text()
                                       : rights.whyNot(rights.may(Permission::SeeAllCustomers)
                                                           ? Permission::EditCustomers
                                                           : Permission::SeeAllCustomers));
}

namespace {

qint64 currentCustomer(const Query& customers) {
    return customers.isActive() && customers.recNo() >= 0 &&
                   customers.findField(QStringLiteral("CustCode")) >= 0
               ? customers.asInteger(QStringLiteral("CustCode"))
               : 0;
}

} // namespace

qint64 askTaker(TFrm_Data& data, QWidget* parent) {
    QStringList names;
    QList<qint64> keys;
    for (const OperatorRow& row : OperatorStore(*data.ADOConnection1).operators())
        if (row.enabled) {
            names << row.name;
            keys << row.key;
        }
    bool ok = false;
    const QString chosen = QInputDialog::getItem(parent, QStringLiteral("转交给…"),
                                                 QStringLiteral("负责人："), names, 0, false, &ok);
    return ok ? keys.value(names.indexOf(chosen)) : 0;
}

// The list shows the customer's new owner, and still shows it where the operator may see it.
void TFrm_Main::ClaimCustExecute() {
    if (const qint64 code = currentCustomer(data_.Qry_Cust)) {
        Owners::claim(*data_.ADOConnection1, data_.rights, code);
        if (Frm_Custom)
            Frm_Custom->N6Click();
    }
}

void TFrm_Main::ReleaseCustExecute() {
    if (const qint64 code = currentCustomer(data_.Qry_Cust)) {
        Owners::release(*data_.ADOConnection1, data_.rights, code);
        if (Frm_Custom)
            Frm_Custom->N6Click();
    }
}

void TFrm_Main::HandOverCustExecute() {
    QList<qint64> codes;
    if (Frm_Custom)
        for (int row : Frm_Custom->Grid_Cust->markedRows())
            codes << data_.Qry_Cust.value(row, data_.Qry_Cust.fieldByName("CustCode")).toLongLong();
    if (codes.isEmpty())
        if (const qint64 code = currentCustomer(data_.Qry_Cust))
            codes << code;
    if (codes.isEmpty())
        return;
    data_.rights.require(Permission::SeeAllCustomers);
    data_.rights.require(Permission::EditCustomers);
    const qint64 to = chooseTaker ? chooseTaker() : 0;
    if (to == 0)
        return;
    Owners::handTo(*data_.ADOConnection1, data_.rights, codes, to);
    if (Frm_Custom)
        Frm_Custom->N6Click();
}

void TFrm_Main::ManageOperatorsExecute() {
    data_.rights.require(Permission::ManageOperators);
    TFrm_Operators window(data_, messages_, this);
    window.exec();
}

void TFrm_Main::OpenCustomerList() {
    CustomerListHooks hooks;
    hooks.AddCust = AddCust;
    hooks.EditCust = EditCust;
    hooks.DelCust = DelCust;
    hooks.ExportCustCSV = ExportCustCSV;
    hooks.activityActions = {ShowActivities, UpcomingActivities, OpenAwoke, ShowHistory};
    hooks.ownerActions = {ClaimCust, ReleaseCust, HandOverCust};
    hooks.ShowField_CustExecute = [this] { ShowField_CustExecute(); };
    hooks.FieldSetupExecute = [this] { FieldSetupExecute(); };
    hooks.setCountText = [this](const QString& text) { setPanelText(1, text); };
    ShowChildForm(Frm_Custom, data_, messages_, *previews_, hooks, MdiArea);
}

// A click on a chart lists its customers in the customer list, opened if it was closed.
void TFrm_Main::ShowStatisticsExecute() {
    QPointer<TFrm_Statistics> statistics;
    ShowChildForm(statistics,
                  statisticsSetup(data_,
                                  [this](const SqlCommand& customers) {
                                      OpenCustomerList();
                                      if (Frm_Custom)
                                          Frm_Custom->showCustomers(customers);
                                  }),
                  messages_, *previews_, MdiArea);
}

void TFrm_Main::closeEvent(QCloseEvent* event) {
    QMainWindow::closeEvent(event);
    emit closed();
}

void TFrm_Main::Timer1Timer() {
    if (onReminderCheck)
        guarded(messages_, onReminderCheck);
}

void TFrm_Main::Timer2Timer() {
    setPanelText(3, clockText(QDateTime::currentDateTime()));
}

void TFrm_Main::ToolButton4Click() {
    guarded(messages_, [this] {
        TFrm_ChangePass dialog(data_, messages_, LoggedIn, this);
        dialog.exec();
    });
}

void TFrm_Main::ToolButton1Click() {
    QDesktopServices::openUrl(homePage());
}

// The customer commands arrive with the customer windows.
void TFrm_Main::AddCustExecute() {
    ::AddCustExecute(data_, messages_, this, listedFields());
}

void TFrm_Main::EditCustExecute() {
    ::EditCustExecute(
        data_, messages_, this,
        [this](QWidget* editor) { activities_->showOfCurrentCustomer(editor); },
        [this](QWidget* editor) { history_->showOfCurrentCustomer(editor); }, listedFields());
}

// The customer commands work on the list's rows: its fields are theirs.
const QList<FieldDefinition>* TFrm_Main::listedFields() const {
    return Frm_Custom ? Frm_Custom->shopFields() : nullptr;
}

void TFrm_Main::DelCustExecute() {
    ::DelCustExecute(data_, messages_, this);
}

void TFrm_Main::ExportCustCSVExecute() {
    // Only the list's menu reaches this action, so its grid is there to export.
    data_.rights.require(Permission::ExportCustomers);
    if (Frm_Custom)
        ExportGridToExcel(messages_, data_.Qry_Cust, *Frm_Custom->Grid_Cust,
                          desktopExportDialogs(*SaveDialog1));
}

void TFrm_Main::ShowActivitiesExecute() {
    activities_->showOfCurrentCustomer(this);
}

void TFrm_Main::OpenAwokeExecute() {
    reminderCheck_->openNow();
}

void TFrm_Main::UpcomingActivitiesExecute() {
    activities_->showUpcoming(this);
}

// The list shows what an import wrote as soon as it is written, with the new count.
void TFrm_Main::ImportCustExecute() {
    ::ImportCustExecute(data_, messages_, this, [this] {
        if (Frm_Custom)
            Frm_Custom->showImported();
    });
}

void TFrm_Main::FieldSetupExecute() {
    if (!mayChangeCustomerFields(data_.rights)) {
        messages_.messageBox(this, QStringLiteral("您没有修改字段设置的权限。"),
                             QStringLiteral("提示"), MsgIcon::Information, mbOK);
        return;
    }
    TFrm_FieldSetup window(data_, messages_, this);
    window.exec();
    if (window.changed() && Frm_Custom)
        Frm_Custom->reopenForNewFields();
}

void TFrm_Main::ShowField_CustExecute() {
    chooser_->open(QStringLiteral("Custom"));
}
