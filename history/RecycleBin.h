#pragma once

// Deleted customers wait in the bin with their activities, out of every list, until they are
// restored, removed for good, or older than the bin keeps them.

#include "data/Engine.h"

#include <QDateTime>
#include <vector>

class SettingsFile;

struct BinnedCustomer {
    qint64 custCode = 0;
    QString company;
    QDateTime binnedAt;
    QString binnedBy; // empty: deleted by another program
    QString binnedHost;
    int activities = 0;
};

// How long the bin and the history keep what they hold (Config.ini, [History]).
struct Retention {
    int binDays = 90;
    int historyDays = 365;
};
Retention readRetention(const SettingsFile& settings);

namespace RecycleBin {

// The columns keep() copies, learnt before its transaction begins, where the connection knows
// them without asking the server. Empty activities: none are kept.
struct KeptColumns {
    QString customer, activities;
};
KeptColumns columnsToKeep(Connection& connection, bool withActivities);

// Copies the customer, and its activities when asked, into the bin and removes the activities;
// the caller removes the customer's own row in the same transaction.
void keep(Connection& connection, qint64 custCode, const KeptColumns& columns,
          const QDateTime& now = QDateTime::currentDateTime());
void keep(Connection& connection, qint64 custCode, bool withActivities,
          const QDateTime& now = QDateTime::currentDateTime());
// keep() and the customer's removal, in one transaction.
void moveCustomer(Connection& connection, qint64 custCode, bool withActivities,
                  const QDateTime& now = QDateTime::currentDateTime());

std::vector<BinnedCustomer> list(Connection& connection); // newest first

enum class RestoreOutcome { Restored, NameTaken, Missing };
// Back into the list with its key and activities. Refused with NameTaken when another
// customer has the name now, unless takenNameAllowed; decided in the restoring transaction.
RestoreOutcome restore(Connection& connection, qint64 custCode, bool takenNameAllowed = false);

// Removes the customer and its activities from the bin for good; false when it was not there.
bool purge(Connection& connection, qint64 custCode);

// Whether the operator may remove customers for good. One place, for the operators' rights.
bool mayPurge(const ChangeAuthor& author);

// Customers binned, and history recorded, longer ago than the retention allows go for good.
void purgeExpired(Connection& connection, const Retention& retention,
                  const QDateTime& now = QDateTime::currentDateTime());

} // namespace RecycleBin
