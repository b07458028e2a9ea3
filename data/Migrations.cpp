#include "Migrations.h"

#include "Activities.h"
#include "AppError.h"
#include "ChangeHistory.h"
#include "Roles.h"

void indexChoiceFields(Connection& connection) {
    if (connection.columnsOf("T_CustomField").isEmpty())
        return;
    QStringList columns;
    auto rows = connection.query({"SELECT Field FROM T_CustomField WHERE FieldType='choice'", {}});
    while (rows->next())
        columns << QString::fromUtf8(rows->text(0).data(), qsizetype(rows->text(0).size()));
    for (const QString& column : columns)
        connection.createValueIndex("Custom", column);
}

const std::vector<MigrationStep>& programMigrations() {
    // Add a step at the end; a released step is never changed, only followed by another.
    static const std::vector<MigrationStep> steps = {
        {1, "客户表的查询索引", [](Connection& c) { c.createSearchIndex(); }},
        {2, "联系活动的客户编号与完成标记", [](Connection& c) { Activities::upgradeSchema(c); }},
        {3, "联系活动的提醒日期索引",
         [](Connection& c) {
             if (!c.columnsOf("T_Schedule").isEmpty())
                 c.execute({"CREATE INDEX IF NOT EXISTS T_Schedule_AwokeDate ON T_Schedule "
                            "(AwokeDate)",
                            {}});
         }},
        {4, "联系活动与客户的关联", [](Connection& c) { Activities::settleOlderRows(c); }},
        {5, "操作员的角色", Roles::addRoles},
        {6, "客户的负责人", Roles::addOwners},
        {7, "共用设置", Roles::addShopSettings},
        {10, "回收站",
         [](Connection& c) {
             if (!c.columnsOf("Custom").isEmpty())
                 ChangeHistory::createBins(c);
         }},
        {11, "变更历史", [](Connection& c) { c.installChangeHistory(); }},
        // The shop's own customer fields; their columns are added one by one later.
        {15, "客户自定义字段的定义表",
         [](Connection& c) {
             c.execute({"CREATE TABLE IF NOT EXISTS T_CustomField (ID INTEGER NOT NULL PRIMARY "
                        "KEY, Title VARCHAR(50) NOT NULL, Field VARCHAR(50) NOT NULL UNIQUE, "
                        "FieldType VARCHAR(10) NOT NULL, TextSize INTEGER NOT NULL DEFAULT 0, "
                        "Decimals INTEGER NOT NULL DEFAULT 0, Choices MEMO, ShowOrder INTEGER "
                        "NOT NULL DEFAULT 0)",
                        {}});
         }},
        {16, "客户列表的负责人列", Roles::addOwnerLayoutRow},
        {18, "客户选项字段的筛选索引", indexChoiceFields},
    };
    return steps;
}

int schemaVersion(Connection& connection) {
    if (connection.columnsOf("T_SchemaVersion").isEmpty())
        return 0;
    auto rows = connection.query({"SELECT max(Version) FROM T_SchemaVersion", {}});
    return rows->next() ? int(rows->toInt64(0)) : 0;
}

namespace {

void recordVersion(Connection& connection, int version) {
    connection.execute(
        {"CREATE TABLE IF NOT EXISTS T_SchemaVersion (Version INTEGER NOT NULL)", {}});
    connection.execute({"DELETE FROM T_SchemaVersion", {}});
    connection.execute({"INSERT INTO T_SchemaVersion (Version) VALUES (?)", {version}});
}

} // namespace

void migrate(Connection& connection, const std::vector<MigrationStep>& steps) {
    // An up-to-date database, the usual case, is read once: each read is a server round trip.
    const int found = schemaVersion(connection);
    for (const MigrationStep& step : steps) {
        if (found >= step.version)
            continue;
        Transaction transaction(connection);
        // Read again under the write lock: another copy may have applied it meanwhile.
        if (schemaVersion(connection) < step.version) {
            try {
                step.apply(connection);
            } catch (const AppError& e) {
                throw AppError(QString("数据库升级失败（%1）: %2").arg(step.what, e.text()));
            }
            recordVersion(connection, step.version);
        }
        transaction.commit();
    }
}
