#include "activities/U_Activities.h"

#include "activities/U_ActivityEdit.h"
#include "data/Activities.h"
#include "data/Guard.h"
#include "data/MessageService.h"
#include "data/U_Data.h"
#include "data/WriteQueue.h"
#include "grid/DataGrid.h"
#include "grid/EnterOnFocus.h"
#include "grid/WindowFont.h"

#include <QHBoxLayout>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

struct ListColumn {
    const char* field;
    const char* title;
    int width;
};

// Wide enough for a whole date and time, and for twelve Chinese characters.
// The last column, over Done, shows the status words.
const ListColumn kColumns[] = {
    {"AwokeDate", "提醒时间", 140}, {"CustName", "客户名称", 160}, {"Subject", "活动主题", 150},
    {"Content", "活动内容", 170},   {"F_User", "负责人", 80},      {"Awoke", "提醒", 50},
    {"Done", "状态", 90},
};

} // namespace

TFrm_Activities::TFrm_Activities(TFrm_Data& data, MessageService& messages, QString currentOperator,
                                 Customer customer, QWidget* owner)
    : QDialog(owner), Qry_Act(QStringLiteral("Qry_Act"), data.ADOConnection1.get()), data_(data),
      messages_(messages), operator_(std::move(currentOperator)), customer_(std::move(customer)) {
    applyWindowFont(*this);
    setModal(true);
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMaximizeButtonHint | Qt::WindowCloseButtonHint);
    setSizeGripEnabled(true);
    setWindowTitle(upcomingView() ? QStringLiteral("未来7天的联系活动")
                                  : QStringLiteral("联系活动 - ") + customer_.name);
    buildControls();
    resize(880, 380);
    guarded(messages_, [&] { Refresh(); });
}

TFrm_Activities::~TFrm_Activities() = default;

void TFrm_Activities::buildControls() {
    Grid_Act = new DataGrid(this);
    Grid_Act->setAutoSortMarking(false);
    Grid_Act->setFooterRowCount(0);
    Grid_Act->setMultiSelect(false);
    Grid_Act->setQuery(&Qry_Act);

    Btn_Add = plainButton(QStringLiteral("新增(&A)"), this);
    Btn_Edit = plainButton(QStringLiteral("修改(&E)"), this);
    Btn_Delete = plainButton(QStringLiteral("删除(&D)"), this);
    Btn_Done = plainButton(QStringLiteral("标记完成(&F)"), this);
    Btn_Link = plainButton(QStringLiteral("关联到此客户(&L)"), this);
    Btn_Link->setToolTip(QStringLiteral("未关联的联系活动只按客户名称列出，关联后随客户一起处理"));
    Btn_Exit = plainButton(QStringLiteral("关闭(&Q)"), this);
    Btn_Add->setVisible(!upcomingView()); // an activity is added to one customer
    Btn_Link->setVisible(!upcomingView());

    auto* strip = new QHBoxLayout;
    for (QPushButton* button : {Btn_Add, Btn_Edit, Btn_Delete, Btn_Done, Btn_Link})
        strip->addWidget(button);
    strip->addStretch(1);
    strip->addWidget(Btn_Exit);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Grid_Act, 1);
    layout->addLayout(strip);

    const auto on = [this](QPushButton* button, void (TFrm_Activities::*handler)()) {
        connect(button, &QPushButton::clicked, this,
                [this, handler] { guarded(messages_, [&] { (this->*handler)(); }); });
    };
    on(Btn_Add, &TFrm_Activities::Btn_AddClick);
    on(Btn_Edit, &TFrm_Activities::Btn_EditClick);
    on(Btn_Delete, &TFrm_Activities::Btn_DeleteClick);
    on(Btn_Done, &TFrm_Activities::Btn_DoneClick);
    on(Btn_Link, &TFrm_Activities::Btn_LinkClick);
    connect(Btn_Exit, &QPushButton::clicked, this, &QDialog::reject);
    connect(Grid_Act, &DataGrid::rowDoubleClicked, this,
            [this] { guarded(messages_, [&] { Btn_EditClick(); }); });
    connect(&Qry_Act, &Query::currentChanged, this, [this] { updateButtons(); });
    connect(&Qry_Act, &Query::reset, this, [this] { updateButtons(); });
}

void TFrm_Activities::Refresh() {
    data_.OpenQuery(
        Qry_Act, upcomingView()
                     ? Activities::upcoming(operator_, QDateTime::currentDateTime(), data_.rights)
                     : Activities::ofCustomer(customer_.code, customer_.name, data_.rights));
    applyColumns();
}

