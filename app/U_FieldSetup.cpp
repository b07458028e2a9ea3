#include "app/U_FieldSetup.h"

#include "data/AppError.h"
#include "data/BackupSet.h"
#include "data/Guard.h"
#include "data/MessageService.h"
#include "data/U_Data.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QInputDialog>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

namespace {

const QString kCaption = QStringLiteral("字段设置");

QString describe(const FieldDefinition& field) {
    QString details = CustomerFields::typeTitle(field.type);
    if (field.type == FieldType::Text)
        details += QString("，%1字").arg(field.length);
    else if (field.type == FieldType::Number)
        details += QString("，%1位小数").arg(field.decimals);
    else if (field.type == FieldType::Choice)
        details += "：" + field.choices.join(u'、');
    return field.title + "（" + details + "）";
}

QStringList linesOf(const QPlainTextEdit& box) {
    return box.toPlainText().split(u'\n', Qt::SkipEmptyParts);
}

} // namespace

TFrm_FieldSetup::TFrm_FieldSetup(TFrm_Data& data, MessageService& messages, QWidget* owner)
    : QDialog(owner), data_(data), messages_(messages) {
    setWindowTitle(kCaption);
    List_Fields = new QListWidget(this);
    Btn_Add = new QPushButton(QStringLiteral("添加(&A)"), this);
    Btn_Rename = new QPushButton(QStringLiteral("改名(&N)"), this);
    Btn_Choices = new QPushButton(QStringLiteral("选项(&C)"), this);
    Btn_Up = new QPushButton(QStringLiteral("上移(&U)"), this);
    Btn_Down = new QPushButton(QStringLiteral("下移(&W)"), this);
    Btn_Remove = new QPushButton(QStringLiteral("删除(&D)"), this);
    Btn_Close = new QPushButton(QStringLiteral("关闭(&Q)"), this);
    auto* buttons = new QVBoxLayout;
    for (QPushButton* b :
         {Btn_Add, Btn_Rename, Btn_Choices, Btn_Up, Btn_Down, Btn_Remove, Btn_Close}) {
        b->setAutoDefault(false);
        buttons->addWidget(b);
    }
    buttons->insertStretch(6, 1);
    auto* layout = new QHBoxLayout(this);
    layout->addWidget(List_Fields, 1);
    layout->addLayout(buttons);
    resize(520, 340);

    auto run = [this](auto action) {
        return [this, action] { guarded(messages_, [&] { action(); }); };
    };
    connect(Btn_Add, &QPushButton::clicked, this, run([this] { addClicked(); }));
    connect(Btn_Rename, &QPushButton::clicked, this, run([this] { renameClicked(); }));
    connect(Btn_Choices, &QPushButton::clicked, this, run([this] { choicesClicked(); }));
    connect(Btn_Up, &QPushButton::clicked, this, run([this] { doMove(currentRow(), -1); }));
    connect(Btn_Down, &QPushButton::clicked, this, run([this] { doMove(currentRow(), 1); }));
    connect(Btn_Remove, &QPushButton::clicked, this, run([this] { doRemove(currentRow()); }));
    connect(Btn_Close, &QPushButton::clicked, this, &QDialog::accept);
    connect(List_Fields, &QListWidget::currentRowChanged, this, [this] { updateButtons(); });
    refreshList();
}

void TFrm_FieldSetup::refreshList() {
    const int row = List_Fields->currentRow();
    fields_ = CustomerFields::all(*data_.ADOConnection1);
    List_Fields->clear();
    for (const FieldDefinition& field : fields_)
        List_Fields->addItem(describe(field));
    List_Fields->setCurrentRow(std::min(std::max(row, 0), int(fields_.size()) - 1));
    updateButtons();
}

int TFrm_FieldSetup::currentRow() const {
    return List_Fields->currentRow();
}

void TFrm_FieldSetup::updateButtons() {
    const int row = currentRow();
    const bool chosen = row >= 0 && row < fields_.size();
    Btn_Rename->setEnabled(chosen);
    Btn_Remove->setEnabled(chosen);
    Btn_Choices->setEnabled(chosen && fields_[row].type == FieldType::Choice);
    Btn_Up->setEnabled(chosen && row > 0);
    Btn_Down->setEnabled(chosen && row + 1 < fields_.size());
}

void TFrm_FieldSetup::doAdd(const FieldDefinition& field) {
    CustomerFields::add(*data_.ADOConnection1, field);
    changed_ = true;
    refreshList();
    List_Fields->setCurrentRow(int(fields_.size()) - 1);
}

void TFrm_FieldSetup::doRename(int row, const QString& title) {
    CustomerFields::rename(*data_.ADOConnection1, fields_.at(row).id, title);
    changed_ = true;
    refreshList();
}

void TFrm_FieldSetup::doChoices(int row, const QStringList& choices) {
    CustomerFields::setChoices(*data_.ADOConnection1, fields_.at(row).id, choices);
    changed_ = true;
    refreshList();
}

