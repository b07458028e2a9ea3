#include "bench/support/ShopFields.h"

#include "data/Migrations.h"

#include <QStringList>

namespace BenchData {

namespace {

FieldDefinition field(const char* title, FieldType type, int length = 50, int decimals = 0,
                      QStringList choices = {}) {
    FieldDefinition f;
    f.title = QString::fromUtf8(title);
    f.type = type;
    f.length = length;
    f.decimals = decimals;
    f.choices = choices;
    return f;
}

// Values as small keyed tables, so that one statement fills a million customers.
QStringList valueTable(const QString& name, const QStringList& values) {
    QStringList sql{"CREATE TEMP TABLE " + name + " (i INTEGER PRIMARY KEY, v TEXT)"};
    for (int i = 0; i < values.size(); ++i)
        sql << QString("INSERT INTO %1 VALUES (%2, '%3')").arg(name).arg(i).arg(values[i]);
    return sql;
}

// A value of the table for every customer, picked by its key; over each hundred keys every
// value of a table of up to a hundred comes equally often.
QString pick(const QString& table, qsizetype size, int stride) {
    const QString n = QString::number(size);
    return "(SELECT v FROM " + table + " WHERE i = (CustCode * " + QString::number(stride) +
           " + CustCode / " + n + ") % " + n + ")";
}

// 客户来源 as the shops have it: mostly fairs and the web, a few old customers.
QStringList weightedSources() {
    QStringList values;
    for (const auto& [source, share] :
         {std::pair{"展会", 40}, std::pair{"网络", 30}, std::pair{"转介绍", 20},
          std::pair{"电话营销", 9}, std::pair{"老客户", 1}})
        for (int i = 0; i < share; ++i)
            values << QString::fromUtf8(source);
    return values;
}

} // namespace

QList<FieldDefinition> addShopFields(const QString& path, int count) {
    const QStringList types = {"经销商", "终端", "潜在客户"};
    const QStringList sources = weightedSources();
    const QStringList surnames = {"王", "李", "张", "刘", "陈", "杨", "赵", "黄", "周", "吴"};
    const QStringList titles = {"先生", "女士", "经理", "总"};
    const QStringList cities = {"北京市海淀区", "上海市浦东新区", "广州市天河区",
                                "杭州市西湖区", "成都市武侯区",   "武汉市洪山区"};
    const QStringList roads = {"中山路", "人民大道", "建设路", "解放路", "科技园路"};
    const QStringList notes = {"月结三十天", "只收增值税专用发票", "周末不送货", "先款后货"};
    const QStringList domains = {"163.com", "qq.com", "126.com", "sina.com"};
    const QStringList grades = {"A", "B", "C", "D"};
    const std::pair<FieldDefinition, QString> all[] = {
        {field("联系人", FieldType::Text, 20),
         pick("d_surname", surnames.size(), 7) + " || " + pick("d_title", titles.size(), 3)},
        {field("地址", FieldType::Text, 100), pick("d_city", cities.size(), 1) + " || " +
                                                  pick("d_road", roads.size(), 3) +
                                                  " || (1 + CustCode % 188) || '号'"},
        {field("客户类型", FieldType::Choice, 0, 0, types), pick("d_type", types.size(), 5)},
        {field("客户来源", FieldType::Choice, 0, 0,
               {"展会", "网络", "转介绍", "电话营销", "老客户"}),
         pick("d_source", sources.size(), 3)},
        {field("年采购额", FieldType::Number, 0, 2), "(CustCode * 7919 % 1000000) / 100.0"},
        {field("签约日期", FieldType::Date),
         "date('2018-01-01', '+' || (CustCode * 13 % 3000) || ' days') || ' 00:00:00'"},
        {field("重点客户", FieldType::YesNo), "CustCode % 7 = 0"},
        {field("备注", FieldType::MultiText),
         pick("d_note", notes.size(), 1) + " || char(10) || " + pick("d_note", notes.size(), 3)},
        {field("邮箱", FieldType::Text, 50),
         "'kh' || CustCode || '@' || " + pick("d_domain", domains.size(), 1)},
        {field("客户等级", FieldType::Choice, 0, 0, grades), pick("d_grade", grades.size(), 7)},
    };
    const std::unique_ptr<Connection> c = migrated(openDatabase(path));
    QList<FieldDefinition> added;
    QStringList sets;
    for (int i = 0; i < count && i < int(std::size(all)); ++i) {
        added << CustomerFields::add(*c, all[i].first);
        sets << added.last().column + " = " + all[i].second;
    }
    if (sets.isEmpty())
        return added;
    QStringList sql = valueTable("d_surname", surnames) + valueTable("d_title", titles) +
                      valueTable("d_city", cities) + valueTable("d_road", roads) +
                      valueTable("d_type", types) + valueTable("d_source", sources) +
                      valueTable("d_note", notes) + valueTable("d_domain", domains) +
                      valueTable("d_grade", grades);
    // Generated values, not an operator's changes: the change history's trigger sits it out.
    sql << "DROP TRIGGER IF EXISTS T_History_Custom_U"
        << "UPDATE Custom SET " + sets.join(", ");
    Transaction transaction(*c);
    for (const QString& statement : sql)
        c->execute({statement, {}});
    c->installChangeHistory();
    transaction.commit();
    return added;
}

} // namespace BenchData
