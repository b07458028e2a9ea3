#pragma once

// The handlers of the main window's customer actions AddCust, EditCust and DelCust. They work
// on the shared customer query Qry_Cust and its current row, with or without the list window.
// Each runs guarded: a failure goes to the general error box and nothing escapes.

#include <QList>
#include <functional>

class MessageService;
class QWidget;
class TFrm_Data;
struct FieldDefinition;

// The editor in add mode, modal, owned by owner, freed when it closes. knownFields: the shop's
// own fields as the caller read them, so opening the editor asks the database nothing.
void AddCustExecute(TFrm_Data& data, MessageService& messages, QWidget* owner,
                    const QList<FieldDefinition>* knownFields = nullptr);
// The editor on the current row; nothing when Qry_Cust has no rows. showActivities, when
// given, opens the activities of the editor's customer over the editor.
void EditCustExecute(TFrm_Data& data, MessageService& messages, QWidget* owner,
                     std::function<void(QWidget*)> showActivities = {},
                     std::function<void(QWidget*)> showHistory = {},
                     const QList<FieldDefinition>* knownFields = nullptr);
// Deletes the current row after "确定要删除客户记录吗！", and its activities when the operator
// says so; nothing when Qry_Cust has no rows.
void DelCustExecute(TFrm_Data& data, MessageService& messages, QWidget* owner);
