#include "customers/U_AddCust.h"

#include "customers/CustomerRecord.h"
#include "customers/DateBox.h"
#include "customers/ExtraFieldsPanel.h"
#include "customers/RecordNavigator.h"
#include "data/AppError.h"
#include "data/CustomerNames.h"
#include "data/Guard.h"
#include "data/MessageService.h"
#include "data/RowMerge.h"
#include "data/U_Data.h"
#include "data/WriteQueue.h"
#include "grid/DialogFrame.h"
#include "grid/EnterOnFocus.h"
#include "grid/TextTrim.h"
#include "grid/WindowFont.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

namespace {

QLabel* fieldLabel(const char* text, QWidget* parent) {
    auto* label = new QLabel(QString::fromUtf8(text), parent);
    label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    return label;
}

QPushButton* plainButton(const char* text, QWidget* parent) {
    auto* button = new QPushButton(QString::fromUtf8(text), parent);
    button->setAutoDefault(false); // Enter in a box must not save or close the dialog
    button->setDefault(false);
    pressOnEnterWhenFocused(button);
    return button;
}

// A loaded text longer than the limit widens it, so loading never cuts what is stored.
void setBoxText(QLineEdit* box, const QString& text) {
    if (box->maxLength() < text.size())
        box->setMaxLength(text.size());
    box->setText(text);
    box->setCursorPosition(0); // a long value opens showing its beginning
}

} // namespace

TFrm_AddCust::TFrm_AddCust(TFrm_Data& data, MessageService& messages, QWidget* owner,
                           const QList<FieldDefinition>* knownFields)
    : SavingDialog(owner), data_(data), messages_(messages) {
    applyWindowFont(*this);
    setFixedSize(655, 322);
    frameFixedDialog(*this);
    buildControls();
    addExtraFields(knownFields);
    connect(Btn_OK, &QPushButton::clicked, this,
            [this] { guarded(messages_, [&] { Btn_OKClick(); }); });
    connect(Btn_Cancel, &QPushButton::clicked, this,
            [this] { guarded(messages_, [&] { Btn_CancelClick(); }); });
    connect(DBNavigator1, &RecordNavigator::clicked, this,
            [this] { guarded(messages_, [&] { DBNavigator1Click(); }); });
}

void TFrm_AddCust::buildControls() {
    PageControl1 = new QTabWidget(this);
    TabSheet1 = new QWidget;
    PageControl1->addTab(TabSheet1, QStringLiteral("客户基本信息"));
    GroupBox1 = new QGroupBox(TabSheet1);
    auto* pageLayout = new QVBoxLayout(TabSheet1);
    pageLayout->addWidget(GroupBox1);

    Edit_CustName = new QLineEdit(GroupBox1);
    Edit_CustName->setToolTip(QStringLiteral("客户名称不能为空，且客户名称不能重复"));
    Label25 = new QLabel(QStringLiteral("*"), GroupBox1);
    Label25->setStyleSheet(QStringLiteral("color: red; font-weight: bold;"));
    Edit_Mobile = new QLineEdit(GroupBox1);
    Edit_tel = new QLineEdit(GroupBox1);
    Edit_OtherInfo = new QLineEdit(GroupBox1);
    DateEdit1 = new DateBox(GroupBox1);
    Memo1 = new QPlainTextEdit(GroupBox1);
    Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Memo1->setTabChangesFocus(true);

    auto* grid = new QGridLayout(GroupBox1);
    grid->addWidget(fieldLabel("客户名称:", GroupBox1), 0, 0);
    grid->addWidget(Edit_CustName, 0, 1, 1, 3);
    grid->addWidget(Label25, 0, 4);
    grid->addWidget(fieldLabel("手机号码:", GroupBox1), 1, 0);
    grid->addWidget(Edit_Mobile, 1, 1);
    grid->addWidget(fieldLabel("联系电话:", GroupBox1), 1, 2);
    grid->addWidget(Edit_tel, 1, 3);
    grid->addWidget(fieldLabel("合同编号:", GroupBox1), 2, 0);
    grid->addWidget(Edit_OtherInfo, 2, 1);
    grid->addWidget(fieldLabel("添加时间:", GroupBox1), 2, 2);
    grid->addWidget(DateEdit1, 2, 3);
    auto* memoLabel = fieldLabel("详细说明:", GroupBox1);
    memoLabel->setAlignment(Qt::AlignRight | Qt::AlignTop);
    grid->addWidget(memoLabel, 3, 0);
    grid->addWidget(Memo1, 3, 1, 1, 3);
    grid->setRowStretch(3, 1);
    grid->setColumnStretch(1, 1);
    grid->setColumnStretch(3, 1);

    DBNavigator1 = new RecordNavigator(this);
    Btn_OK = plainButton("保存(&S)", this);
    Btn_Cancel = plainButton("关闭(&Q)", this);
    auto* bottom = new QHBoxLayout;
    bottom->setObjectName(QStringLiteral("bottomStrip"));
    bottom->addWidget(DBNavigator1);
    bottom->addStretch(1);
    bottom->addWidget(Btn_OK);
    bottom->addWidget(Btn_Cancel);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(PageControl1, 1);
    layout->addLayout(bottom);

    QWidget* order[] = {Edit_CustName, Edit_Mobile, Edit_tel, Edit_OtherInfo,
                        Memo1,         DateEdit1,   Btn_OK,   Btn_Cancel};
    for (int i = 0; i + 1 < int(std::size(order)); ++i)
        setTabOrder(order[i], order[i + 1]);
}

