#include "history/U_RecycleBin.h"

#include "data/Guard.h"
#include "data/MessageService.h"
#include "data/WriteQueue.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QPointer>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

TFrm_RecycleBin::TFrm_RecycleBin(Connection& connection, MessageService& messages, QWidget* parent)
    : QDialog(parent), connection_(connection), messages_(messages) {
    setWindowTitle(QStringLiteral("回收站"));
    Grid_Bin = new QTableWidget(0, 4, this);
    Grid_Bin->setObjectName("Grid_Bin");
    Grid_Bin->setHorizontalHeaderLabels({QStringLiteral("客户名称"), QStringLiteral("删除人"),
                                         QStringLiteral("删除时间"), QStringLiteral("联系活动")});
    Grid_Bin->setSelectionBehavior(QAbstractItemView::SelectRows);
    Grid_Bin->setSelectionMode(QAbstractItemView::SingleSelection);
    Grid_Bin->setEditTriggers(QAbstractItemView::NoEditTriggers);
    Grid_Bin->horizontalHeader()->setSectionResizeMode(0, QHeaderView::Stretch);
    Grid_Bin->verticalHeader()->hide();
    Btn_Restore = new QPushButton(QStringLiteral("恢复(&R)"), this);
    Btn_Purge = new QPushButton(QStringLiteral("彻底删除(&P)"), this);
    Btn_Close = new QPushButton(QStringLiteral("关闭(&Q)"), this);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(Btn_Restore);
    buttons->addWidget(Btn_Purge);
    buttons->addWidget(Btn_Close);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Grid_Bin);
    layout->addLayout(buttons);
    resize(640, 400);
    connect(Btn_Close, &QPushButton::clicked, this, &QDialog::reject);
    connect(Btn_Restore, &QPushButton::clicked, this,
            [this] { guarded(messages_, [this] { Btn_RestoreClick(); }); });
    connect(Btn_Purge, &QPushButton::clicked, this,
            [this] { guarded(messages_, [this] { Btn_PurgeClick(); }); });
    Btn_Purge->setEnabled(RecycleBin::mayPurge(connection_.author()));
    reload();
}

void TFrm_RecycleBin::reload() {
    showRows(RecycleBin::list(connection_));
}

void TFrm_RecycleBin::showRows(std::vector<BinnedCustomer> rows) {
    rows_ = std::move(rows);
    Grid_Bin->setRowCount(int(rows_.size()));
    for (int i = 0; i < int(rows_.size()); ++i) {
        const BinnedCustomer& b = rows_[size_t(i)];
        const QStringList cells = {
            b.company, b.binnedBy.isEmpty() ? QStringLiteral("（外部程序）") : b.binnedBy,
            b.binnedAt.toString("yyyy-MM-dd HH:mm:ss"), QString::number(b.activities)};
        for (int c = 0; c < cells.size(); ++c)
            Grid_Bin->setItem(i, c, new QTableWidgetItem(cells[c]));
    }
    for (int c = 1; c < Grid_Bin->columnCount(); ++c)
        Grid_Bin->resizeColumnToContents(c);
    if (!rows_.empty())
        Grid_Bin->selectRow(0);
    Btn_Restore->setEnabled(!rows_.empty());
}

const BinnedCustomer* TFrm_RecycleBin::current() const {
    const int row = Grid_Bin->currentRow();
    return row >= 0 && size_t(row) < rows_.size() ? &rows_[size_t(row)] : nullptr;
}

void TFrm_RecycleBin::Btn_RestoreClick() {
    const BinnedCustomer* b = current();
    if (!b)
        return;
    const qint64 code = b->custCode;
    auto outcome = RecycleBin::restore(connection_, code);
    if (outcome == RecycleBin::RestoreOutcome::NameTaken) {
        const int answer = messages_.messageBox(
            this, QStringLiteral("客户名称有重复!\n仍要恢复客户“%1”吗？").arg(b->company),
            QStringLiteral("提醒"), MsgIcon::Question, mbYes | mbNo);
        if (answer != mbYes)
            return;
        outcome = RecycleBin::restore(connection_, code, true);
    }
    reload();
    if (outcome == RecycleBin::RestoreOutcome::Restored)
        emit restored(code);
}

void TFrm_RecycleBin::Btn_PurgeClick() {
    const BinnedCustomer* b = current();
    if (!b || purging_ || !RecycleBin::mayPurge(connection_.author()))
        return;
    const int answer = messages_.messageBox(
        this, QStringLiteral("确定要彻底删除客户“%1”吗？删除后不能恢复！").arg(b->company),
        QStringLiteral("警告"), MsgIcon::Warning, mbYes | mbNo);
    if (answer != mbYes)
        return;
    if (!writes_) {
        RecycleBin::purge(connection_, b->custCode);
        reload();
        return;
    }
    // The removal and the bin as it is then travel together; the window is busy meanwhile.
    purging_ = true;
    setCursor(Qt::BusyCursor);
    auto rows = std::make_shared<std::vector<BinnedCustomer>>();
    QPointer<TFrm_RecycleBin> self(this);
    writes_->run(
        connection_.author(),
        [rows, code = b->custCode](Connection& c) {
            RecycleBin::purge(c, code);
            *rows = RecycleBin::list(c);
        },
        [self, rows](std::exception_ptr failure) {
            if (!self)
                return;
            self->purging_ = false;
            self->unsetCursor();
            guarded(self->messages_, [&] {
                if (failure)
                    std::rethrow_exception(failure);
                self->showRows(std::move(*rows));
            });
        });
}
