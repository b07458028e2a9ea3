#pragma once

#include "statistics/StatCounts.h"
#include "tests/data/DataTestSupport.h"

#include <QRandomGenerator>

inline const QDate kToday(2026, 5, 14);

// A shop of customers and activities spread around today, with empty values and names that
// differ only in letter case; customers of three operators, of one since removed (key 99) and
// of the pool.
inline void fill(TempDatabase& db) {
    QRandomGenerator random(20261211);
    const QVariant kinds[] = {QVariant(), QString(), "VIP", "vip", "批发", "零售", "Ａ类", "ａ类"};
    const QString operators[] = {"张三", "李四", "admin", "ADMIN", ""};
    Transaction transaction(*db.connection);
    QVariantList owners{QVariant(), 99};
    for (const char* name : {"张三", "李四", "王五"}) {
        db.connection->execute(
            {"insert into admin (username, password, IsUser) values (?, '', 1)", {name}});
        owners << db.connection->lastInsertId();
    }
    for (int i = 0; i < 300; ++i) {
        const QVariant added =
            random.bounded(20) == 0
                ? QVariant()
                : QVariant(QDateTime(kToday.addDays(-random.bounded(420) + 30),
                                     QTime(random.bounded(24), random.bounded(60), 59)));
        db.connection->execute(
            {"insert into Custom (Company, tel, OtherInfo, AddDate, Owner) "
             "values (?, ?, ?, ?, ?)",
             {QString("客户%1").arg(i), random.bounded(2) ? "A" : "B", kinds[random.bounded(8)],
              added, owners[random.bounded(int(owners.size()))]}});
    }
    for (int i = 0; i < 500; ++i)
        db.connection->execute(
            {"insert into T_Schedule (F_User, CustCode, CustName, Awoke, AwokeDate, Done) "
             "values (?, ?, '', ?, ?, ?)",
             {operators[random.bounded(5)], qint64(random.bounded(300) + 1), random.bounded(3) > 0,
              QDateTime(kToday.addDays(random.bounded(200) - 120),
                        QTime(random.bounded(24), random.bounded(60))),
              random.bounded(3) == 0}});
    transaction.commit();
}
