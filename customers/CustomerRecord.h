#pragma once

// The editor's rules for one customer row, without widgets: what a save writes and when a
// new name counts as taken.

#include <QDate>
#include <QString>
#include <QVariant>
#include <QVariantMap>

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
// ends. An empty date box stores Null; a date the operator left as loaded keeps its time.
QVariantMap customerFieldValues(const CustomerInput& input);

// The AddDate a save writes for the date shown beside the value the row held.
QVariant savedAddDate(const QDate& shown, const QVariant& stored);

// True when a customer of that name exists anywhere in the table (letter case aside).
// Runs the test on the shared scratch query Qry_Temp.
bool companyExists(TFrm_Data& data, const QString& name);

// What the editor says of a taken name: to an operator who may not see every customer, only
// whose customer it is (or that it is in the pool), never anything of the customer itself.
QString duplicateNameText(TFrm_Data& data, const QString& name);

// Memo text between the database (CR LF) and a text box ("\n").
QString memoForBox(const QString& stored);
QString memoForDatabase(const QString& typed);
