#include "reminders/U_Awoke.h"

#include "data/Activities.h"
#include "data/Guard.h"
#include "data/MessageService.h"
#include "data/Statements.h"
#include "data/U_Data.h"
#include "grid/ColumnLayout.h"
#include "grid/DataGrid.h"
#include "grid/DialogFrame.h"
#include "grid/EnterOnFocus.h"
#include "grid/GridPrinter.h"
#include "grid/WindowFont.h"
#include "reminders/WholeNumber.h"

#include <QAction>
#include <QCheckBox>
#include <QDateTime>
#include <QMenu>
#include <QSignalBlocker>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QShowEvent>
#include <QTimer>
#include <QVBoxLayout>

namespace {
// The window reads and writes its keys under this spelling; names compare without case.
const QString kSection = QStringLiteral("otherInfo");
const QString kLayout = QStringLiteral("Schedule");
const QString kNotifyKey = QStringLiteral("Notify");

} // namespace

bool notificationsWanted(const SettingsFile& settings) {
    return settings.ReadInteger(QStringLiteral("OtherInfo"), QStringLiteral("Notify"), 1) != 0;
}

TFrm_Awoke::TFrm_Awoke(TFrm_Data& data, MessageService& messages, PrintPreviewService& previews,
                       std::function<QString()> currentOperator, QTimer* timer1, QWidget* owner)
    : QDialog(owner), Qry_Awoke(QStringLiteral("Qry_Awoke"), data.ADOConnection1.get()),
      data_(data), messages_(messages), currentOperator_(std::move(currentOperator)),
      timer1_(timer1) {
    applyWindowFont(*this);
    setModal(true);
    setSizeGripEnabled(true);
    frameResizableDialog(*this);
    buildControls();
    PrintDBGridEh1 = new GridPrinter(*DBGridEh1, previews, messages, this);
    PrintDBGridEh1->settings().fitToPageWidth = true;
    PrintDBGridEh1->settings().fitMode = PrintSettings::ScaleWholeGrid;

    resize(615, 297);
    // Centred on the screen rather than on the owner; a moved window keeps its place.
    if (QScreen* screen = owner ? owner->screen() : QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

TFrm_Awoke::~TFrm_Awoke() = default;

void TFrm_Awoke::buildControls() {
    DBGridEh1 = new DataGrid(this);
    DBGridEh1->setAutoSortMarking(true); // by a title the operator clicks, else by date
    DBGridEh1->setMultiSortMarking(false);
    DBGridEh1->setFooterRowCount(0);
    DBGridEh1->setMultiSelect(false);
    DBGridEh1->setQuery(DS_Awoke);

    auto* strip = new QWidget(this);
    strip->setFixedHeight(42);
    CheckBox1 = new QCheckBox(QStringLiteral("每次程序启动时弹出提醒窗口"), strip);
    CheckBox1->setChecked(true);
    Edit_Day = new QLineEdit(strip);
    Edit_Day->setFixedWidth(50);
    Label1 = new QLabel(QStringLiteral("天"), strip);
    Btn_Refresh = plainButton(QStringLiteral("刷新(&R)"), strip);
    Btn_Print = plainButton(QStringLiteral("打印(&P)"), strip);
    Btn_Exit = plainButton(QStringLiteral("退出(&Q)"), strip);
    CheckBox_Notify = new QCheckBox(QStringLiteral("通知"), strip);
    CheckBox_Notify->setToolTip(QStringLiteral("联系活动到期时在桌面上通知"));

    auto* row = new QHBoxLayout(strip);
    row->setContentsMargins(8, 0, 8, 0);
    row->addWidget(CheckBox1);
    row->addSpacing(16);
    row->addWidget(Edit_Day);
    row->addWidget(Label1);
    row->addWidget(CheckBox_Notify);
    row->addStretch();
    row->addWidget(Btn_Refresh);
    row->addWidget(Btn_Print);
    row->addWidget(Btn_Exit);

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    column->addWidget(DBGridEh1, 1);
    column->addWidget(strip);

    // Connected after the initial check so that only real changes store the setting.
    connect(CheckBox1, &QCheckBox::toggled, this, [this] { CheckBox1Click(); });
    connect(Btn_Refresh, &QPushButton::clicked, this, [this] { Btn_RefreshClick(); });
    connect(DBGridEh1, &DataGrid::sortMarkingChanged, this,
            [this] { guarded(messages_, [&] { sortList(); }); });
    connect(Btn_Print, &QPushButton::clicked, this, [this] { Btn_PrintClick(); });
    connect(Btn_Exit, &QPushButton::clicked, this, &QWidget::close);
    connect(CheckBox_Notify, &QCheckBox::toggled, this, [this](bool on) {
        guarded(messages_, [&] { data_.IniFile.WriteInteger(kSection, kNotifyKey, on ? 1 : 0); });
    });

    Menu_Awoke = new QMenu(this);
    Act_Open = Menu_Awoke->addAction(QStringLiteral("查看联系活动(&O)"));
    Act_Done = Menu_Awoke->addAction(QStringLiteral("标记完成(&F)"));
    connect(Act_Open, &QAction::triggered, this, [this] { OpenCurrentActivity(); });
    connect(Act_Done, &QAction::triggered, this, [this] { MarkCurrentDone(); });
    connect(DBGridEh1, &DataGrid::rowDoubleClicked, this, [this] { OpenCurrentActivity(); });
    DBGridEh1->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(DBGridEh1, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
        const bool row = Qry_Awoke.isActive() && Qry_Awoke.recNo() >= 0;
        Act_Open->setEnabled(row && openActivity);
        Act_Done->setEnabled(row);
        Menu_Awoke->popup(DBGridEh1->mapToGlobal(at));
    });
}

void TFrm_Awoke::OpenCurrentActivity() {
    guarded(messages_, [&] {
        if (openActivity && Qry_Awoke.isActive() && Qry_Awoke.recNo() >= 0) {
            openActivity(Qry_Awoke.asInteger(QStringLiteral("ID")));
            showListedDayAgain(); // it may have been marked done or moved meanwhile
        }
    });
}

void TFrm_Awoke::MarkCurrentDone() {
    guarded(messages_, [&] {
        if (!Qry_Awoke.isActive() || Qry_Awoke.recNo() < 0)
            return;
        Qry_Awoke.edit(Activities::doneFields(QDateTime::currentDateTime()));
        showListedDayAgain(); // no longer due: it leaves the list
    });
}

void TFrm_Awoke::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!event->spontaneous()) // a restore from the task bar is no new opening
        FormShow();
}

