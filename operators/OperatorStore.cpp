#include "operators/OperatorStore.h"

#include "data/AppError.h"
#include "data/DisplayFormat.h"
#include "data/Passwords.h"
#include "data/Roles.h"

#include <QStringEncoder>

namespace {

QString textAt(const ResultSet& rows, int i) {
    if (rows.type(i) == CellType::Null)
        return {};
    const std::string_view text = rows.text(i);
    return QString::fromUtf8(text.data(), qsizetype(text.size()));
}

QDateTime dateTimeAt(const ResultSet& rows, int i) {
    if (rows.type(i) != CellType::Text)
        return {};
    const auto dt = parseStoredDateTime(rows.text(i));
    return dt ? *dt : QDateTime();
}

// An enabled operator whose role may manage operators.
const char* const managerCondition =
    "IsUser=True and RoleID in (select RoleID from T_Role where ManageUsers=True)";

[[noreturn]] void refuse(const QString& text) {
    throw AppError(text);
}

} // namespace

OperatorStore::OperatorStore(Connection& connection, Rights actor)
    : connection_(connection), actor_(std::move(actor)) {}

QString OperatorStore::nameProblem(const QString& name) {
    const QString trimmed = name.trimmed();
    if (trimmed.isEmpty())
        return QStringLiteral("请输入操作员名称。");
    if (trimmed != name)
        return QStringLiteral("操作员名称的前后不能有空格。");
    QStringEncoder gbk("GBK");
    const QByteArray bytes = gbk.encode(name);
    if (gbk.hasError())
        return QStringLiteral("操作员名称中有无法保存的字符。");
    // The login keeps 20 bytes of a name, and activities belong to those bytes.
    if (bytes.size() > 20)
        return QStringLiteral("操作员名称最多20个字节（10个汉字）。");
    return {};
}

void OperatorStore::requireManager() const {
    actor_.require(Permission::ManageOperators);
}

// The operators' lock is held for the transaction, so two workstations' changes to the
// operators follow one another and each sees what the other did.
void OperatorStore::lockOperators() {
    connection_.lockUntilCommit(QStringLiteral("admin"));
}

void OperatorStore::keepAManager() {
    auto rows =
        connection_.query({QString("select count(*) from admin where ") + managerCondition, {}});
    if (!rows->next() || rows->toInt64(0) == 0)
        refuse(QStringLiteral("至少要保留一位可以管理操作员的已启用操作员。"));
}

void OperatorStore::keepSelf(qint64 key, const char* deed) const {
    if (actor_.operatorKey() != 0 && key == actor_.operatorKey())
        refuse(QStringLiteral("您不能%1自己。").arg(QString::fromUtf8(deed)));
}

std::vector<OperatorRow> OperatorStore::operators() {
    std::vector<OperatorRow> list;
    auto rows = connection_.query(
        {"select a.Userid, a.username, a.RoleID, r.RoleName, a.IsUser, a.MustChangePass, "
         "a.LastLogin from admin a left join T_Role r on r.RoleID=a.RoleID order by a.Userid",
         {}});
    while (rows->next())
        list.push_back({rows->toInt64(0), textAt(*rows, 1),
                        rows->type(2) == CellType::Null ? 0 : rows->toInt64(2), textAt(*rows, 3),
                        rows->type(4) != CellType::Null && rows->toInt64(4) != 0,
                        rows->type(5) != CellType::Null && rows->toInt64(5) != 0,
                        dateTimeAt(*rows, 6)});
    return list;
}

std::vector<RoleRow> OperatorStore::roles() {
    std::vector<RoleRow> list;
    auto rows = connection_.query({"select RoleID, RoleName from T_Role order by RoleID", {}});
    while (rows->next())
        list.push_back({rows->toInt64(0), textAt(*rows, 1), 0});
    rows.reset();
    for (RoleRow& role : list)
        role.permissions = Roles::permissionsOf(connection_, role.id).value_or(0);
    return list;
}

std::optional<OperatorRow> OperatorStore::find(const QString& name) {
    for (const OperatorRow& row : operators())
        if (row.name.trimmed().compare(name.trimmed(), Qt::CaseInsensitive) == 0)
            return row;
    return std::nullopt;
}

OperatorRow OperatorStore::row(qint64 key) {
    for (const OperatorRow& row : operators())
        if (row.key == key)
            return row;
    refuse(QStringLiteral("该操作员已被删除。"));
}

qint64 OperatorStore::roleIdByName(const QString& name) {
    auto rows = connection_.query(
        {"select RoleID from T_Role where StrComp(RoleName,?,1)=0 order by RoleID", {name}});
    if (!rows->next())
        refuse(QStringLiteral("没有名为“%1”的角色。").arg(name));
    return rows->toInt64(0);
}

qint64 OperatorStore::add(const QString& name, qint64 roleId, const QString& password,
                          bool mustChange) {
    requireManager();
    if (const QString problem = nameProblem(name); !problem.isEmpty())
        refuse(problem);
    Transaction transaction(connection_);
    lockOperators();
    auto taken =
        connection_.query({"select count(*) from admin where StrComp(username,?,1)=0", {name}});
    if (taken->next() && taken->toInt64(0) > 0)
        refuse(QStringLiteral("已经有名为“%1”的操作员。").arg(name));
    taken.reset();
    if (!Roles::permissionsOf(connection_, roleId))
        refuse(QStringLiteral("该角色已被删除。"));
    connection_.execute({"insert into admin (username, password, IsUser, RoleID, MustChangePass) "
                         "values (?, ?, True, ?, ?)",
                         {name, storedFormOf(password, keepPlainPasswords), roleId, mustChange}});
    const qint64 key = connection_.lastInsertId();
    transaction.commit();
    return key;
}

