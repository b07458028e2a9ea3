#pragma once

// Every statement the program runs. Values are bound, never pasted into the text; the one
// name that comes from data (the search field) is checked against the table's real columns.
// Texts are compared with StrComp(a, b, 1), which ignores the case of every letter; the
// columns' own NOCASE folds A-Z only.

#include "Engine.h"
#include "Rights.h"

namespace Sql {

SqlCommand loginList();                                         // operators offered at login
SqlCommand operatorByName(const QString& name);                 // login test
SqlCommand operatorForPassword(const QString& name);            // password dialog
SqlCommand operatorByKey(qint64 userId);                        // the row the login chose
SqlCommand storePassword(qint64 userId, const QString& stored); // a login's upgrade
SqlCommand softInfo();                                     // program title
SqlCommand allCustomers();                                 // customer list at opening
SqlCommand searchFields();                                 // every layout row of the customers
SqlCommand searchFieldLookup(const QString& displayName);  // field behind a search title
// A field name that comes from data, checked against the customer table's real columns: the
// real column name, to be quoted where it is used. Throws AppError when there is none.
QString customerColumn(Connection& connection, const QString& field);
// Customers whose field contains the keyword, with the LIKE wildcards of the keyword kept.
// Throws AppError when the field is not a column of the customer table.
SqlCommand customerSearch(Connection& connection, const QString& field, const QString& keyword);
// The same, narrowed to the customers whose columns hold exactly the values given beside them.
SqlCommand customerSearch(Connection& connection, const QString& field, const QString& keyword,
                          const QList<std::pair<QString, QString>>& sameAs);
// The key and one field of every customer. Throws AppError like customerSearch.
SqlCommand customerFieldTexts(Connection& connection, const QString& field);
// The customers with these keys, in key order.
SqlCommand customersByCode(const QList<qint64>& codes);
SqlCommand customerByCompany(const QString& name); // duplicate-name test
SqlCommand shownLayout(const QString& table);      // layout rows, in ShowID order
SqlCommand saveLayoutColumn(const QString& table, const QString& field, int position, int width);
SqlCommand chooserRows(const QString& table, bool shown); // column chooser's two lists
SqlCommand setColumnShown(const QString& table, const QString& name, bool shown);
// Activities of the operator flagged for reminding and due dayOffset days after today.
// A day text that is not a whole number lists nothing.
SqlCommand reminders(const QString& currentOperator, const QString& dayText);
// The same rows, narrowed first by the connection's candidates for the day where it has any.
SqlCommand reminders(Connection& connection, const QString& currentOperator,
                     const QString& dayText);

} // namespace Sql

// What an import of customers reads and writes.
namespace Sql {

SqlCommand customerColumns(); // no rows: the customer table's columns and their sizes
SqlCommand customerNames();   // key and name of every customer
// A new customer with the named columns, values bound in the same order.
SqlCommand insertCustomer(Connection& connection, const QStringList& fields,
                          const QVariantList& values);
// The named columns of the customer whose key column holds id.
SqlCommand updateCustomer(Connection& connection, const QString& keyField, qint64 id,
                          const QStringList& fields, const QVariantList& values);

} // namespace Sql

// The customer statements as an operator runs them: narrowed to the customers their rights
// let them see (their own and the pool's, or all). The forms above without rights see
// everything and are for runs without a login.
namespace Sql {

SqlCommand allCustomers(const Rights& rights);
SqlCommand customerSearch(Connection& connection, const QString& field, const QString& keyword,
                          const Rights& rights);
SqlCommand customerSearch(Connection& connection, const QString& field, const QString& keyword,
                          const QList<std::pair<QString, QString>>& sameAs, const Rights& rights);
SqlCommand customerFieldTexts(Connection& connection, const QString& field, const Rights& rights);
SqlCommand customersByCode(const QList<qint64>& codes, const Rights& rights);
SqlCommand reminders(Connection& connection, const QString& currentOperator, const QString& dayText,
                     const Rights& rights);
// Only the operator's own customers and the pool's may be updated by an import.
SqlCommand updateCustomer(Connection& connection, const QString& keyField, qint64 id,
                          const QStringList& fields, const QVariantList& values,
                          const Rights& rights);

} // namespace Sql
