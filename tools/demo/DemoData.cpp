// Makes a demonstration database: the delivered schema, a few hundred generated customers and
// one operator's contact activities, some of them due today and tomorrow, each naming one of
// the generated customers, and the shop's own fields 联系人, 地址, 客户类型 and 客户来源 with
// generated values.
//
//   custdesk_demodata <database file> [customers] [operator]
//
// An existing file at that path is replaced.

#include "bench/support/CustomerGenerator.h"
#include "data/AppError.h"
#include "data/Migrations.h"
#include "fields/CustomerFields.h"

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

FieldDefinition demoField(const char* title, FieldType type, int length, QStringList choices) {
    FieldDefinition field;
    field.title = QString::fromUtf8(title);
    field.type = type;
    field.length = length;
    field.choices = choices;
    return field;
}

// A value of each list for every customer, picked by its key so that every run gives the same.
QString pick(const QStringList& values, qint64 key, int stride) {
    return values.at(int((key * stride + key / values.size()) % values.size()));
}

void addDemoFields(const QString& path) {
    const std::unique_ptr<Connection> c = migrated(openDatabase(path));
    const QStringList types = {"经销商", "终端", "潜在客户"};
    const QStringList sources = {"展会", "网络", "转介绍", "电话营销"};
    const FieldDefinition fields[] = {
        CustomerFields::add(*c, demoField("联系人", FieldType::Text, 20, {})),
        CustomerFields::add(*c, demoField("地址", FieldType::Text, 100, {})),
        CustomerFields::add(*c, demoField("客户类型", FieldType::Choice, 0, types)),
        CustomerFields::add(*c, demoField("客户来源", FieldType::Choice, 0, sources)),
    };
    const QStringList surnames = {"王", "李", "张", "刘", "陈", "杨", "赵", "黄", "周", "吴"};
    const QStringList titles = {"先生", "女士", "经理", "总"};
    const QStringList cities = {"北京市海淀区", "上海市浦东新区", "广州市天河区",
                                "杭州市西湖区", "成都市武侯区",   "武汉市洪山区"};
    const QStringList roads = {"中山路", "人民大道", "建设路", "解放路", "科技园路"};
    QList<qint64> keys;
    for (auto rows = c->query({"select CustCode from Custom", {}}); rows->next();)
        keys << rows->toInt64(0);
    Transaction transaction(*c);
    for (qint64 key : keys) {
        const QString address =
            pick(cities, key, 1) + pick(roads, key, 3) + QString::number(1 + key % 188) + "号";
        c->execute(
            {QString("update Custom set %1=?, %2=?, %3=?, %4=? where CustCode=?")
                 .arg(fields[0].column, fields[1].column, fields[2].column, fields[3].column),
             {pick(surnames, key, 7) + pick(titles, key, 3), address, pick(types, key, 5),
              pick(sources, key, 3), key}});
    }
    transaction.commit();
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
        addDemoFields(path);
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
