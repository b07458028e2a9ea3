#pragma once

// Contact activities: rows of T_Schedule that belong to a customer by its key, with a done
// flag. Rows written before customers had keys carry only a name and stay readable.

#include "Engine.h"
#include "Rights.h"

#include <QDateTime>
#include <QSet>
#include <vector>

struct Activity {
    qint64 id = 0;
    QVariant custCode; // null for rows that only name their customer
    QString custName;  // the name at the time, so that older layouts still show it
    QString owner;     // F_User: an operator's name, its first 20 bytes
    QDateTime awokeDate;
    bool awoke = true;
    QString subject;
    QString content;
    bool done = false;
    QDateTime doneTime;
};

namespace Activities {

// Adds CustCode, Done, DoneTime and the index on the customer key when a database lacks them;
// older rows keep every value. Returns true when something was added.
bool upgradeSchema(Connection& connection);

SqlCommand ofCustomer(qint64 custCode);                           // newest first
SqlCommand upcoming(const QString& owner, const QDateTime& from); // open ones of 7 days, by date
SqlCommand byId(qint64 id);
// Reminder-flagged, open activities of the owner due in (after, until].
SqlCommand fallingDue(const QString& owner, const QDateTime& after, const QDateTime& until);

// The same, narrowed to the customers the operator may see and, unless their role lets them
// see other operators' activities, to their own.
SqlCommand ofCustomer(qint64 custCode, const Rights& rights);
SqlCommand upcoming(const QString& owner, const QDateTime& from, const Rights& rights);
SqlCommand byId(qint64 id, const Rights& rights);
SqlCommand fallingDue(const QString& owner, const QDateTime& after, const QDateTime& until,
                      const Rights& rights);

// The field values of a row, as Query::append and Query::edit take them.
QVariantMap fieldsOf(const Activity& activity);

int countOfCustomer(Connection& connection, qint64 custCode);
void removeOfCustomer(Connection& connection, qint64 custCode);

} // namespace Activities

// Which activities were already announced, so each falls due once per run.
class DueTracker {
  public:
    explicit DueTracker(QDateTime start) : last_(std::move(start)) {}
    // The activities of rows (read by fallingDue(after(), now)) not yet announced.
    std::vector<Activity> take(const std::vector<Activity>& rows, const QDateTime& now);
    const QDateTime& after() const { return last_; }

  private:
    QDateTime last_;
    QSet<QString> announced_; // id and due time: a rescheduled activity falls due again
};

class Query;

// One row of an open query over T_Schedule; absent columns read as empty.
Activity activityAt(const Query& query, int row);
// Reads every row of a result of T_Schedule into activities.
std::vector<Activity> readActivities(Connection& connection, const SqlCommand& command);