void TFrm_FieldSetup::doMove(int row, int by) {
    const int to = row + by;
    if (row < 0 || to < 0 || to >= fields_.size())
        return;
    QList<qint64> ids;
    for (const FieldDefinition& field : fields_)
        ids << field.id;
    ids.swapItemsAt(row, to);
    CustomerFields::reorder(*data_.ADOConnection1, ids);
    changed_ = true;
    refreshList();
    List_Fields->setCurrentRow(to);
}

void TFrm_FieldSetup::doRemove(int row, const QDateTime& now) {
    if (row < 0 || row >= fields_.size())
        return;
    Connection& connection = *data_.ADOConnection1;
    const FieldDefinition field = fields_[row];
    const qint64 holders = CustomerFields::customersWithValue(connection, field);
    const QString backupNote = connection.onlineBackup()
                                   ? QStringLiteral("删除前会先备份数据库。")
                                   : QStringLiteral("服务器数据库请先用 pg_dump 备份。");
    const QString question = QString("删除字段“%1”将同时删除%2位客户在这个字段中的内容，%3"
                                     "确定删除吗？")
                                 .arg(field.title)
                                 .arg(holders)
                                 .arg(backupNote);
    if (messages_.messageBox(this, question, kCaption, MsgIcon::Question, mbYes | mbNo) != mbYes)
        return;
    // A file database is copied first; a server database is backed up by its own tools.
    const BackupResult backup = backupDatabase(connection, now);
    if (backup.outcome == BackupResult::Cancelled)
        return;
    CustomerFields::remove(connection, field.id);
    changed_ = true;
    refreshList();
    if (backup.outcome == BackupResult::Made)
        messages_.messageBox(
            this,
            QString("字段“%1”已删除；删除前的数据库已备份到 %2").arg(field.title, backup.file),
            kCaption, MsgIcon::Information, mbOK);
}

void TFrm_FieldSetup::addClicked() {
    FieldDefinition field;
    if (askNewField(this, field))
        doAdd(field);
}

void TFrm_FieldSetup::renameClicked() {
    const int row = currentRow();
    if (row < 0)
        return;
    bool ok = false;
    const QString title = QInputDialog::getText(this, kCaption, QStringLiteral("新的字段名称:"),
                                                QLineEdit::Normal, fields_[row].title, &ok);
    if (ok)
        doRename(row, title);
}

void TFrm_FieldSetup::choicesClicked() {
    const int row = currentRow();
    if (row < 0)
        return;
    QStringList choices = fields_[row].choices;
    if (askChoices(this, fields_[row].title, choices))
        doChoices(row, choices);
}

bool askNewField(QWidget* owner, FieldDefinition& field) {
    QDialog dialog(owner);
    dialog.setWindowTitle(QStringLiteral("添加字段"));
    auto* title = new QLineEdit(&dialog);
    title->setMaxLength(50);
    auto* type = new QComboBox(&dialog);
    for (FieldType t : CustomerFields::allTypes())
        type->addItem(CustomerFields::typeTitle(t));
    auto* length = new QSpinBox(&dialog);
    length->setRange(1, 255);
    length->setValue(50);
    auto* decimals = new QSpinBox(&dialog);
    decimals->setRange(0, 6);
    auto* choices = new QPlainTextEdit(&dialog);
    choices->setPlaceholderText(QStringLiteral("每行一个选项"));
    auto* form = new QFormLayout(&dialog);
    form->addRow(QStringLiteral("字段名称:"), title);
    form->addRow(QStringLiteral("类型:"), type);
    form->addRow(QStringLiteral("长度:"), length);
    form->addRow(QStringLiteral("小数位数:"), decimals);
    form->addRow(QStringLiteral("选项:"), choices);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    form->addRow(buttons);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    auto showDetails = [=] {
        const FieldType t = CustomerFields::allTypes().at(type->currentIndex());
        length->setEnabled(t == FieldType::Text);
        decimals->setEnabled(t == FieldType::Number);
        choices->setEnabled(t == FieldType::Choice);
    };
    QObject::connect(type, &QComboBox::currentIndexChanged, &dialog, showDetails);
    showDetails();
    if (dialog.exec() != QDialog::Accepted)
        return false;
    field.title = title->text();
    field.type = CustomerFields::allTypes().at(type->currentIndex());
    field.length = length->value();
    field.decimals = decimals->value();
    field.choices = linesOf(*choices);
    return true;
}

bool askChoices(QWidget* owner, const QString& title, QStringList& choices) {
    QDialog dialog(owner);
    dialog.setWindowTitle(QString("“%1”的选项").arg(title));
    auto* box = new QPlainTextEdit(&dialog);
    box->setPlainText(choices.join(u'\n'));
    box->setPlaceholderText(QStringLiteral("每行一个选项"));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    auto* layout = new QVBoxLayout(&dialog);
    layout->addWidget(box);
    layout->addWidget(buttons);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    choices = linesOf(*box);
    return true;
}
