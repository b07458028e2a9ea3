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

bool appendCustomerUnlessTaken(Query& customers, const QVariantMap& values) {
    if (!customers.connection())
        throw AppError(customers.name() + ": 没有数据库连接");
    Connection& connection = *customers.connection();
    Transaction transaction(connection);
    lockCustomerNames(connection);
    if (customerNameTaken(connection, values.value(QStringLiteral("Company")).toString()))
        return false; // rolled back: the lock goes before anyone is asked anything
    customers.append(values);
    transaction.commit();
    return true;
}