void TFrm_Awoke::FormShow() {
    guarded(messages_, [&] {
        setWindowTitle(QStringLiteral("联系活动提醒"));
        // Off before the modal loop can dispatch another tick: the window opens once per run.
        if (timer1_)
            timer1_->stop();
        if (data_.IniFile.ReadInteger(kSection, QStringLiteral("awoke"), -1) != 0)
            CheckBox1->setChecked(false); // stores 1 through CheckBox1Click
        Edit_Day->setText(data_.IniFile.ReadString(kSection, QStringLiteral("Day"), dayWhenAbsent));
        const QSignalBlocker quiet(CheckBox_Notify); // showing the setting does not write it
        CheckBox_Notify->setChecked(notificationsWanted(data_.IniFile));
        RunReminderQuery();
    });
}

void TFrm_Awoke::RunReminderQuery() {
    listedDay_ = Edit_Day->text().trimmed();
    showListedDayAgain();
}

// The day the list shows, read again: a day typed but not refreshed is not taken up.
void TFrm_Awoke::showListedDayAgain() {
    const QString op = currentOperator_ ? currentOperator_() : QString();
    data_.OpenQuery(Qry_Awoke, Sql::reminders(*data_.ADOConnection1, op, listedDay_, data_.rights));
    ApplyColumnLayout(data_, *DBGridEh1, Qry_Awoke, kLayout);
    showDoneInWords();
    sortList();
    Qry_Awoke.first();
}

// Sorted here rather than by the statement: other programs write dates in forms whose text
// does not sort as the dates do.
void TFrm_Awoke::sortList() {
    if (!Qry_Awoke.isActive())
        return;
    const QString marked = sortMarkersText(*DBGridEh1);
    Qry_Awoke.setSort(marked.isEmpty() ? QStringLiteral("AwokeDate, ID") : marked);
}

// A done activity that still shows (one reminded elsewhere) says so where Done is shown.
void TFrm_Awoke::showDoneInWords() {
    for (int i = 0; i < DBGridEh1->columnCount(); ++i) {
        GridColumn column = DBGridEh1->column(i);
        if (column.fieldName.compare(QStringLiteral("Done"), Qt::CaseInsensitive) != 0)
            continue;
        column.trueText = QStringLiteral("已完成");
        column.falseText = QStringLiteral("未完成");
        DBGridEh1->setColumn(i, column);
    }
}

void TFrm_Awoke::Btn_RefreshClick() {
    guarded(messages_, [&] { RunReminderQuery(); });
}

void TFrm_Awoke::Btn_PrintClick() {
    guarded(messages_, [&] { PrintDBGridEh1->Preview(); });
}

void TFrm_Awoke::CheckBox1Click() {
    guarded(messages_, [&] {
        data_.IniFile.WriteInteger(kSection, QStringLiteral("awoke"),
                                   CheckBox1->isChecked() ? 0 : 1);
    });
}

bool TFrm_Awoke::FormClose() {
    int day = 0;
    if (!guarded(messages_, [&] { day = toWholeNumber(Edit_Day->text()); }))
        return false;
    // An unwritable Config.ini is reported, but must not trap the operator in the window.
    guarded(messages_, [&] { data_.IniFile.WriteInteger(kSection, QStringLiteral("Day"), day); });
    return true;
}

void TFrm_Awoke::done(int result) {
    if (FormClose())
        QDialog::done(result);
}
