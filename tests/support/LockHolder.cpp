#include "LockHolder.h"

#include "data/AppError.h"

#include <QThread>
#include <sqlite3.h>

LockHolder::LockHolder(const QString& databasePath, const QString& beginSql) : path_(databasePath) {
    process_.start("sqlite3", {databasePath});
    if (!process_.waitForStarted(10000))
        throw AppError("cannot run sqlite3");
    // held() probes with a lock of its own; without a time-out sqlite3 would give up at once
    // when its BEGIN meets that probe
    process_.write((".timeout 10000\n" + beginSql + ";\n").toUtf8());
    process_.waitForBytesWritten(5000);
    for (int i = 0; i < 1000 && !held(); ++i)
        QThread::msleep(5);
    if (!held()) {
        process_.kill();
        process_.waitForFinished(5000);
        const QString error = QString::fromUtf8(process_.readAllStandardError());
        throw AppError("sqlite3 did not take the lock: " + error);
    }
}

LockHolder::~LockHolder() {
    process_.closeWriteChannel();
    if (!process_.waitForFinished(5000))
        process_.kill();
    process_.waitForFinished(5000);
}

void LockHolder::release(int afterMs) {
    if (afterMs > 0) // the other program keeps its lock a while longer by itself
        process_.write(QString(".shell sleep %1\n").arg(afterMs / 1000.0).toUtf8());
    process_.write("COMMIT;\n");
    process_.waitForBytesWritten(1000);
}

// A writer's lock shows as a refused write transaction when nothing waits for it.
bool LockHolder::held() const {
    sqlite3* db = nullptr;
    bool busy = false;
    if (sqlite3_open_v2(path_.toUtf8().constData(), &db, SQLITE_OPEN_READWRITE, nullptr) ==
        SQLITE_OK) {
        const int rc = sqlite3_exec(db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
        busy = (rc & 0xff) == SQLITE_BUSY || (rc & 0xff) == SQLITE_LOCKED;
        if (rc == SQLITE_OK)
            sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
    }
    sqlite3_close(db);
    return busy;
}