// The shop's own fields below the delivered boxes; without any the editor stays as it was.
void TFrm_AddCust::addExtraFields(const QList<FieldDefinition>* knownFields) {
    QList<FieldDefinition> fields;
    if (knownFields)
        fields = *knownFields;
    else if (data_.ADOConnection1)
        fields = CustomerFields::all(*data_.ADOConnection1);
    if (fields.isEmpty())
        return;
    ExtraFields = new ExtraFieldsPanel(fields, TabSheet1);
    TabSheet1->layout()->addWidget(ExtraFields);
    ExtraFields->setFixedHeight(ExtraFields->preferredHeight());
    setFixedSize(width(), height() + ExtraFields->preferredHeight());
    QWidget* previous = DateEdit1;
    for (int i = 0; i < fields.size(); ++i) {
        setTabOrder(previous, ExtraFields->input(i));
        previous = ExtraFields->input(i);
    }
    setTabOrder(previous, Btn_OK);
}

void TFrm_AddCust::setShowActivities(std::function<void(QWidget*)> show) {
    if (!show || Btn_Activities)
        return;
    Btn_Activities = plainButton("联系活动(&R)", this);
    Btn_Activities->setShortcut(QKeySequence(QStringLiteral("Ctrl+R")));
    if (auto* bottom = findChild<QHBoxLayout*>(QStringLiteral("bottomStrip")))
        bottom->insertWidget(2, Btn_Activities);
    connect(Btn_Activities, &QPushButton::clicked, this,
            [this, show] { guarded(messages_, [&] { show(this); }); });
}

void TFrm_AddCust::setShowHistory(std::function<void(QWidget*)> show) {
    if (!show || Btn_History)
        return;
    Btn_History = plainButton("历史记录(&H)", this);
    if (auto* bottom = findChild<QHBoxLayout*>(QStringLiteral("bottomStrip")))
        bottom->insertWidget(2, Btn_History);
    connect(Btn_History, &QPushButton::clicked, this,
            [this, show] { guarded(messages_, [&] { show(this); }); });
}

void TFrm_AddCust::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (shown_)
        return;
    shown_ = true;
    guarded(messages_, [&] { FormShow(); });
}

void TFrm_AddCust::keyPressEvent(QKeyEvent* event) {
    // Neither button is the default or the cancel button: Enter and Esc do nothing here.
    switch (event->key()) {
    case Qt::Key_Escape:
    case Qt::Key_Enter:
    case Qt::Key_Return:
        event->accept();
        return;
    default:
        QDialog::keyPressEvent(event);
    }
}

