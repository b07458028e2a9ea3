#pragma once

// The editor's rules for one customer row, without widgets: what a save writes.

#include <QDate>
#include <QString>
#include <QVariant>
#include <QVariantMap>
#include <functional>
#include <memory>

class TFrm_Data;

// The editor's boxes as the operator left them.
struct CustomerInput {
    QString company;
    QString tel;
    QString mobile;
    QString otherInfo;
    QDate addDate;          // null: the date box is empty
    QVariant storedAddDate; // the row's AddDate when it was loaded (edit mode), else null
    QString memo;           // lines joined by "\n", as a text box gives them
};

// The six fields of a save: the one-line texts trimmed, the details as typed with CR LF line
// ends. An empty date box stores Null; a date the operator left as loaded keeps its time. A
// stored AddDate that is no date stays as it is while the box is left empty (no AddDate then).
QVariantMap customerFieldValues(const CustomerInput& input);

// The editor's title of a field of the save ("客户名称" for Company).
QString customerFieldTitle(const QString& field);

// The AddDate a save writes for the date shown beside the value the row held.
QVariant savedAddDate(const QDate& shown, const QVariant& stored);

// The date the box shows for a stored AddDate: null for Null and for text that is no date.
QDate addDateShown(const QVariant& stored);
// A stored AddDate that another program wrote as text that is no date; else "".
QString unreadableAddDate(const QVariant& stored);

class Connection;
class Query;
class RowWrite;
// A save of the values into the current customer of the query, prepared to run on any
// connection: a new name reaches the activities linked to the customer in the same
// transaction. The query takes the write in afterwards; a failure changes nothing.
std::function<void(Connection&)> customerSaveJob(Query& customers, const QVariantMap& values,
                                                 const std::shared_ptr<RowWrite>& write);
// The same at once, on the query's connection. Throws AppError, then nothing is changed.
void saveEditedCustomer(Query& customers, const QVariantMap& values);

// What the editor says of a taken name: to an operator who may not see every customer, only
// whose customer it is (or that it is in the pool), never anything of the customer itself.
QString duplicateNameText(TFrm_Data& data, const QString& name);

// Memo text between the database (CR LF) and a text box ("\n").
QString memoForBox(const QString& stored);
QString memoForDatabase(const QString& typed);
