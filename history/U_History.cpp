#include "history/U_History.h"

#include "data/Guard.h"
#include "data/MessageService.h"

#include <QHBoxLayout>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

TFrm_History::TFrm_History(Connection& connection, MessageService& messages, qint64 custCode,
                           const QString& company, QWidget* parent)
    : QDialog(parent), connection_(connection), messages_(messages), custCode_(custCode) {
    setWindowTitle(QStringLiteral("历史记录 - ") + company);
    List_History = new QListWidget(this);
    List_History->setObjectName("List_History");
    Btn_PutBack = new QPushButton(QStringLiteral("恢复旧值(&B)"), this);
    Btn_Close = new QPushButton(QStringLiteral("关闭(&Q)"), this);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(Btn_PutBack);
    buttons->addWidget(Btn_Close);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(List_History);
    layout->addLayout(buttons);
    resize(820, 420);
    connect(Btn_Close, &QPushButton::clicked, this, &QDialog::reject);
    connect(Btn_PutBack, &QPushButton::clicked, this,
            [this] { guarded(messages_, [this] { Btn_PutBackClick(); }); });
    connect(List_History, &QListWidget::currentRowChanged, this, [this] { updateButtons(); });
    titles_ = ChangeLog::fieldTitles(connection_);
    reload();
}

void TFrm_History::reload() {
    records_ = ChangeLog::ofCustomer(connection_, custCode_);
    List_History->clear();
    for (const ChangeRecord& r : records_)
        List_History->addItem(ChangeLog::lineOf(r, titles_));
    if (!records_.empty())
        List_History->setCurrentRow(0);
    updateButtons();
}

void TFrm_History::updateButtons() {
    const int row = List_History->currentRow();
    Btn_PutBack->setEnabled(row >= 0 && size_t(row) < records_.size() &&
                            ChangeLog::canPutBack(records_[size_t(row)]));
}

void TFrm_History::Btn_PutBackClick() {
    const int row = List_History->currentRow();
    if (row < 0 || size_t(row) >= records_.size() || !ChangeLog::canPutBack(records_[size_t(row)]))
        return;
    const QStringList kept = ChangeLog::putBack(connection_, records_[size_t(row)]);
    reload();
    emit changed();
    if (!kept.isEmpty()) {
        QStringList names;
        for (const QString& field : kept)
            names << titles_.value(records_.front().table.toLower() + "." + field.toLower(), field);
        messages_.messageBox(this,
                             QStringLiteral("以下字段此后又被修改过，保留了现在的值：") +
                                 names.join(QStringLiteral("、")),
                             QStringLiteral("提示"), MsgIcon::Information, mbOK);
    }
}
