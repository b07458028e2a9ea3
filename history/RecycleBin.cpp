#include "history/RecycleBin.h"

#include "data/AppError.h"
#include "data/ChangeHistory.h"
#include "data/CustomerNames.h"
#include "data/DisplayFormat.h"
#include "data/SettingsFile.h"
#include "history/ChangeLog.h"

Retention readRetention(const SettingsFile& settings) {
    Retention r;
    r.binDays = std::max(1, settings.ReadInteger("History", "BinDays", r.binDays));
    r.historyDays = std::max(1, settings.ReadInteger("History", "HistoryDays", r.historyDays));
    return r;
}

namespace RecycleBin {

namespace {

using ChangeHistory::activityBin;
using ChangeHistory::customerBin;

// The quoted columns of the source table, every one of which the bin has.
QString columnList(Connection& c, const QString& source, const QString& bin) {
    ChangeHistory::mirrorColumns(c, source, bin);
    QStringList quoted;
    for (const QString& name : c.columnsOf(source))
        quoted << c.quoteIdentifier(name);
    return quoted.join(", ");
}

// The quoted columns the bin row gives back: those the source table still has.
QString commonColumns(Connection& c, const QString& source, const QString& bin) {
    QStringList inBin;
    for (const QString& name : c.columnsOf(bin))
        inBin << name.toLower();
    QStringList quoted;
    for (const QString& name : c.columnsOf(source))
        if (inBin.contains(name.toLower()))
            quoted << c.quoteIdentifier(name);
    return quoted.join(", ");
}

bool hasActivities(Connection& c) {
    return !c.columnsOf("T_Schedule").isEmpty() && !c.columnsOf(activityBin).isEmpty();
}

QVariant orNull(const QString& text) {
    return text.isEmpty() ? QVariant() : QVariant(text);
}

} // namespace

KeptColumns columnsToKeep(Connection& c, bool withActivities) {
    KeptColumns columns{columnList(c, "Custom", customerBin), {}};
    if (withActivities && hasActivities(c))
        columns.activities = columnList(c, "T_Schedule", activityBin);
    return columns;
}

void keep(Connection& c, qint64 custCode, const KeptColumns& columns, const QDateTime& now) {
    c.execute({"INSERT INTO Custom_Bin (" + columns.customer +
                   ", BinnedAt, BinnedBy, BinnedHost) SELECT " + columns.customer +
                   ", ?, ?, ? FROM Custom WHERE CustCode = ?",
               {now, orNull(c.author().who), orNull(c.author().host), custCode}});
    if (columns.activities.isEmpty())
        return;
    c.execute({"INSERT INTO T_Schedule_Bin (" + columns.activities + ", BinnedAt) SELECT " +
                   columns.activities + ", ? FROM T_Schedule WHERE CustCode = ?",
               {now, custCode}});
    c.execute({"DELETE FROM T_Schedule WHERE CustCode = ?", {custCode}});
}

void keep(Connection& c, qint64 custCode, bool withActivities, const QDateTime& now) {
    keep(c, custCode, columnsToKeep(c, withActivities), now);
}

void moveCustomer(Connection& c, qint64 custCode, bool withActivities, const QDateTime& now) {
    const KeptColumns columns = columnsToKeep(c, withActivities);
    Transaction transaction(c);
    keep(c, custCode, columns, now);
    c.execute({"DELETE FROM Custom WHERE CustCode = ?", {custCode}});
    transaction.commit();
}

std::vector<BinnedCustomer> list(Connection& c) {
    std::vector<BinnedCustomer> out;
    const QString count =
        hasActivities(c)
            ? QString("(SELECT count(*) FROM T_Schedule_Bin s WHERE s.CustCode = b.CustCode)")
            : QString("0");
    auto rows = c.query({"SELECT b.CustCode, b.Company, b.BinnedAt, b.BinnedBy, b.BinnedHost, " +
                             count + " FROM Custom_Bin b ORDER BY b.BinnedAt DESC, b.CustCode DESC",
                         {}});
    while (rows->next())
        out.push_back({rows->toInt64(0), ChangeLog::cellText(*rows, 1),
                       parseStoredDateTime(rows->text(2)).value_or(QDateTime()),
                       ChangeLog::cellText(*rows, 3), ChangeLog::cellText(*rows, 4),
                       int(rows->toInt64(5))});
    return out;
}

RestoreOutcome restore(Connection& c, qint64 custCode, bool takenNameAllowed) {
    Transaction transaction(c);
    lockCustomerNames(c); // the name is tested under the lock every adder takes
    auto binned = c.query({"SELECT Company FROM Custom_Bin WHERE CustCode = ?", {custCode}});
    if (!binned->next())
        return RestoreOutcome::Missing;
    const QString company = ChangeLog::cellText(*binned, 0);
    binned.reset();
    if (!takenNameAllowed && customerNameTaken(c, company))
        return RestoreOutcome::NameTaken;
    const QString columns = commonColumns(c, "Custom", customerBin);
    c.execute({"INSERT INTO Custom (" + columns + ") SELECT " + columns +
                   " FROM Custom_Bin WHERE CustCode = ?",
               {custCode}});
    if (hasActivities(c)) {
        const QString activity = commonColumns(c, "T_Schedule", activityBin);
        c.execute({"INSERT INTO T_Schedule (" + activity + ") SELECT " + activity +
                       " FROM T_Schedule_Bin WHERE CustCode = ?",
                   {custCode}});
        c.execute({"DELETE FROM T_Schedule_Bin WHERE CustCode = ?", {custCode}});
    }
    c.execute({"DELETE FROM Custom_Bin WHERE CustCode = ?", {custCode}});
    transaction.commit();
    return RestoreOutcome::Restored;
}

bool purge(Connection& c, qint64 custCode) {
    if (!mayPurge(c.author())) // checked where it is written, not only by the button
        throw AppError(QStringLiteral("您没有彻底删除客户的权限"));
    Transaction transaction(c);
    if (hasActivities(c))
        c.execute({"DELETE FROM T_Schedule_Bin WHERE CustCode = ?", {custCode}});
    const bool gone = c.execute({"DELETE FROM Custom_Bin WHERE CustCode = ?", {custCode}}) > 0;
    transaction.commit();
    return gone;
}

bool mayPurge(const ChangeAuthor& author) {
    return author.mayDelete;
}

void purgeExpired(Connection& c, const Retention& retention, const QDateTime& now) {
    const QDateTime binCut = now.addDays(-retention.binDays);
    const QDateTime historyCut = now.addDays(-retention.historyDays);
    Transaction transaction(c);
    if (hasActivities(c))
        c.execute({"DELETE FROM T_Schedule_Bin WHERE CustCode IN (SELECT CustCode FROM "
                   "Custom_Bin WHERE BinnedAt < ?)",
                   {binCut}});
    c.execute({"DELETE FROM Custom_Bin WHERE BinnedAt < ?", {binCut}});
    // Records are numbered in the order they were written, so the old ones are those below the
    // first one to keep; reading up to it in key order touches only what goes.
    auto first = c.query(
        {"SELECT ID FROM T_History WHERE ChangedAt >= ? ORDER BY ID LIMIT 1", {historyCut}});
    const qint64 keepFrom = first->next() ? first->toInt64(0) : 0;
    first.reset();
    if (keepFrom)
        c.execute({"DELETE FROM T_History WHERE ID < ?", {keepFrom}});
    else
        c.execute({"DELETE FROM T_History WHERE ChangedAt < ?", {historyCut}});
    transaction.commit();
}

} // namespace RecycleBin
