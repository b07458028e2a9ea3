#pragma once

// A customer's name is taken once: the test for a taken name and the insert that follows it
// run in one transaction under one lock, so two workstations adding at once cannot both win.

#include <QString>
#include <QVariantMap>

class Connection;
class Query;
class RowWrite;

// Inside a transaction: holds the lock that every adder of customers takes, until it ends.
void lockCustomerNames(Connection& connection);

// True when a customer of that name exists anywhere in the table (letter case aside).
bool customerNameTaken(Connection& connection, const QString& name);

// The append of a new customer, prepared by its query, unless the name is taken: false then,
// and nothing is written. Runs on any connection; the query takes the write in afterwards.
bool appendUnlessTaken(Connection& connection, RowWrite& write, const QString& name);

// Appends the customer (its "Company" in values) to the query unless the name is taken;
// false then, and nothing is written. Throws AppError for a failed write.
bool appendCustomerUnlessTaken(Query& customers, const QVariantMap& values);
