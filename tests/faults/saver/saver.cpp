// A program that saves customers through the real query and says so on stdout after every
// confirmed save, so a test can run two of them at once or kill one at any moment.
//
//   saver edit <db> <tag> <count> <seed>   edits Company of random rows of the whole table
//   saver stream <db> <tag> <seed>          appends and edits its own rows until killed
//   saver restore <backup> <db>             puts a backup back, as custdesk-admin restore does
//   saver backup <db>                       takes a backup, as the first start of the day does
//
// Lines: "TRY <code> <value>" before a save, "OK <code> <before> <after>" once it is
// committed, "CONFLICT <code> <value>" when it was refused, "ERROR <text>" otherwise.

#include "data/AppError.h"
#include "data/BackupSet.h"
#include "data/Engine.h"
#include "data/Query.h"
#include "data/SqliteBackup.h"
#include "data/Statements.h"

#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>

namespace {

void say(const QString& line) {
    std::fputs((line + '\n').toUtf8().constData(), stdout);
    std::fflush(stdout); // the line must be out before the next save begins
}

int editMode(Query& query, const QString& tag, int count, std::mt19937& random) {
    for (int i = 0; i < count; ++i) {
        query.setRecNo(int(random() % uint32_t(query.recordCount())));
        const qint64 code = query.asInteger("CustCode");
        const QString before = query.asString("Company");
        const QString after = QString("%1-%2").arg(tag).arg(i);
        try {
            query.edit({{"Company", after}});
            say(QString("OK %1 %2 %3").arg(code).arg(before, after));
        } catch (const AppError& e) {
            const bool conflict = e.text().contains(QStringLiteral("已被其他用户修改或删除"));
            say(conflict ? QString("CONFLICT %1 %2").arg(code).arg(after) : "ERROR " + e.text());
        }
    }
    return 0;
}

// Appends a row, then edits rows it appended itself, forever.
int streamMode(Query& query, const QString& tag, std::mt19937& random) {
    const int firstOwn = query.recordCount();
    for (int i = 0;; ++i) {
        const QString value = QString("%1-%2").arg(tag).arg(i);
        if (i % 2 == 0 || query.recordCount() == firstOwn) {
            say("TRY new " + value);
            query.append({{"Company", value}, {"tel", value}});
            say(QString("OK %1 - %2").arg(query.asInteger("CustCode")).arg(value));
        } else {
            query.setRecNo(firstOwn + int(random() % uint32_t(query.recordCount() - firstOwn)));
            const qint64 code = query.asInteger("CustCode");
            say(QString("TRY %1 %2").arg(code).arg(value));
            query.edit({{"tel", value}});
            say(QString("OK %1 - %2").arg(code).arg(value));
        }
    }
}

// "GO" once the process is ready, so a kill lands in the work itself; "DONE" after it.
int fileMode(const std::string& mode, const QString& file, const QString& database) {
    if (mode == "restore") {
        say("GO");
        restoreSqliteBackup(
            file, database,
            BackupSet(database).newPath(QDateTime::currentDateTime(), "before-restore"));
    } else {
        const auto connection = openDatabase(file);
        say("GO");
        backupDatabase(*connection, QDateTime::currentDateTime());
    }
    say("DONE");
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "";
    if (!((mode == "edit" && argc == 6) || (mode == "stream" && argc == 5) ||
          (mode == "restore" && argc == 4) || (mode == "backup" && argc == 3))) {
        std::fprintf(stderr, "usage: saver edit <db> <tag> <count> <seed> | stream <db> <tag> "
                             "<seed> | restore <backup> <db> | backup <db>\n");
        return 2;
    }
    try {
        if (mode == "restore" || mode == "backup")
            return fileMode(mode, QString::fromLocal8Bit(argv[2]),
                            QString::fromLocal8Bit(argc > 3 ? argv[3] : ""));
        auto connection = openDatabase(QString::fromLocal8Bit(argv[2]));
        Query query("Qry_Cust", connection.get());
        query.setCommand(Sql::allCustomers());
        query.open();
        const QString tag = QString::fromLocal8Bit(argv[3]);
        std::mt19937 random(uint32_t(std::strtoul(argv[argc - 1], nullptr, 10)));
        if (mode == "edit")
            return editMode(query, tag, std::atoi(argv[4]), random);
        return streamMode(query, tag, random);
    } catch (const AppError& e) {
        say("ERROR " + e.text());
        return 1;
    }
}
