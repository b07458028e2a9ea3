// A program that saves customers through the real query and says so on stdout after every
// confirmed save, so a test can run two of them at once or kill one at any moment.
//
//   saver edit <db> <tag> <count> <seed>   edits Company of random rows of the whole table
//   saver stream <db> <tag> <seed>          appends and edits its own rows until killed
//   saver add <db> <name>...                adds each name as the editor does, unless taken
//   saver import <db> <file.csv>            imports the file as the import command does
//   saver set <db> <table> <key> <id> <field> <value>   one save of one field of one row
//   saver restore <backup> <db>             puts a backup back, as custdesk-admin restore does
//   saver backup <db>                       takes a backup, as the first start of the day does
//
// Lines: "TRY <code> <value>" before a save, "OK <code> <before> <after>" once it is
// committed, "CONFLICT <code> <value>" when it was refused, "ERROR <text>" otherwise.

#include "data/AppError.h"
#include "data/BackupSet.h"
#include "data/CustomerNames.h"
#include "data/Engine.h"
#include "data/Query.h"
#include "data/Statements.h"
#include "data/sqlite/SqliteBackup.h"
#include "output/CustomerImport.h"
#include "output/ImportFile.h"

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

// "TRY <name>" before each add, then "ADDED <name>" or "TAKEN <name>".
int addMode(Query& query, const QStringList& names) {
    for (const QString& name : names) {
        say("TRY " + name);
        say((appendCustomerUnlessTaken(query, {{"Company", name}}) ? "ADDED " : "TAKEN ") + name);
    }
    return 0;
}

// "TRY <file>", then "ADDED <n> SKIPPED <n>".
int importMode(Connection& connection, const QString& path) {
    ImportFile file = openImportFile(path);
    const QStringList mapping = matchTitles(file.titles, importFields(connection));
    say("TRY " + path);
    const ImportReport report = importCustomers(connection, *file.rows, mapping, {});
    say(QString("ADDED %1 SKIPPED %2").arg(report.added).arg(report.skipped));
    return report.written ? 0 : 1;
}

// "OK" once the field of the row is saved, "CONFLICT" when the row had changed.
int setMode(Connection& connection, char** argv) {
    const QString table = argv[3], key = argv[4], field = argv[6];
    Query row("Qry_Row", &connection);
    row.setCommand(
        {"select * from " + table + " where " + key + "=?", {QString(argv[5]).toLongLong()}});
    row.open();
    try {
        row.edit({{field, QString::fromUtf8(argv[7])}});
        say("OK");
    } catch (const AppError& e) {
        say(e.text().contains(QStringLiteral("其他用户")) ? "CONFLICT" : "ERROR " + e.text());
    }
    return 0;
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
          (mode == "add" && argc >= 4) || (mode == "import" && argc == 4) ||
          (mode == "set" && argc == 8) || (mode == "restore" && argc == 4) ||
          (mode == "backup" && argc == 3))) {
        std::fprintf(stderr, "usage: saver edit <db> <tag> <count> <seed> | stream <db> <tag> "
                             "<seed> | add <db> <name>... | import <db> <file> | set <db> "
                             "<table> <key> <id> <field> <value> | restore <backup> <db> | "
                             "backup <db>\n");
        return 2;
    }
    try {
        if (mode == "restore" || mode == "backup")
            return fileMode(mode, QString::fromLocal8Bit(argv[2]),
                            QString::fromLocal8Bit(argc > 3 ? argv[3] : ""));
        auto connection = openDatabase(QString::fromLocal8Bit(argv[2]));
        if (mode == "import")
            return importMode(*connection, QString::fromLocal8Bit(argv[3]));
        if (mode == "set")
            return setMode(*connection, argv);
        Query query("Qry_Cust", connection.get());
        query.setCommand(Sql::allCustomers());
        query.open();
        const QString tag = QString::fromLocal8Bit(argv[3]);
        std::mt19937 random(uint32_t(std::strtoul(argv[argc - 1], nullptr, 10)));
        if (mode == "add") {
            QStringList names;
            for (int i = 3; i < argc; ++i)
                names << QString::fromUtf8(argv[i]);
            return addMode(query, names);
        }
        if (mode == "edit")
            return editMode(query, tag, std::atoi(argv[4]), random);
        return streamMode(query, tag, random);
    } catch (const AppError& e) {
        say("ERROR " + e.text());
        return 1;
    }
}
