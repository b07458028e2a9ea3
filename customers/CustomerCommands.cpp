#include "customers/CustomerCommands.h"

#include "customers/U_AddCust.h"
#include "data/Activities.h"
#include "data/Guard.h"
#include "data/MessageService.h"
#include "data/U_Data.h"
#include "data/WriteQueue.h"
#include "history/RecycleBin.h"

#include <QApplication>
#include <QPointer>
#include <exception>
#include <memory>
#include <utility>

namespace {

void runEditor(TFrm_Data& data, MessageService& messages, QWidget* owner, TFrm_AddCust::Mode mode,
               const QList<FieldDefinition>* knownFields,
               std::function<void(QWidget*)> showActivities = {},
               std::function<void(QWidget*)> showHistory = {}) {
    TFrm_AddCust editor(data, messages, owner, knownFields);
    editor.setMode(mode);
    editor.setShowActivities(std::move(showActivities));
    editor.setShowHistory(std::move(showHistory));
    editor.exec();
}

bool hasRows(const Query& query) {
    return query.isActive() && query.recordCount() > 0;
}

// The customer current again, should the list have changed under a question; false when the
// list no longer has it.
bool makeCurrent(Query& customers, qint64 code) {
    const int f = customers.findField(QStringLiteral("CustCode"));
    if (f < 0 || !code)
        return hasRows(customers);
    if (customers.recNo() >= 0 && customers.value(customers.recNo(), f).toLongLong() == code)
        return true;
    for (int row = 0; row < customers.recordCount(); ++row)
        if (customers.value(row, f).toLongLong() == code) {
            customers.setRecNo(row);
            return true;
        }
    return false;
}

// A deletion on its way: the activities are counted while the operator reads the first
// question, so the count costs no wait of its own.
struct Deletion {
    qint64 code = 0;
    int activities = 0;
    bool counted = false;
    std::exception_ptr failure;
    std::function<void()> then; // waits for the count
};

void countActivities(TFrm_Data& data, const std::shared_ptr<Deletion>& deletion) {
    if (!deletion->code) {
        deletion->counted = true;
        return;
    }
    data.writes().run(
        data.ADOConnection1->author(),
        [deletion, code = deletion->code](Connection& c) {
            deletion->activities = Activities::countOfCustomer(c, code);
        },
        [deletion](std::exception_ptr failure) {
            deletion->failure = failure;
            deletion->counted = true;
            if (auto then = std::exchange(deletion->then, nullptr))
                then();
        });
}

// The customer and its activities go together, into the recycle bin that gives them back.
void sendDeletion(TFrm_Data& data, MessageService& messages, const Deletion& deletion,
                  bool withActivities) {
    auto write = std::make_shared<RowWrite>(data.Qry_Cust.prepare(RowChange::Remove));
    QApplication::setOverrideCursor(Qt::BusyCursor);
    data.writes().run(
        data.ADOConnection1->author(),
        [write, code = deletion.code, withActivities](Connection& c) {
            const auto columns =
                code ? RecycleBin::columnsToKeep(c, withActivities) : RecycleBin::KeptColumns();
            Transaction transaction(c);
            if (code)
                RecycleBin::keep(c, code, columns);
            write->run(c);
            if (!write->refused())
                transaction.commit();
        },
        [&data, &messages, write](std::exception_ptr failure) {
            QApplication::restoreOverrideCursor();
            guarded(messages, [&] {
                if (failure)
                    std::rethrow_exception(failure);
                data.Qry_Cust.take(*write);
            });
        });
}

// Asked only when the customer has activities: Yes removes them with the customer, No keeps
// them under the customer's name, Cancel keeps everything.
void removeCustomer(TFrm_Data& data, MessageService& messages, QWidget* owner,
                    const Deletion& deletion) {
    if (deletion.failure)
        std::rethrow_exception(deletion.failure);
    bool withActivities = false;
    if (deletion.activities > 0) {
        const int answer = messages.messageBox(
            owner,
            QStringLiteral("该客户有 %1 条联系活动，是否一并删除？").arg(deletion.activities),
            QStringLiteral("警告"), MsgIcon::Question, mbYes | mbNo | mbCancel);
        if (answer == mbCancel)
            return;
        withActivities = answer == mbYes;
    }
    sendDeletion(data, messages, deletion, withActivities);
}

} // namespace

void AddCustExecute(TFrm_Data& data, MessageService& messages, QWidget* owner,
                    const QList<FieldDefinition>* knownFields) {
    guarded(messages,
            [&] { runEditor(data, messages, owner, TFrm_AddCust::AddMode, knownFields); });
}

void EditCustExecute(TFrm_Data& data, MessageService& messages, QWidget* owner,
                     std::function<void(QWidget*)> showActivities,
                     std::function<void(QWidget*)> showHistory,
                     const QList<FieldDefinition>* knownFields) {
    guarded(messages, [&] {
        if (hasRows(data.Qry_Cust))
            runEditor(data, messages, owner, TFrm_AddCust::EditMode, knownFields,
                      std::move(showActivities), std::move(showHistory));
    });
}

void DelCustExecute(TFrm_Data& data, MessageService& messages, QWidget* owner) {
    guarded(messages, [&] {
        // One deletion at a time: the next works on the row this one leaves current.
        if (!hasRows(data.Qry_Cust) || data.writes().busy())
            return;
        auto deletion = std::make_shared<Deletion>();
        if (data.Qry_Cust.findField(QStringLiteral("CustCode")) >= 0)
            deletion->code = data.Qry_Cust.asInteger(QStringLiteral("CustCode"));
        countActivities(data, deletion);
        const int answer =
            messages.messageBox(owner, QStringLiteral("确定要删除客户记录吗！"),
                                QStringLiteral("警告"), MsgIcon::Information, mbYes | mbNo);
        if (answer != mbYes)
            return;
        QPointer<QWidget> over(owner);
        auto remove = [&data, &messages, over, owner, deletion] {
            if ((owner && !over) || !makeCurrent(data.Qry_Cust, deletion->code))
                return; // the window that asked, or the customer, has left the list meanwhile
            guarded(messages, [&] { removeCustomer(data, messages, owner, *deletion); });
        };
        if (deletion->counted)
            remove();
        else
            deletion->then = remove;
    });
}
