#include "operators/Owners.h"

#include "data/AppError.h"
#include "data/Query.h"
#include "data/Roles.h"

#include <map>

namespace Owners {

namespace {

const QString returnDaysSetting = QStringLiteral("PoolReturnDays");

QString textAt(const ResultSet& rows, int i) {
    if (rows.type(i) == CellType::Null)
        return {};
    const std::string_view text = rows.text(i);
    return QString::fromUtf8(text.data(), qsizetype(text.size()));
}

} // namespace

qint64 handTo(Connection& connection, const Rights& rights, const QList<qint64>& codes,
              qint64 toOperator) {
    rights.require(Permission::SeeAllCustomers);
    rights.require(Permission::EditCustomers);
    Transaction transaction(connection);
    auto taker = connection.query({"select IsUser from admin where Userid=?", {toOperator}});
    if (!taker->next() || taker->toInt64(0) == 0)
        throw AppError(QStringLiteral("不能转交给已停用或已删除的操作员。"));
    taker.reset();
    qint64 moved = 0;
    for (qint64 code : codes)
        moved +=
            connection.execute({"update Custom set Owner=? where CustCode=?", {toOperator, code}});
    transaction.commit();
    return moved;
}

void claim(Connection& connection, const Rights& rights, qint64 code) {
    if (rights.operatorKey() == 0)
        throw AppError(QStringLiteral("没有登录的操作员，不能领取客户。"));
    // One statement decides: the row changes only while nobody owns it.
    if (connection.execute({"update Custom set Owner=? where CustCode=? and Owner is null",
                            {rights.operatorKey(), code}}) == 0)
        throw AppError(QStringLiteral("该客户已被其他操作员领取。"));
}

void release(Connection& connection, const Rights& rights, qint64 code) {
    SqlCommand command{"update Custom set Owner=null where CustCode=? and Owner is not null",
                       {code}};
    if (rights.ownOnly() || !rights.may(Permission::EditCustomers))
        narrow(command, {"Owner=?", {rights.operatorKey()}});
    if (connection.execute(command) == 0)
        throw AppError(QStringLiteral("该客户不属于您，或已在公海中。"));
}

SqlCommand poolReturnDaysRead() {
    return Roles::shopSettingRead(returnDaysSetting);
}

std::optional<int> poolReturnDays(Connection& connection) {
    bool ok = false;
    const int days = Roles::shopSetting(connection, returnDaysSetting).toInt(&ok);
    return ok && days > 0 ? std::optional<int>(days) : std::nullopt;
}

void setPoolReturnDays(Connection& connection, const Rights& rights, std::optional<int> days) {
    rights.require(Permission::ManageOperators);
    if (days && (*days < 1 || *days > 3650))
        throw AppError(QStringLiteral("天数应在1到3650之间。"));
    Roles::setShopSetting(connection, returnDaysSetting, days ? QString::number(*days) : "0");
}

qint64 returnIdleCustomers(Connection& connection, const QDateTime& now) {
    const auto days = poolReturnDays(connection);
    if (!days)
        return 0;
    const QDateTime cutoff = now.addDays(-*days);
    Transaction transaction(connection);
    auto rows = connection.query(
        {"select c.CustCode, c.Owner, c.Company from Custom c left join admin a on "
         "a.Userid=c.Owner where c.Owner is not null and (c.AddDate is null or c.AddDate<?) and "
         "not exists (select 1 from T_Schedule s where s.CustCode=c.CustCode and "
         "StrComp(s.F_User,a.username,1)=0 and s.AwokeDate>=?) order by c.CustCode",
         {cutoff, cutoff}});
    struct Idle {
        qint64 code, owner;
        QString company;
    };
    std::vector<Idle> idle;
    while (rows->next())
        idle.push_back({rows->toInt64(0), rows->toInt64(1), textAt(*rows, 2)});
    rows.reset();
    qint64 returned = 0;
    for (const Idle& c : idle) {
        // Another workstation may have applied the rule, or the owner changed, meanwhile.
        if (connection.execute({"update Custom set Owner=null where CustCode=? and Owner=?",
                                {c.code, c.owner}}) == 0)
            continue;
        connection.execute({"insert into T_PoolReturn (Owner, Company, ReturnedAt) values (?,?,?)",
                            {c.owner, c.company, now}});
        ++returned;
    }
    transaction.commit();
    return returned;
}

// One statement takes the notices and gives back what it took, so two logins of the same
// operator never both show them.
QStringList takeReturnedNotice(Connection& connection, qint64 operatorKey) {
    auto rows = connection.query(
        {"delete from T_PoolReturn where Owner=? returning ID, Company", {operatorKey}});
    std::map<qint64, QString> byId; // in the order the notices were written
    while (rows->next())
        byId.emplace(rows->toInt64(0), textAt(*rows, 1));
    QStringList names;
    for (const auto& [id, name] : byId)
        names << name;
    return names;
}

std::optional<NameHolder> nameHolder(Connection& connection, const QString& name) {
    auto rows = connection.query(
        {"select c.Owner, a.username from Custom c left join admin a on a.Userid=c.Owner where "
         "StrComp(c.Company,?,1)=0 order by c.CustCode",
         {name}});
    if (!rows->next())
        return std::nullopt;
    return NameHolder{rows->type(0) == CellType::Null ? 0 : rows->toInt64(0), textAt(*rows, 1)};
}

QString nameTakenText(const NameHolder& holder) {
    if (holder.owner == 0)
        return QStringLiteral("该客户名称已存在，这位客户在公海中，可以领取。");
    return QStringLiteral("该客户名称已存在，负责人是%1。")
        .arg(holder.ownerName.isEmpty() ? QStringLiteral("已删除的操作员") : holder.ownerName);
}

void showOwnerNames(Connection& connection, Query& customers, OwnerNames& names) {
    const int field = customers.findField(QStringLiteral("Owner"));
    if (field < 0)
        return;
    if (!names) {
        auto read = std::make_shared<QHash<qint64, QString>>();
        const auto operators = Roles::operatorNames(connection);
        for (auto i = operators.cbegin(); i != operators.cend(); ++i)
            read->insert(i.key(), i.value().name);
        names = std::move(read);
    }
    customers.setKeyTexts(field, names);
}

} // namespace Owners
