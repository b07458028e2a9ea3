#include "customers/CustomerCommands.h"

#include "customers/U_AddCust.h"
#include "data/Guard.h"
#include "data/MessageService.h"
#include "data/U_Data.h"

namespace {

void runEditor(TFrm_Data& data, MessageService& messages, QWidget* owner, TFrm_AddCust::Mode mode) {
    TFrm_AddCust editor(data, messages, owner);
    editor.setMode(mode);
    editor.exec();
}

bool hasRows(const Query& query) {
    return query.isActive() && query.recordCount() > 0;
}

} // namespace

void AddCustExecute(TFrm_Data& data, MessageService& messages, QWidget* owner) {
    guarded(messages, [&] { runEditor(data, messages, owner, TFrm_AddCust::AddMode); });
}

void EditCustExecute(TFrm_Data& data, MessageService& messages, QWidget* owner) {
    guarded(messages, [&] {
        if (hasRows(data.Qry_Cust))
            runEditor(data, messages, owner, TFrm_AddCust::EditMode);
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
            data.Qry_Cust.remove();
    });
}
