#include "customers/CustomerCommands.h"

#include "customers/U_AddCust.h"
#include "data/Activities.h"
#include "data/Guard.h"
#include "data/MessageService.h"
#include "data/U_Data.h"
#include "history/RecycleBin.h"

namespace {

void runEditor(TFrm_Data& data, MessageService& messages, QWidget* owner, TFrm_AddCust::Mode mode,
               std::function<void(QWidget*)> showActivities = {},
               std::function<void(QWidget*)> showHistory = {}) {
    TFrm_AddCust editor(data, messages, owner);
    editor.setMode(mode);
    editor.setShowActivities(std::move(showActivities));
    editor.setShowHistory(std::move(showHistory));
    editor.exec();
}

// Asked only when the customer has activities: Yes removes them with the customer, No keeps
// them under the customer's name, Cancel keeps everything.
bool removeCustomer(TFrm_Data& data, MessageService& messages, QWidget* owner) {
    Connection& connection = *data.Qry_Cust.connection();
    const int fieldCode = data.Qry_Cust.findField(QStringLiteral("CustCode"));
    const qint64 code = fieldCode < 0 ? 0 : data.Qry_Cust.asInteger(QStringLiteral("CustCode"));
    const int count = code ? Activities::countOfCustomer(connection, code) : 0;
    bool withActivities = false;
    if (count > 0) {
        const int answer = messages.messageBox(
            owner, QStringLiteral("该客户有 %1 条联系活动，是否一并删除？").arg(count),
            QStringLiteral("警告"), MsgIcon::Question, mbYes | mbNo | mbCancel);
        if (answer == mbCancel)
            return false;
        withActivities = answer == mbYes;
    }
    // The customer and its activities go together, into the recycle bin that gives them back.
    Transaction transaction(connection);
    if (code)
        RecycleBin::keep(connection, code, withActivities);
    data.Qry_Cust.remove();
    transaction.commit();
    return true;
}

bool hasRows(const Query& query) {
    return query.isActive() && query.recordCount() > 0;
}

} // namespace

void AddCustExecute(TFrm_Data& data, MessageService& messages, QWidget* owner) {
    guarded(messages, [&] { runEditor(data, messages, owner, TFrm_AddCust::AddMode); });
}

void EditCustExecute(TFrm_Data& data, MessageService& messages, QWidget* owner,
                     std::function<void(QWidget*)> showActivities,
                     std::function<void(QWidget*)> showHistory) {
    guarded(messages, [&] {
        if (hasRows(data.Qry_Cust))
            runEditor(data, messages, owner, TFrm_AddCust::EditMode, std::move(showActivities),
                      std::move(showHistory));
    });
}

void DelCustExecute(TFrm_Data& data, MessageService& messages, QWidget* owner) {
    guarded(messages, [&] {
        if (!hasRows(data.Qry_Cust))
            return;
        const int answer =
            messages.messageBox(owner, QStringLiteral("确定要删除客户记录吗！"),
                                QStringLiteral("警告"), MsgIcon::Information, mbYes | mbNo);
        if (answer == mbYes)
            removeCustomer(data, messages, owner);
    });
}
