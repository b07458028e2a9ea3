// Makes a demonstration database: the delivered schema, a few hundred generated customers and
// one operator's contact activities, some of them due today and tomorrow, each naming one of
// the generated customers, and the shop's own fields 联系人, 地址, 客户类型 and 客户来源 with
// generated values.
//
//   custdesk_demodata <database file> [customers] [operator]
//
// An existing file at that path is replaced.

#include "bench/support/CustomerGenerator.h"
#include "bench/support/ShopFields.h"
#include "data/AppError.h"

#include <QByteArray>
#include <QString>
#include <cstdio>
#include <sqlite3.h>
#include <stdexcept>

namespace {

constexpr int kActivities = 150;
constexpr quint32 kSeed = 20240601;

// Every fifth activity falls due today or tomorrow and is marked for reminding; all of them
// belong to one of the first thirty customers, so that those customers' activity lists are full.
const char* const kDueSoon =
    "BEGIN;"
    "UPDATE T_Schedule SET Awoke = 1, AwokeDate = date('now', 'localtime', '+' || (ID / 5 % 2) || "
    "' day') || substr(AwokeDate, 11) WHERE ID % 5 = 0;"
    "UPDATE T_Schedule SET CustCode = 1 + ID % min(30, (SELECT count(*) FROM Custom));"
    "UPDATE T_Schedule SET CustName = (SELECT Company FROM Custom WHERE CustCode = "
    "T_Schedule.CustCode);"
    "COMMIT;";

void exec(const QString& path, const char* sql) {
    sqlite3* db = nullptr;
    char* error = nullptr;
    const bool ok = sqlite3_open(path.toUtf8().constData(), &db) == SQLITE_OK &&
                    sqlite3_exec(db, sql, nullptr, nullptr, &error) == SQLITE_OK;
    const std::string message = error ? error : sqlite3_errmsg(db);
    sqlite3_free(error);
    sqlite3_close(db);
    if (!ok)
        throw std::runtime_error(message);
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s <database file> [customers] [operator]\n", argv[0]);
        return 2;
    }
    const QString path = QString::fromLocal8Bit(argv[1]);
    const int customers = argc > 2 ? QByteArray(argv[2]).toInt() : 300;
    const QString user = argc > 3 ? QString::fromLocal8Bit(argv[3]) : QStringLiteral("Admin");
    if (customers < 1) {
        std::fprintf(stderr, "the number of customers must be at least 1\n");
        return 2;
    }
    try {
        BenchData::createDatabase(path, QStringLiteral(CUSTDESK_SCHEMA_SQL));
        BenchData::addCustomers(path, customers, kSeed);
        BenchData::addActivities(path, user, kActivities, kSeed);
        exec(path, kDueSoon);
        BenchData::addShopFields(path, 4);
    } catch (const AppError& e) {
        std::fprintf(stderr, "custdesk_demodata: %s\n", e.text().toLocal8Bit().constData());
        return 1;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "custdesk_demodata: %s\n", e.what());
        return 1;
    }
    std::printf("%s: %d customers, %d activities of %s\n", argv[1], customers, kActivities,
                user.toLocal8Bit().constData());
    return 0;
}
