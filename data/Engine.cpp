#include "Engine.h"

#include "SqliteEngine.h"

Transaction::~Transaction() {
    if (done_)
        return;
    try {
        connection_.rollback();
    } catch (...) {
        // Leaving by an exception already: the first error is the one to report.
    }
}

void Transaction::commit() {
    connection_.commit();
    done_ = true;
}

std::unique_ptr<Connection> openDatabase(const QString& connString) {
    return openSqliteDatabase(connString);
}
