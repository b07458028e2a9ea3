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

// The customer's activities, newest first; with its name, also the unlinked ones that name it.
SqlCommand ofCustomer(qint64 custCode, const QString& custName = {});
// The owner's open activities up to the end of the sixth day after today: the reminded ones
// already overdue first, then today and the coming six days, by date and time.
SqlCommand upcoming(const QString& owner, const QDateTime& now);
SqlCommand byId(qint64 id);
// Reminder-flagged, open activities of the owner due in (after, until].
SqlCommand fallingDue(const QString& owner, const QDateTime& after, const QDateTime& until);

// The same, narrowed to the customers the operator may see and, unless their role lets them
// see other operators' activities, to their own.
SqlCommand ofCustomer(qint64 custCode, const QString& custName, const Rights& rights);
SqlCommand upcoming(const QString& owner, const QDateTime& from, const Rights& rights);
SqlCommand byId(qint64 id, const Rights& rights);
SqlCommand fallingDue(const QString& owner, const QDateTime& after, const QDateTime& until,
                      const Rights& rights);

// The field values of a row, as Query::append and Query::edit take them. A done activity is
// no longer due, so it keeps no reminder.
QVariantMap fieldsOf(const Activity& activity);
// The change that marks an activity done at the time given.
QVariantMap doneFields(const QDateTime& when);

// The date and time an edit stores: the original one, seconds and all, while the date and the
// minute shown are still its own.
QDateTime keptAwokeDate(const QDateTime& original, const QDate& date, const QTime& time);

// The words of the status column: 未关联, 已完成 or 已过期 (reminded, open and due before today).
QString statusText(const Activity& activity, const QDate& today);

// The owner's reminded, open activities due before tomorrow (overdue ones included).
int dueByTodayCount(Connection& connection, const QString& owner, const QDateTime& now);

// Gives the activities linked to the customer its new name.
void renameCustomer(Connection& connection, qint64 custCode, const QString& name);

// Links each activity without a customer key to the one customer that bears its name (letter
// case aside); a name that no customer or several bear stays unlinked. Returns the links made.
int linkByName(Connection& connection);
// What the program expects of rows written before: linked by name, and done ones not reminded.
void settleOlderRows(Connection& connection);

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
