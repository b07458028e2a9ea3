#include "data/CustomerNames.h"

#include "data/AppError.h"
#include "data/Engine.h"
#include "data/Query.h"
#include "data/Statements.h"

void lockCustomerNames(Connection& connection) {
    connection.lockUntilCommit(QStringLiteral("Custom.Company"));
}

bool customerNameTaken(Connection& connection, const QString& name) {
    return connection.query(Sql::customerByCompany(name))->next();
}

bool appendUnlessTaken(Connection& connection, RowWrite& write, const QString& name) {
    Transaction transaction(connection);
    lockCustomerNames(connection);
    if (customerNameTaken(connection, name))
        return false; // rolled back: the lock goes before anyone is asked anything
    write.run(connection);
    transaction.commit();
    return true;
}

bool appendCustomerUnlessTaken(Query& customers, const QVariantMap& values) {
    if (!customers.connection())
        throw AppError(customers.name() + ": 没有数据库连接");
    RowWrite write = customers.prepare(RowChange::Append, values);
    if (!appendUnlessTaken(*customers.connection(), write,
                           values.value(QStringLiteral("Company")).toString()))
        return false;
    customers.take(write);
    return true;
}
