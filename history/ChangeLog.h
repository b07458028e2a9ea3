#pragma once

// Reading a customer's change history, and putting an old value back.

#include "data/Engine.h"

#include <QDateTime>
#include <QHash>
#include <vector>

struct FieldChange {
    QString field;
    QVariant before; // invalid for Null
    QVariant after;
};

struct ChangeRecord {
    qint64 id = 0;
    QDateTime at;
    QString who; // empty: another program made the change
    QString host;
    QString table; // Custom, T_Schedule or admin
    qint64 rowKey = 0;
    char action = 'U';
    std::vector<FieldChange> fields;
};

namespace ChangeLog {

// The changes of the customer and of its activities, newest first.
std::vector<ChangeRecord> ofCustomer(Connection& connection, qint64 custCode);

// Writes the record's old values back, as one new change, for every field that still holds
// the record's new value; returns the fields left alone because they were changed since.
// Only changes of customers and activities can be put back.
QStringList putBack(Connection& connection, const ChangeRecord& record);
bool canPutBack(const ChangeRecord& record);

// How the operator reads a record, one line: time, who, what and the changed fields.
// fieldNames: "<table>.<column>" -> the title the lists give it.
QString lineOf(const ChangeRecord& record, const QHash<QString, QString>& fieldNames);
QHash<QString, QString> fieldTitles(Connection& connection);
QString authorText(const ChangeRecord& record); // "（外部程序）" when none is known

QString cellText(const ResultSet& rows, int column); // the current row's cell as text

} // namespace ChangeLog
