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

// The values as small keyed tables, so that one statement fills a million customers.
QString valueTable(const QString& name, const QStringList& values) {
    QString sql = "CREATE TEMP TABLE " + name + " (i INTEGER PRIMARY KEY, v TEXT);";
    for (int i = 0; i < values.size(); ++i)
        sql += QString("INSERT INTO %1 VALUES (%2, '%3');").arg(name).arg(i).arg(values[i]);
    return sql;
}

// A value of each list for every customer, picked by its key so that every run gives the same.
QString pick(const QString& table, qsizetype size, int stride) {
    const QString n = QString::number(size);
    return "(SELECT v FROM " + table + " WHERE i = (CustCode * " + QString::number(stride) +
           " + CustCode / " + n + ") % " + n + ")";
}

void addDemoFields(const QString& path) {
    const QStringList types = {"经销商", "终端", "潜在客户"};
    const QStringList sources = {"展会", "网络", "转介绍", "电话营销"};
    QStringList columns;
    {
        const std::unique_ptr<Connection> c = migrated(openDatabase(path));
        for (const FieldDefinition& field : {demoField("联系人", FieldType::Text, 20, {}),
                                             demoField("地址", FieldType::Text, 100, {}),
                                             demoField("客户类型", FieldType::Choice, 0, types),
                                             demoField("客户来源", FieldType::Choice, 0, sources)})
            columns << CustomerFields::add(*c, field).column;
    }
    const QStringList surnames = {"王", "李", "张", "刘", "陈", "杨", "赵", "黄", "周", "吴"};
    const QStringList titles = {"先生", "女士", "经理", "总"};
    const QStringList cities = {"北京市海淀区", "上海市浦东新区", "广州市天河区",
                                "杭州市西湖区", "成都市武侯区",   "武汉市洪山区"};
    const QStringList roads = {"中山路", "人民大道", "建设路", "解放路", "科技园路"};
    QString sql = "BEGIN;" + valueTable("d_surname", surnames) + valueTable("d_title", titles) +
                  valueTable("d_city", cities) + valueTable("d_road", roads) +
                  valueTable("d_type", types) + valueTable("d_source", sources);
    sql += "UPDATE Custom SET " + columns[0] + " = " + pick("d_surname", surnames.size(), 7) +
           " || " + pick("d_title", titles.size(), 3) + ", " + columns[1] + " = " +
           pick("d_city", cities.size(), 1) + " || " + pick("d_road", roads.size(), 3) +
           " || (1 + CustCode % 188) || '号', " + columns[2] + " = " +
           pick("d_type", types.size(), 5) + ", " + columns[3] + " = " +
           pick("d_source", sources.size(), 3) + ";COMMIT;";
    exec(path, sql.toUtf8().constData());
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