void TFrm_AddCust::FormShow() {
    limitToFieldSizes();
    if (mode_ == AddMode) {
        setWindowTitle(QStringLiteral("添加客户信息"));
        ClearControls();
        DateEdit1->setDate(QDate::currentDate());
        DBNavigator1->setQuery(nullptr);
    } else {
        setWindowTitle(QStringLiteral("编辑客户信息"));
        LoadCustomer();
        DBNavigator1->setQuery(data_.DS_Cust);
    }
    Edit_CustName->setFocus(); // the operator types at once
    // Selected from its end back to its start, as entering a box selects it, but showing the
    // beginning of a long name.
    const int length = int(Edit_CustName->text().size());
    Edit_CustName->setSelection(length, -length);
}

// Typing stops at a column's declared size, so what is typed is what gets stored.
void TFrm_AddCust::limitToFieldSizes() {
    const Query& query = data_.Qry_Cust;
    if (!query.isActive())
        return;
    const std::pair<QLineEdit*, const char*> boxes[] = {{Edit_CustName, "Company"},
                                                        {Edit_tel, "tel"},
                                                        {Edit_Mobile, "Mobile"},
                                                        {Edit_OtherInfo, "OtherInfo"}};
    for (const auto& [box, field] : boxes) {
        const int i = query.findField(QString::fromLatin1(field));
        if (i >= 0 && query.field(i).size > 0)
            box->setMaxLength(query.field(i).size);
    }
}

void TFrm_AddCust::LoadCustomer() {
    const Query& query = data_.Qry_Cust;
    setBoxText(Edit_CustName, query.asString("Company"));
    setBoxText(Edit_tel, query.asString("tel"));
    setBoxText(Edit_Mobile, query.asString("Mobile"));
    setBoxText(Edit_OtherInfo, query.asString("OtherInfo"));
    loadedAddDate_ = query.asVariant("AddDate");
    DateEdit1->setDate(addDateShown(loadedAddDate_)); // text that is no date opens empty
    DateEdit1->setStoredText(unreadableAddDate(loadedAddDate_));
    Memo1->setPlainText(memoForBox(query.asString("memo2")));
    if (ExtraFields)
        ExtraFields->load(query);
    loadedValues_ = shownValues();
}

// What a save would write from the boxes as they are, the shop's own fields included.
QVariantMap TFrm_AddCust::shownValues() const {
    QVariantMap values = customerFieldValues(input());
    QWidget* badInput = nullptr;
    try {
        if (ExtraFields)
            values.insert(ExtraFields->values(&badInput));
    } catch (const AppError&) {
        // a value no longer valid counts as changed at the next save
    }
    return values;
}

// The boxes from a save's field values.
void TFrm_AddCust::showValues(const QVariantMap& values) {
    setBoxText(Edit_CustName, values.value("Company").toString());
    setBoxText(Edit_tel, values.value("tel").toString());
    setBoxText(Edit_Mobile, values.value("Mobile").toString());
    setBoxText(Edit_OtherInfo, values.value("OtherInfo").toString());
    DateEdit1->setDate(values.value("AddDate").toDateTime().date());
    Memo1->setPlainText(memoForBox(values.value("memo2").toString()));
    if (ExtraFields)
        ExtraFields->showValues(values);
}

// After another workstation's save: the row as it is now, with what this operator changed
// over it; where both changed a field, the operator chooses, seeing the other value.
void TFrm_AddCust::keepOwnChangesOverFreshRow(const QVariantMap& typed) {
    const QVariantMap loaded = loadedValues_;
    LoadCustomer();
    RowMerge merge = mergeOwnChanges(loaded, typed, loadedValues_);
    for (const FieldClash& clash : merge.clashes) {
        const QString shopTitle = ExtraFields ? ExtraFields->titleOf(clash.field) : QString();
        const QString title = shopTitle.isEmpty() ? customerFieldTitle(clash.field) : shopTitle;
        if (!keepsOwnValue(messages_, this, title, clash))
            merge.values.insert(clash.field, clash.theirs);
    }
    showValues(merge.values);
}

void TFrm_AddCust::ClearControls() {
    Edit_CustName->clear();
    Edit_Mobile->clear();
    Edit_OtherInfo->clear();
    Edit_tel->clear();
    Memo1->clear();
    if (ExtraFields)
        ExtraFields->clear();
}

void TFrm_AddCust::DBNavigator1Click() {
    LoadCustomer();
}

void TFrm_AddCust::Btn_CancelClick() {
    close();
}

