#include "activities/U_ActivityEdit.h"

#include "customers/DateBox.h"
#include "data/AppError.h"
#include "data/Guard.h"
#include "data/MessageService.h"
#include "data/RowMerge.h"
#include "grid/EnterOnFocus.h"
#include "grid/WindowFont.h"

#include <QCheckBox>
#include <QDateTime>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHash>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QTimeEdit>
#include <QVBoxLayout>

namespace {

QLabel* fieldLabel(const QString& text, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    return label;
}

} // namespace

TFrm_ActivityEdit::TFrm_ActivityEdit(MessageService& messages, Activity activity, Saver save,
                                     QWidget* owner)
    : TFrm_ActivityEdit(
          messages, std::move(activity),
          [save = std::move(save)](const QVariantMap& fields, const Saved& saved) {
              std::exception_ptr failure;
              try {
                  save(fields);
              } catch (...) {
                  failure = std::current_exception();
              }
              saved(failure);
          },
          owner) {}

TFrm_ActivityEdit::TFrm_ActivityEdit(MessageService& messages, Activity activity, SaverLater save,
                                     QWidget* owner)
    : SavingDialog(owner), messages_(messages), original_(std::move(activity)),
      save_(std::move(save)) {
    applyWindowFont(*this);
    // Resizable for long content; a minimised modal window would hide the whole program.
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMaximizeButtonHint | Qt::WindowCloseButtonHint);
    setWindowTitle(original_.id ? QStringLiteral("修改联系活动") : QStringLiteral("新增联系活动"));
    buildControls();
    load();
    resize(480, 360);
    connect(Btn_OK, &QPushButton::clicked, this,
            [this] { guarded(messages_, [&] { Btn_OKClick(); }); });
    connect(Btn_Cancel, &QPushButton::clicked, this, &QDialog::reject);
    // A done activity is no longer due: its reminder goes with it.
    connect(Check_Done, &QCheckBox::toggled, this, [this](bool done) {
        if (done)
            Check_Awoke->setChecked(false);
        Check_Awoke->setEnabled(!done);
    });
}

void TFrm_ActivityEdit::buildControls() {
    Label_Cust = new QLabel(this);
    Edit_User = new QLineEdit(this);
    Edit_User->setMaxLength(50);
    Date_Awoke = new DateBox(this);
    Time_Awoke = new QTimeEdit(this);
    Time_Awoke->setDisplayFormat(QStringLiteral("HH:mm"));
    Check_Awoke = new QCheckBox(QStringLiteral("到期提醒"), this);
    Edit_Subject = new QLineEdit(this);
    Edit_Subject->setMaxLength(100);
    Memo_Content = new QPlainTextEdit(this);
    Memo_Content->setTabChangesFocus(true);
    Check_Done = new QCheckBox(QStringLiteral("已完成"), this);
    Btn_OK = plainButton(QStringLiteral("确定(&Y)"), this);
    Btn_Cancel = plainButton(QStringLiteral("取消(&C)"), this);

    auto* when = new QHBoxLayout;
    when->addWidget(Date_Awoke, 1);
    when->addWidget(Time_Awoke);
    when->addWidget(Check_Awoke);

    auto* grid = new QGridLayout;
    grid->addWidget(fieldLabel(QStringLiteral("客户名称:"), this), 0, 0);
    grid->addWidget(Label_Cust, 0, 1);
    grid->addWidget(fieldLabel(QStringLiteral("提醒时间:"), this), 1, 0);
    grid->addLayout(when, 1, 1);
    grid->addWidget(fieldLabel(QStringLiteral("活动主题:"), this), 2, 0);
    grid->addWidget(Edit_Subject, 2, 1);
    auto* contentLabel = fieldLabel(QStringLiteral("活动内容:"), this);
    contentLabel->setAlignment(Qt::AlignRight | Qt::AlignTop);
    grid->addWidget(contentLabel, 3, 0);
    grid->addWidget(Memo_Content, 3, 1);
    grid->addWidget(fieldLabel(QStringLiteral("负责人:"), this), 4, 0);
    grid->addWidget(Edit_User, 4, 1);
    grid->setRowStretch(3, 1);

    auto* bottom = new QHBoxLayout;
    bottom->addWidget(Check_Done);
    bottom->addStretch(1);
    bottom->addWidget(Btn_OK);
    bottom->addWidget(Btn_Cancel);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid, 1);
    layout->addLayout(bottom);
}

void TFrm_ActivityEdit::load() {
    Label_Cust->setText(original_.custName);
    Edit_User->setText(original_.owner);
    const QDateTime when =
        original_.awokeDate.isValid() ? original_.awokeDate : QDateTime::currentDateTime();
    Date_Awoke->setDate(when.date());
    Time_Awoke->setTime(QTime(when.time().hour(), when.time().minute()));
    Check_Awoke->setChecked(original_.awoke);
    Edit_Subject->setText(original_.subject);
    Edit_Subject->setCursorPosition(0);
    Memo_Content->setPlainText(original_.content);
    Check_Done->setChecked(original_.done);
    Check_Awoke->setEnabled(!original_.done);
    Edit_Subject->setFocus();
    loadedFields_ = Activities::fieldsOf(activity());
}

