#include "app/HistoryCommands.h"

#include "data/Guard.h"
#include "data/MessageService.h"
#include "data/U_Data.h"
#include "history/U_History.h"
#include "history/U_RecycleBin.h"

#include <QSysInfo>

HistoryCommands::HistoryCommands(TFrm_Data& data, MessageService& messages, QWidget* mainWindow)
    : QObject(mainWindow), data_(data), messages_(messages), mainWindow_(mainWindow) {}

void HistoryCommands::showOfCurrentCustomer(QWidget* over) {
    Query& customers = data_.Qry_Cust;
    if (!customers.isActive() || customers.recNo() < 0)
        return;
    TFrm_History window(*data_.ADOConnection1, messages_,
                        customers.asInteger(QStringLiteral("CustCode")),
                        customers.asString(QStringLiteral("Company")), over);
    // Over the editor the query stays where the editor has it; its next save meets the change
    // as another user's.
    if (over == mainWindow_)
        connect(&window, &TFrm_History::changed, this, [this] {
            if (refreshList)
                refreshList();
        });
    window.exec();
}

void HistoryCommands::showBin(QWidget* over) {
    TFrm_RecycleBin window(*data_.ADOConnection1, messages_, over);
    window.setWrites(&data_.writes());
    connect(&window, &TFrm_RecycleBin::restored, this, [this] {
        if (refreshList)
            refreshList();
    });
    window.exec();
}

void identifyOperator(TFrm_Data& data, const QString& currentOperator) {
    if (data.ADOConnection1)
        data.ADOConnection1->setAuthor({currentOperator, QSysInfo::machineHostName(),
                                        data.rights.may(Permission::DeleteCustomers)});
}

void purgeExpiredHistory(TFrm_Data& data, MessageService& messages, QWidget* owner) {
    if (data.ADOConnection1)
        tellPurgeFailure(messages, owner, purgeExpiredHistory(*data.ADOConnection1, data.IniFile));
}

QString purgeExpiredHistory(Connection& connection, const SettingsFile& settings) {
    try {
        RecycleBin::purgeExpired(connection, readRetention(settings));
        return {};
    } catch (const std::exception& error) {
        return QString::fromUtf8(error.what());
    }
}

void tellPurgeFailure(MessageService& messages, QWidget* owner, const QString& failure) {
    if (!failure.isEmpty())
        messages.messageBox(owner,
                            QStringLiteral("清理过期的回收站和历史记录失败：%1").arg(failure),
                            QStringLiteral("提示"), MsgIcon::Warning, mbOK);
}
