// Creates the delivered database from its SQL text and the program's migrations. An existing
// file holds the user's customers, so it is never touched.
#include "data/AppError.h"
#include "data/Engine.h"

#include <sqlite3.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s schema.sql target.db\n", argv[0]);
        return 2;
    }
    const std::filesystem::path target = argv[2];
    if (std::filesystem::exists(target))
        return 0;
    std::ifstream in(argv[1]);
    std::stringstream sql;
    sql << in.rdbuf();
    if (!in || sql.str().empty()) { // an empty database would be refused at every start
        std::fprintf(stderr, "makedb: cannot read %s\n", argv[1]);
        return 1;
    }
    std::filesystem::create_directories(target.parent_path());
    // Built aside and renamed, so an interrupted build never leaves half a database.
    const std::filesystem::path temp = target.string() + ".new";
    std::filesystem::remove(temp);
    sqlite3* db = nullptr;
    char* error = nullptr;
    if (sqlite3_open(temp.c_str(), &db) != SQLITE_OK ||
        sqlite3_exec(db, sql.str().c_str(), nullptr, nullptr, &error) != SQLITE_OK) {
        std::fprintf(stderr, "makedb: %s\n", error ? error : sqlite3_errmsg(db));
        sqlite3_close(db);
        std::filesystem::remove(temp);
        return 1;
    }
    sqlite3_close(db);
    try { // the delivered file starts as migrated as any the program has opened
        openDatabase(QString::fromStdString(temp.string()));
    } catch (const AppError& e) {
        std::fprintf(stderr, "makedb: %s\n", qPrintable(e.text()));
        std::filesystem::remove(temp);
        return 1;
    }
    std::filesystem::rename(temp, target);
    return 0;
}
