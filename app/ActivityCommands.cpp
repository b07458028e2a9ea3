#include "app/ActivityCommands.h"

#include "activities/DueNotifier.h"
#include "activities/U_Activities.h"
#include "activities/U_ActivityEdit.h"
#include "data/Activities.h"
#include "data/Guard.h"
#include "data/MessageService.h"
#include "data/U_Data.h"
#include "data/WriteQueue.h"
#include "reminders/U_Awoke.h"

#include <QApplication>
#include <QWidget>
#include <utility>

namespace {

// Moves the customer list to the customer; false when the list does not show it.
bool showCustomer(Query& customers, qint64 code) {
    const int f = customers.findField(QStringLiteral("CustCode"));
    for (int row = 0; f >= 0 && customers.isActive() && row < customers.recordCount(); ++row)
        if (customers.value(row, f).toLongLong() == code) {
            customers.setRecNo(row);
            return true;
        }
    return false;
}

} // namespace

ActivityCommands::ActivityCommands(TFrm_Data& data, MessageService& messages,
                                   std::function<QString()> currentOperator, QWidget* mainWindow)
    : QObject(mainWindow), data_(data), messages_(messages), operator_(std::move(currentOperator)),
      mainWindow_(mainWindow) {}

ActivityCommands::~ActivityCommands() = default;

void ActivityCommands::showOfCurrentCustomer(QWidget* over) {
    Query& customers = data_.Qry_Cust;
    if (!customers.isActive() || customers.recNo() < 0)
        return;
    TFrm_Activities window(data_, messages_, operator_(),
                           {customers.asInteger(QStringLiteral("CustCode")),
                            customers.asString(QStringLiteral("Company"))},
                           over);
    window.exec();
    refreshDueCount();
}

void ActivityCommands::showUpcoming(QWidget* over) {
    TFrm_Activities window(data_, messages_, operator_(), {}, over);
    window.exec();
    refreshDueCount();
}

void ActivityCommands::openActivity(qint64 id, QWidget* over) {
    const auto rows = readActivities(*data_.ADOConnection1, Activities::byId(id, data_.rights));
    if (rows.empty()) {
        messages_.messageBox(over, QStringLiteral("该联系活动已被删除。"), QStringLiteral("提示"),
                             MsgIcon::Information, mbOK);
        return;
    }
    const Activity& activity = rows.front();
    if (activity.custCode.isNull()) { // an older row knows its customer by name only
        Query row(QStringLiteral("Qry_Act"), data_.ADOConnection1.get());
        data_.OpenQuery(row, Activities::byId(id, data_.rights));
        TFrm_ActivityEdit editor(
            messages_, activity,
            [&](const QVariantMap& fields, const TFrm_ActivityEdit::Saved& saved) {
                writeRow(data_.writes(), data_.ADOConnection1->author(), row, RowChange::Edit,
                         fields, saved);
            },
            over);
        editor.setRereadFrom(data_.ADOConnection1.get());
        editor.exec();
        refreshDueCount();
        return;
    }
    const qint64 code = activity.custCode.toLongLong();
    const bool listed = showCustomer(data_.Qry_Cust, code);
    TFrm_Activities window(
        data_, messages_, operator_(),
        {code, listed ? data_.Qry_Cust.asString(QStringLiteral("Company")) : activity.custName},
        over);
    window.showActivity(id);
    window.exec();
    refreshDueCount();
}

void ActivityCommands::startWatching() {
    startWatching(createDesktopNotifier());
}

void ActivityCommands::startWatching(std::unique_ptr<DesktopNotifier> notifier) {
    notifier_ = std::move(notifier);
    connect(notifier_.get(), &DesktopNotifier::activated, this,
            [this](qint64 id) { onNotificationClicked(id); });
    watcher_ = std::make_unique<DueWatcher>(*data_.ADOConnection1, operator_, *notifier_,
                                            [this] { return notificationsWanted(data_.IniFile); });
    watcher_->rights = data_.rights;
    watcher_->start();
    connect(&countBeat_, &QTimer::timeout, this, [this] { refreshDueCount(); });
    countBeat_.start(30000);
    refreshDueCount();
}

void ActivityCommands::refreshDueCount() {
    int count = 0;
    try {
        count = Activities::dueByTodayCount(*data_.ADOConnection1, operator_(),
                                            QDateTime::currentDateTime());
    } catch (const std::exception&) {
        return; // the next beat tries again, as the watch does
    }
    if (count != std::exchange(dueCount_, count))
        emit dueCountChanged(count);
}

QString ActivityCommands::awokeButtonText(int dueCount) {
    return dueCount > 0 ? QStringLiteral("联系活动提醒(%1)").arg(dueCount)
                        : QStringLiteral("联系活动提醒");
}

void ActivityCommands::onNotificationClicked(qint64 id) {
    if (mainWindow_->isMinimized())
        mainWindow_->showMaximized();
    mainWindow_->raise();
    mainWindow_->activateWindow();
    // A dialog being typed in keeps the keyboard; the activity waits for the operator.
    if (QApplication::activeModalWidget())
        return;
    guarded(messages_, [&] { openActivity(id, mainWindow_); });
}
