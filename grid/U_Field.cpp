#include "grid/U_Field.h"

#include "data/Guard.h"
#include "data/MessageService.h"
#include "data/Statements.h"
#include "data/U_Data.h"
#include "grid/DialogFrame.h"
#include "grid/EnterOnFocus.h"
#include "grid/TextTrim.h"
#include "grid/WindowFont.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

QLabel* heading(const char* text, QWidget* parent) {
    auto* label = new QLabel(QString::fromUtf8(text), parent);
    label->setAlignment(Qt::AlignCenter);
    label->setFrameShape(QFrame::Panel);
    label->setFrameShadow(QFrame::Raised);
    return label;
}

QToolButton* arrowButton(const char* text, QWidget* parent) {
    auto* button = new QToolButton(parent);
    button->setText(QString::fromLatin1(text));
    button->setAutoRaise(true);          // flat
    button->setFocusPolicy(Qt::NoFocus); // the arrows are no stops in the tab order
    return button;
}

// Moves the selected item of one list to the end of the other; nothing when none is selected.
void moveSelected(QListWidget* from, QListWidget* to) {
    const QList<QListWidgetItem*> selected = from->selectedItems();
    if (selected.isEmpty())
        return;
    to->addItem(from->takeItem(from->row(selected.first())));
}

void moveAll(QListWidget* from, QListWidget* to) {
    while (from->count() > 0)
        to->addItem(from->takeItem(0));
}

void selectFirst(QListWidget* list) {
    if (list->count() > 0)
        list->setCurrentRow(0);
}

} // namespace

TFrm_Field::TFrm_Field(TFrm_Data& data, MessageService& messages, QWidget* parent)
    : QDialog(parent), Qry_src("Qry_src"), Qry_Dst("Qry_Dst"), Qry_temp("Qry_temp"), data_(data),
      messages_(messages) {
    applyWindowFont(*this);
    setFixedSize(387, 269);
    frameFixedDialog(*this);
    buildControls();
    connectHandlers();
    guarded(messages_, [&] { FormCreate(); });
}

void TFrm_Field::buildControls() {
    Panel1 = heading("未选择的字段", this);
    SrcList = new QListWidget(this);
    Panel2 = heading("已选择的字段", this);
    DstList = new QListWidget(this);
    for (QListWidget* list : {SrcList, DstList})
        list->setSelectionMode(QAbstractItemView::SingleSelection);
    SP_right = arrowButton(">", this);
    SP_allright = arrowButton(">>", this);
    SP_left = arrowButton("<", this);
    SP_allleft = arrowButton("<<", this);
    Btn_ok = new QPushButton(QStringLiteral("确定(&Y)"), this);
    Btn_ok->setDefault(true);
    Btn_exit = new QPushButton(QStringLiteral("取消(&C)"), this);
    Btn_exit->setAutoDefault(false);
    pressOnEnterWhenFocused(Btn_exit); // Enter while it has the focus cancels, not OK

    auto* arrows = new QVBoxLayout;
    arrows->addStretch(1);
    for (QToolButton* button : {SP_right, SP_allright, SP_left, SP_allleft})
        arrows->addWidget(button);
    arrows->addStretch(1);

    auto* lists = new QGridLayout;
    lists->addWidget(Panel1, 0, 0);
    lists->addWidget(SrcList, 1, 0);
    lists->addLayout(arrows, 1, 1);
    lists->addWidget(Panel2, 0, 2);
    lists->addWidget(DstList, 1, 2);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(Btn_ok);
    buttons->addWidget(Btn_exit);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(lists, 1);
    layout->addLayout(buttons);

    setTabOrder(SrcList, DstList);
    setTabOrder(DstList, Btn_ok);
    setTabOrder(Btn_ok, Btn_exit);
}

void TFrm_Field::connectHandlers() {
    auto bind = [this](auto* sender, auto signal, void (TFrm_Field::*handler)()) {
        connect(sender, signal, this,
                [this, handler] { guarded(messages_, [&] { (this->*handler)(); }); });
    };
    bind(SP_right, &QToolButton::clicked, &TFrm_Field::SP_rightClick);
    bind(SP_allright, &QToolButton::clicked, &TFrm_Field::SP_allrightClick);
    bind(SP_left, &QToolButton::clicked, &TFrm_Field::SP_leftClick);
    bind(SP_allleft, &QToolButton::clicked, &TFrm_Field::SP_allleftClick);
    bind(SrcList, &QListWidget::itemDoubleClicked, &TFrm_Field::SP_rightClick);
    bind(DstList, &QListWidget::itemDoubleClicked, &TFrm_Field::SP_leftClick);
    bind(Btn_ok, &QPushButton::clicked, &TFrm_Field::Btn_okClick);
    bind(Btn_exit, &QPushButton::clicked, &TFrm_Field::Btn_exitClick);
}

void TFrm_Field::FormCreate() {
    setWindowTitle(QStringLiteral("选择显示的字段"));
}

void TFrm_Field::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (shown_)
        return;
    shown_ = true;
    guarded(messages_, [&] { FormShow(); });
    UpdateButtons(); // also after a failed read: the lists hold what was read before it
}

void TFrm_Field::FormShow() {
    Connection* connection = data_.ADOConnection1.get();
    for (Query* query : {&Qry_src, &Qry_Dst, &Qry_temp})
        query->setConnection(connection);
    readRows(Qry_src, false, SrcList);
    readRows(Qry_Dst, true, DstList);
}

void TFrm_Field::readRows(Query& query, bool shown, QListWidget* list) {
    data_.OpenQuery(query, Sql::chooserRows(tableName_, shown));
    query.first();
    for (int i = 0; i < query.recordCount(); ++i) {
        list->addItem(query.asString("Name"));
        query.next();
    }
}

void TFrm_Field::UpdateButtons() {
    const bool hidden = SrcList->count() > 0;
    const bool shown = DstList->count() > 0;
    SP_right->setEnabled(hidden);
    SP_allright->setEnabled(hidden);
    SP_left->setEnabled(shown);
    SP_allleft->setEnabled(shown);
}

void TFrm_Field::SP_rightClick() {
    moveSelected(SrcList, DstList);
    selectFirst(SrcList);
    UpdateButtons();
}

void TFrm_Field::SP_leftClick() {
    moveSelected(DstList, SrcList);
    UpdateButtons();
    selectFirst(DstList);
}

void TFrm_Field::SP_allrightClick() {
    moveAll(SrcList, DstList);
    UpdateButtons();
}

void TFrm_Field::SP_allleftClick() {
    moveAll(DstList, SrcList);
    UpdateButtons();
}

void TFrm_Field::writeFlags(QListWidget* list, bool shown) {
    data_.rights.require(Permission::ChangeLayout);
    for (int i = 0; i < list->count(); ++i)
        data_.ExecQuery(Qry_temp,
                        Sql::setColumnShown(tableName_, trimBlanks(list->item(i)->text()), shown));
}

void TFrm_Field::Btn_okClick() {
    // All flags or none: a failure leaves the stored choice as it was and the dialog open.
    Transaction transaction(*data_.ADOConnection1);
    writeFlags(SrcList, false);
    writeFlags(DstList, true);
    transaction.commit();
    data_.Qry_FieldShow.close(); // the lists read their layout anew
    messages_.notice(QStringLiteral("修改完成！"), this);
    accept();
}

void TFrm_Field::Btn_exitClick() {
    reject();
}