CustomerInput TFrm_AddCust::input() const {
    CustomerInput in;
    in.company = Edit_CustName->text();
    in.tel = Edit_tel->text();
    in.mobile = Edit_Mobile->text();
    in.otherInfo = Edit_OtherInfo->text();
    in.addDate = DateEdit1->date();
    in.storedAddDate = mode_ == EditMode ? loadedAddDate_ : QVariant();
    in.memo = Memo1->toPlainText();
    return in;
}

void TFrm_AddCust::refuse(const QString& text, QWidget* focus) {
    messages_.messageBox(this, text, QStringLiteral("提醒"), MsgIcon::Information, mbOK);
    PageControl1->setCurrentWidget(TabSheet1);
    focus->setFocus();
}

void TFrm_AddCust::Btn_OKClick() {
    if (saving())
        return; // one save at a time: the next one works on the row this one leaves
    const QString name = trimBlanks(Edit_CustName->text());
    if (name.isEmpty()) {
        refuse(QStringLiteral("公司名称不能为空!"), Edit_CustName);
        return;
    }
    // A half-typed or impossible date is refused rather than silently stored as empty.
    if (!DateEdit1->isReadable()) {
        refuse(QStringLiteral("添加时间不是有效的日期!"), DateEdit1);
        return;
    }
    QWidget* badInput = nullptr;
    try {
        extraValues_ = ExtraFields ? ExtraFields->values(&badInput) : QVariantMap();
    } catch (const AppError& e) {
        refuse(e.text(), badInput);
        return;
    }
    save();
}

void TFrm_AddCust::save() {
    QVariantMap values = customerFieldValues(input());
    values.insert(extraValues_);
    if (mode_ == AddMode)
        addCustomer(values);
    else
        saveCustomer(values);
}

// The test for a taken name and the insert are one step, so two workstations never both add it.
void TFrm_AddCust::addCustomer(const QVariantMap& values) {
    const QString name = values.value("Company").toString();
    auto write = std::make_shared<RowWrite>(data_.Qry_Cust.prepare(RowChange::Append, values));
    auto added = std::make_shared<bool>(false);
    runSave([write, added, name](Connection& c) { *added = appendUnlessTaken(c, *write, name); },
            [this, write, added, name](std::exception_ptr failure) {
                if (failure)
                    std::rethrow_exception(failure);
                if (!*added) {
                    refuse(duplicateNameText(data_, name), Edit_CustName);
                    return;
                }
                data_.Qry_Cust.take(*write);
                ClearControls();
            });
}

void TFrm_AddCust::saveCustomer(const QVariantMap& values) {
    Query& query = data_.Qry_Cust;
    auto write = std::make_shared<RowWrite>();
    // Never a field left untouched; a new name reaches the linked activities too.
    auto job = customerSaveJob(query, changedFields(loadedValues_, values), write);
    runSave(std::move(job), [this, write, values](std::exception_ptr failure) {
        Query& query = data_.Qry_Cust;
        const int rows = query.recordCount();
        try {
            if (failure)
                std::rethrow_exception(failure);
            query.take(*write);
        } catch (const RowConflict& conflict) {
            if (query.recordCount() < rows) { // deleted: nothing of it is left to merge onto
                LoadCustomer();
                throw;
            }
            messages_.showError(conflict.text());
            keepOwnChangesOverFreshRow(values);
            return;
        }
        loadedAddDate_ = query.asVariant("AddDate");
        DateEdit1->setStoredText(unreadableAddDate(loadedAddDate_));
        loadedValues_ = shownValues();
    });
}

void TFrm_AddCust::runSave(std::function<void(Connection&)> job,
                           std::function<void(std::exception_ptr)> saved) {
    // The operator sees the save is on its way and cannot start another or move off the row.
    startSaving({PageControl1, DBNavigator1, Btn_OK, Btn_Activities, Btn_History});
    QPointer<TFrm_AddCust> self(this);
    data_.writes().run(data_.ADOConnection1->author(), std::move(job),
                       [self, saved = std::move(saved)](std::exception_ptr failure) {
                           if (!self)
                               return;
                           self->finishSaving();
                           guarded(self->messages_, [&] { saved(failure); });
                           if (self)
                               self->closeIfAsked();
                       });
}