// The boxes from a save's field values; the done time follows the done box.
void TFrm_ActivityEdit::showFields(const QVariantMap& fields) {
    Edit_User->setText(fields.value("F_User").toString());
    const QDateTime when = fields.value("AwokeDate").toDateTime();
    Date_Awoke->setDate(when.date());
    Time_Awoke->setTime(QTime(when.time().hour(), when.time().minute()));
    Check_Awoke->setChecked(fields.value("Awoke").toBool());
    Edit_Subject->setText(fields.value("Subject").toString());
    Edit_Subject->setCursorPosition(0);
    Memo_Content->setPlainText(fields.value("Content").toString());
    Check_Done->setChecked(fields.value("Done").toBool());
}

namespace {

// The boxes whose values the operator decides on; the rest follow them.
QString activityFieldTitle(const QString& field) {
    static const QHash<QString, QString> titles = {
        {"F_User", QStringLiteral("负责人")},    {"AwokeDate", QStringLiteral("提醒时间")},
        {"Awoke", QStringLiteral("到期提醒")},   {"Subject", QStringLiteral("活动主题")},
        {"Content", QStringLiteral("活动内容")}, {"Done", QStringLiteral("已完成")},
    };
    return titles.value(field);
}

} // namespace

// After another workstation's save: the activity as it is now, with what this operator
// changed over it; where both changed a field, the operator chooses, seeing the other value.
bool TFrm_ActivityEdit::keepOwnChangesOverFreshRow(const QVariantMap& typed) {
    const auto rows = readActivities(*reread_, Activities::byId(original_.id));
    if (rows.empty())
        return false;
    const QVariantMap loaded = loadedFields_;
    original_ = rows.front();
    load();
    RowMerge merge = mergeOwnChanges(loaded, typed, loadedFields_);
    for (const FieldClash& clash : merge.clashes) {
        const QString title = activityFieldTitle(clash.field);
        if (!title.isEmpty() && !keepsOwnValue(messages_, this, title, clash))
            merge.values.insert(clash.field, clash.theirs);
    }
    showFields(merge.values);
    return true;
}

Activity TFrm_ActivityEdit::activity() const {
    Activity a = original_;
    a.owner = Edit_User->text().trimmed();
    a.awokeDate =
        Activities::keptAwokeDate(original_.awokeDate, Date_Awoke->date(), Time_Awoke->time());
    a.awoke = Check_Awoke->isChecked() && !Check_Done->isChecked();
    a.subject = Edit_Subject->text().trimmed();
    a.content = Memo_Content->toPlainText();
    if (Check_Done->isChecked() && !original_.done)
        a.doneTime = QDateTime::currentDateTime();
    a.done = Check_Done->isChecked();
    if (!a.done)
        a.doneTime = {};
    return a;
}

bool TFrm_ActivityEdit::refuse(const QString& text, QWidget* focus) {
    messages_.messageBox(this, text, QStringLiteral("提醒"), MsgIcon::Warning, mbOK);
    focus->setFocus();
    return false;
}

void TFrm_ActivityEdit::Btn_OKClick() {
    if (saving())
        return; // one save at a time
    if (Date_Awoke->date().isNull()) {
        refuse(QStringLiteral("请输入正确的提醒日期！"), Date_Awoke);
        return;
    }
    const Activity a = activity();
    if (a.subject.isEmpty()) {
        refuse(QStringLiteral("活动主题不能为空！"), Edit_Subject);
        return;
    }
    if (a.owner.isEmpty()) {
        refuse(QStringLiteral("负责人不能为空！"), Edit_User);
        return;
    }
    const QVariantMap fields = Activities::fieldsOf(a);
    startSaving({Edit_User, Date_Awoke, Time_Awoke, Check_Awoke, Edit_Subject, Memo_Content,
                 Check_Done, Btn_OK});
    QPointer<TFrm_ActivityEdit> self(this);
    auto saved = [self, fields](std::exception_ptr failure) {
        if (!self)
            return;
        self->finishSaving();
        guarded(self->messages_, [&] { self->showSaved(failure, fields); });
        if (self)
            self->closeIfAsked();
    };
    try {
        // A new activity gets every field, one that exists only the changed ones.
        save_(original_.id ? changedFields(loadedFields_, fields) : fields, saved);
    } catch (...) {
        finishSaving(); // refused before it was sent
        throw;
    }
}

// A failure keeps the dialog open with what was typed.
void TFrm_ActivityEdit::showSaved(std::exception_ptr failure, const QVariantMap& typed) {
    try {
        if (failure)
            std::rethrow_exception(failure);
    } catch (const RowConflict& conflict) {
        if (!original_.id || !reread_)
            throw;
        messages_.showError(conflict.text());
        if (!keepOwnChangesOverFreshRow(typed))
            reject(); // deleted elsewhere: nothing is left to save onto
        return;
    }
    accept();
}