void TFrm_Activities::applyColumns() {
    Grid_Act->clearColumns();
    for (const ListColumn& shown : kColumns) {
        const int f = Qry_Act.findField(QString::fromLatin1(shown.field));
        if (f < 0)
            continue;
        Qry_Act.setDisplayLabel(f, QString::fromUtf8(shown.title));
        GridColumn column;
        column.fieldName = Qry_Act.field(f).name;
        column.width = shown.width;
        if (column.fieldName.compare(QStringLiteral("Done"), Qt::CaseInsensitive) == 0)
            column.textOf = [this](int row) {
                return Activities::statusText(activityAt(Qry_Act, row), QDate::currentDate());
            };
        else if (Qry_Act.field(f).kind == FieldKind::Boolean) {
            column.trueText = QStringLiteral("是");
            column.falseText = QStringLiteral("否");
        }
        Grid_Act->addColumn(column);
    }
    updateButtons();
}

void TFrm_Activities::updateButtons() {
    const bool row = Qry_Act.isActive() && Qry_Act.recNo() >= 0;
    for (QPushButton* button : {Btn_Edit, Btn_Delete, Btn_Done})
        button->setEnabled(row);
    Btn_Link->setEnabled(row && currentUnlinked());
}

bool TFrm_Activities::currentUnlinked() const {
    const int f = Qry_Act.findField(QStringLiteral("CustCode"));
    return f >= 0 && Qry_Act.recNo() >= 0 && Qry_Act.isNull(Qry_Act.recNo(), f);
}

bool TFrm_Activities::showActivity(qint64 id) {
    const int f = Qry_Act.findField(QStringLiteral("ID"));
    for (int row = 0; f >= 0 && row < Qry_Act.recordCount(); ++row)
        if (Qry_Act.value(row, f).toLongLong() == id) {
            Qry_Act.setRecNo(row);
            return true;
        }
    return false;
}

// A saved activity may belong elsewhere in the order: read the list again and stay on it.
void TFrm_Activities::reopenAt(qint64 id) {
    Refresh();
    showActivity(id);
}

void TFrm_Activities::Btn_AddClick() {
    Activity fresh;
    fresh.custCode = customer_.code;
    fresh.custName = customer_.name;
    fresh.owner = operator_;
    const QDateTime now = QDateTime::currentDateTime();
    fresh.awokeDate = QDateTime(now.date(), QTime(now.time().hour(), 0)).addSecs(3600);
    qint64 added = 0;
    TFrm_ActivityEdit editor(
        messages_, fresh,
        [&](const QVariantMap& fields, const TFrm_ActivityEdit::Saved& saved) {
            writeRow(data_.writes(), data_.ADOConnection1->author(), Qry_Act, RowChange::Append,
                     fields, [&, saved](std::exception_ptr failure) {
                         if (!failure)
                             added = Qry_Act.asInteger(QStringLiteral("ID"));
                         saved(failure);
                     });
        },
        this);
    if (editor.exec() == QDialog::Accepted)
        reopenAt(added);
}

void TFrm_Activities::Btn_EditClick() {
    if (Qry_Act.recNo() < 0)
        return;
    const Activity current = activityAt(Qry_Act, Qry_Act.recNo());
    TFrm_ActivityEdit editor(
        messages_, current,
        [&](const QVariantMap& fields, const TFrm_ActivityEdit::Saved& saved) {
            writeRow(data_.writes(), data_.ADOConnection1->author(), Qry_Act, RowChange::Edit,
                     fields, saved);
        },
        this);
    editor.setRereadFrom(data_.ADOConnection1.get());
    if (editor.exec() == QDialog::Accepted)
        reopenAt(current.id);
}

void TFrm_Activities::Btn_DeleteClick() {
    if (Qry_Act.recNo() < 0 || data_.writes().busy())
        return; // one deletion at a time: the next works on the row this one leaves current
    if (messages_.messageBox(this, QStringLiteral("确定要删除这条联系活动吗？"),
                             QStringLiteral("警告"), MsgIcon::Question, mbYes | mbNo) != mbYes)
        return;
    // Off the window's thread; the window shows it is busy until the row has gone.
    setCursor(Qt::BusyCursor);
    QPointer<TFrm_Activities> self(this);
    writeRow(data_.writes(), data_.ADOConnection1->author(), Qry_Act, RowChange::Remove, {},
             [self](std::exception_ptr failure) {
                 if (!self)
                     return;
                 self->unsetCursor();
                 guarded(self->messages_, [&] {
                     if (failure)
                         std::rethrow_exception(failure);
                 });
             });
}

void TFrm_Activities::Btn_DoneClick() {
    if (Qry_Act.recNo() < 0 || Qry_Act.asVariant(QStringLiteral("Done")).toBool())
        return;
    const qint64 id = Qry_Act.asInteger(QStringLiteral("ID"));
    Qry_Act.edit(Activities::doneFields(QDateTime::currentDateTime()));
    if (upcomingView()) // the seven days list only open activities
        Refresh();
    else
        showActivity(id);
}

void TFrm_Activities::Btn_LinkClick() {
    if (upcomingView() || !currentUnlinked())
        return;
    Qry_Act.edit({{QStringLiteral("CustCode"), customer_.code},
                  {QStringLiteral("CustName"), customer_.name}});
    updateButtons();
}
