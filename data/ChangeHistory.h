#pragma once

// The change history and the recycle bin as the database holds them. Every add, change and
// delete of a customer, an activity or an operator writes one row of T_History from a trigger,
// so the record is part of the change's own transaction whichever program makes it: a change
// never lands without its record, nor a record without its change. One row a change, with the
// changed fields encoded as JSON ({"field": [old, new]}), is a third of the rows a row per field
// would need, and an index on (CustCode, ID) finds one customer's history, its activities' with
// it, among millions of rows at once. Who and where come from the connection (setAuthor); a
// row without them was written by another program.
//
// Deleted customers wait in Custom_Bin, their activities in T_Schedule_Bin: tables of their
// own, so no statement over Custom or T_Schedule ever sees them.

#include "Engine.h"

#include <QStringList>
#include <vector>

namespace ChangeHistory {

// A table whose changes are recorded.
struct TrackedTable {
    QString name;
    QString key;       // its key column: the row's number in the history
    QString customer;  // the column naming the customer the row belongs to; empty for none
    QString bin;       // the bin table its rows wait in; empty for none
    bool binnedSilent; // rows moved with their customer leave no record of their own
};

const std::vector<TrackedTable>& trackedTables();

// Columns never recorded: passwords and whatever is kept to check them.
bool isSecret(const QString& column);

// Action letters of T_History.
inline constexpr char Added = 'I', Changed = 'U', Deleted = 'D', Binned = 'B', Restored = 'R',
                      Purged = 'P';

inline const QString historyTable = QStringLiteral("T_History");
inline const QString customerBin = QStringLiteral("Custom_Bin");
inline const QString activityBin = QStringLiteral("T_Schedule_Bin");

// The bin tables, mirroring Custom and T_Schedule (a migration step).
void createBins(Connection& connection);

// Gives the bin table every column of its source table it lacks, so a row moves whole.
void mirrorColumns(Connection& connection, const QString& source, const QString& bin);

} // namespace ChangeHistory
