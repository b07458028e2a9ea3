#pragma once

// Who a customer belongs to: handing customers over, the pool's customers taken and given
// back, and the pool's rule that takes back customers nobody has looked after.

#include "data/Engine.h"
#include "data/Rights.h"

#include <QDateTime>
#include <QHash>
#include <QList>
#include <memory>
#include <optional>

class Query;

namespace Owners {

// Hands the customers to another enabled operator, all or none; needs the rights to see and
// edit every customer. Returns how many were handed over.
qint64 handTo(Connection& connection, const Rights& rights, const QList<qint64>& codes,
              qint64 toOperator);
// Takes a customer of the pool: exactly one of two operators taking it at once gets it; the
// other gets AppError "该客户已被其他操作员领取。".
void claim(Connection& connection, const Rights& rights, qint64 code);
// Gives one's own customer back to the pool (a manager may give back anyone's).
void release(Connection& connection, const Rights& rights, qint64 code);

// The pool's rule: after how many days without an activity of its owner a customer goes
// back to the pool; nullopt when the rule is off (as delivered).
std::optional<int> poolReturnDays(Connection& connection);
SqlCommand poolReturnDaysRead(); // the statement poolReturnDays() runs
void setPoolReturnDays(Connection& connection, const Rights& rights, std::optional<int> days);

// Applies the rule at now: every owned customer whose owner recorded no activity of it, and
// that was added, more than the rule's days ago goes to the pool, and its owner is told at
// their next login. Returns how many went; 0 when the rule is off.
qint64 returnIdleCustomers(Connection& connection, const QDateTime& now);
// The names of the customers the pool took back from the operator since they last heard,
// and forgets them.
QStringList takeReturnedNotice(Connection& connection, qint64 operatorKey);

// Whether a name is taken by a customer, and whose; for the duplicate test of an operator
// who may not see that customer.
struct NameHolder {
    qint64 owner = 0; // 0: the pool
    QString ownerName;
};
std::optional<NameHolder> nameHolder(Connection& connection, const QString& name);
// What the duplicate test tells: the name is taken, and by whom.
QString nameTakenText(const NameHolder& holder);

// Operators' names by key, as the owner column shows them.
using OwnerNames = std::shared_ptr<const QHash<qint64, QString>>;
// The customers' Owner field shows, prints, exports and sorts by the operators' names; names
// are read into names when it is still empty, so a list reads them once, not per search.
void showOwnerNames(Connection& connection, Query& customers, OwnerNames& names);

} // namespace Owners