void OperatorStore::setRole(qint64 key, qint64 roleId) {
    requireManager();
    Transaction transaction(connection_);
    lockOperators();
    if (!Roles::permissionsOf(connection_, roleId))
        refuse(QStringLiteral("该角色已被删除。"));
    if (connection_.execute({"update admin set RoleID=? where Userid=?", {roleId, key}}) == 0)
        refuse(QStringLiteral("该操作员已被删除。"));
    keepAManager();
    transaction.commit();
}

void OperatorStore::setEnabled(qint64 key, bool enabled) {
    requireManager();
    if (!enabled)
        keepSelf(key, "停用");
    Transaction transaction(connection_);
    lockOperators();
    if (connection_.execute({"update admin set IsUser=? where Userid=?", {enabled, key}}) == 0)
        refuse(QStringLiteral("该操作员已被删除。"));
    keepAManager();
    transaction.commit();
}

void OperatorStore::resetPassword(qint64 key, const QString& password, bool mustChange) {
    requireManager();
    if (connection_.execute({"update admin set password=?, MustChangePass=? where Userid=?",
                             {storedFormOf(password, keepPlainPasswords), mustChange, key}}) == 0)
        refuse(QStringLiteral("该操作员已被删除。"));
}

Holdings OperatorStore::holdings(qint64 key) {
    Holdings held;
    auto customers = connection_.query({"select count(*) from Custom where Owner=?", {key}});
    held.customers = customers->next() ? customers->toInt64(0) : 0;
    customers.reset();
    const QString name = row(key).name;
    auto open = connection_.query({"select count(*) from T_Schedule where StrComp(F_User,?,1)=0 "
                                   "and (Done is null or Done=False)",
                                   {name}});
    held.openActivities = open->next() ? open->toInt64(0) : 0;
    return held;
}

void OperatorStore::remove(qint64 key) {
    requireManager();
    keepSelf(key, "删除");
    Transaction transaction(connection_);
    lockOperators();
    if (!holdings(key).none())
        refuse(QStringLiteral(
            "该操作员还有客户或未完成的联系活动，请先转交给其他操作员，或停用该操作员。"));
    connection_.execute({"delete from admin where Userid=?", {key}});
    keepAManager();
    transaction.commit();
}

void OperatorStore::handOver(qint64 from, qint64 to) {
    requireManager();
    Transaction transaction(connection_);
    lockOperators();
    const OperatorRow giver = row(from);
    const OperatorRow taker = row(to);
    if (!taker.enabled)
        refuse(QStringLiteral("不能转交给已停用的操作员。"));
    connection_.execute({"update Custom set Owner=? where Owner=?", {to, from}});
    connection_.execute({"update T_Schedule set F_User=? where StrComp(F_User,?,1)=0 and "
                         "(Done is null or Done=False)",
                         {taker.name, giver.name}});
    transaction.commit();
}

qint64 OperatorStore::addRole(const QString& name, PermissionSet permissions) {
    requireManager();
    const QString trimmed = name.trimmed();
    if (trimmed.isEmpty() || trimmed.size() > 20)
        refuse(QStringLiteral("角色名称不能为空，最多20个字。"));
    Transaction transaction(connection_);
    lockOperators();
    auto taken =
        connection_.query({"select count(*) from T_Role where StrComp(RoleName,?,1)=0", {trimmed}});
    if (taken->next() && taken->toInt64(0) > 0)
        refuse(QStringLiteral("已经有名为“%1”的角色。").arg(trimmed));
    taken.reset();
    connection_.execute({"insert into T_Role (RoleName) values (?)", {trimmed}});
    const qint64 id = connection_.lastInsertId();
    transaction.commit();
    setRolePermissions(id, permissions);
    return id;
}

void OperatorStore::setRolePermissions(qint64 roleId, PermissionSet permissions) {
    requireManager();
    QStringList sets;
    QVariantList values;
    for (const PermissionInfo& info : allPermissions()) {
        sets << QString(info.column) + "=?";
        values << ((permissions & unsigned(info.permission)) != 0);
    }
    values << roleId;
    Transaction transaction(connection_);
    lockOperators();
    if (connection_.execute({"update T_Role set " + sets.join(',') + " where RoleID=?", values}) ==
        0)
        refuse(QStringLiteral("该角色已被删除。"));
    keepAManager();
    transaction.commit();
}

void OperatorStore::removeRole(qint64 roleId) {
    requireManager();
    Transaction transaction(connection_);
    lockOperators();
    auto used = connection_.query({"select count(*) from admin where RoleID=?", {roleId}});
    if (used->next() && used->toInt64(0) > 0)
        refuse(QStringLiteral("还有操作员属于该角色，不能删除。"));
    used.reset();
    connection_.execute({"delete from T_Role where RoleID=?", {roleId}});
    transaction.commit();
}
