#include "data/Migrations.h"
#include "data/Roles.h"
#include "operators/OperatorStore.h"
#include "operators/Owners.h"
#include "tests/data/DataTestSupport.h"

#include <atomic>
#include <thread>

namespace {

class OperatorRules : public EngineTest {
  protected:
    Connection& c() { return *db.connection; }
    Rights as(const QString& name) {
        return Roles::rightsOf(c(), OperatorStore(c()).find(name)->key, name);
    }
    qint64 key(const QString& name) { return OperatorStore(c()).find(name)->key; }
    qint64 role(const QString& name) { return OperatorStore(c()).roleIdByName(name); }
};

// The rules hold through a run of changes, each from a given operator: names unique without
// regard to case and short enough for the login, managers only, never the last manager gone,
// nobody disabling or deleting themselves, nobody deleted who still holds customers.
TEST_P(OperatorRules, ChangesKeepTheRules) {
    const QString lastManager = "至少要保留一位可以管理操作员的已启用操作员。";
    const struct {
        const char* what;
        std::function<void()> change;
        QString error; // empty: no error
    } steps[] = {
        {"demote the only manager",
         [&] { OperatorStore(c()).setRole(key("Admin"), role("业务员")); }, lastManager},
        {"disable oneself",
         [&] { OperatorStore(c(), as("Admin")).setEnabled(key("Admin"), false); },
         "您不能停用自己。"},
        {"disable the only manager", [&] { OperatorStore(c()).setEnabled(key("Admin"), false); },
         lastManager},
        {"delete the only manager", [&] { OperatorStore(c()).remove(key("Admin")); }, lastManager},
        {"take the manager's role its right",
         [&] {
             OperatorStore(c()).setRolePermissions(
                 role("管理员"), everyPermission & ~unsigned(Permission::ManageOperators));
         },
         lastManager},
        {"add a salesperson",
         [&] { OperatorStore(c(), as("Admin")).add("小王", role("业务员"), "pw", true); },
         {}},
        {"same name in other case",
         [&] { OperatorStore(c()).add("ADMIN", role("业务员"), "", false); },
         "已经有名为“ADMIN”的操作员。"},
        {"name longer than the login keeps",
         [&] { OperatorStore(c()).add("一二三四五六七八九十甲", role("业务员"), "", false); },
         "操作员名称最多20个字节（10个汉字）。"},
        {"a salesperson adds",
         [&] { OperatorStore(c(), as("小王")).add("小李", role("业务员"), "", false); },
         "您的角色“业务员”不能管理操作员和角色。"},
        {"a second manager",
         [&] { OperatorStore(c()).add("经理", role("管理员"), "", false); },
         {}},
        {"now Admin may be demoted",
         [&] { OperatorStore(c(), as("经理")).setRole(key("Admin"), role("业务员")); },
         {}},
        {"but not the last one disabled",
         [&] { OperatorStore(c(), as("Admin")).setEnabled(key("经理"), false); },
         "您的角色“业务员”不能管理操作员和角色。"},
        {"even by the tool", [&] { OperatorStore(c()).setEnabled(key("经理"), false); },
         lastManager},
        {"a customer of 小王",
         [&] {
             c().execute({"insert into Custom (Company, Owner) values ('甲', ?)", {key("小王")}});
         },
         {}},
        {"delete one who owns customers", [&] { OperatorStore(c()).remove(key("小王")); },
         "该操作员还有客户或未完成的联系活动，请先转交给其他操作员，或停用该操作员。"},
        {"hand over, then delete",
         [&] {
             OperatorStore(c()).handOver(key("小王"), key("经理"));
             OperatorStore(c()).remove(key("小王"));
         },
         {}},
        {"a role in use", [&] { OperatorStore(c()).removeRole(role("业务员")); },
         "还有操作员属于该角色，不能删除。"},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(step.what);
        EXPECT_EQ(errorOf(step.change),
                  step.error.isEmpty() ? "no error" : step.error.toStdString());
    }
    const auto managers = OperatorStore(c()).operators();
    ASSERT_EQ(managers.size(), 2u);
    EXPECT_EQ(managers[0].roleName, "业务员");
    EXPECT_EQ(managers[1].name, "经理");
    EXPECT_EQ(db.scalar("select Owner from Custom where Company='甲'").toLongLong(), key("经理"));
}

// A database from before roles: its operators all become managers, its customers nobody's,
// and nothing else changes.
TEST_P(OperatorRules, AnOlderDatabaseKeepsEveryRightAfterItsUpgrade) {
    Connection& old = c();
    old.execute({"drop index Custom_Owner", {}});
    for (const auto& [table, column] : {std::pair{"Custom", "Owner"}, {"admin", "RoleID"},
                                        {"admin", "MustChangePass"}, {"admin", "LastLogin"}})
        old.dropColumn(table, column);
    for (const char* sql : {"drop table T_Role", "drop table T_ShopSetting",
                            "drop table T_PoolReturn", "update T_SchemaVersion set Version=4"})
        old.execute({sql, {}});
    old.execute({"insert into admin (username, password, IsUser) values ('老张', '', True)", {}});
    db.addCustomer("老客户");
    migrate(old);
    EXPECT_EQ(schemaVersion(old), programMigrations().back().version);
    for (const QString name : {"Admin", "老张"}) {
        const Rights rights = as(name);
        EXPECT_EQ(rights.permissions(), everyPermission) << name.toStdString();
        EXPECT_EQ(rights.roleName(), "管理员");
    }
    EXPECT_EQ(db.count("Owner is null"), db.count("1=1"));
    EXPECT_EQ(OperatorStore(old).roles().size(), 2u);
}

// Two operators taking the same pool customers at the same moment: each customer goes to
// exactly one of them, and the other is told.
TEST_P(OperatorRules, ACustomerOfThePoolGoesToExactlyOneTaker) {
    OperatorStore store(c());
    const qint64 wang = store.add("小王", role("业务员"), "", false);
    const qint64 li = store.add("小李", role("业务员"), "", false);
    QList<qint64> codes;
    for (int i = 0; i < 20; ++i) {
        db.addCustomer(QString("公海%1").arg(i));
        codes << c().lastInsertId();
    }
    std::atomic<int> refused{0};
    const auto take = [&](qint64 who, const QString& name) {
        auto connection = db.secondConnection();
        const Rights rights = Roles::rightsOf(*connection, who, name);
        for (qint64 code : codes)
            if (errorOf([&] { Owners::claim(*connection, rights, code); }) ==
                "该客户已被其他操作员领取。")
                ++refused;
    };
    std::thread first(take, wang, "小王"), second(take, li, "小李");
    first.join();
    second.join();
    EXPECT_EQ(refused, 20);
    EXPECT_EQ(db.count("Owner is null"), 0);
    // A salesperson gives back only their own.
    const qint64 code = codes.first();
    const bool ofWang = db.scalar("select Owner from Custom where CustCode=?", {code}) == wang;
    const QString owner = ofWang ? "小王" : "小李", other = ofWang ? "小李" : "小王";
    EXPECT_EQ(errorOf([&] { Owners::release(c(), as(other), code); }),
              "该客户不属于您，或已在公海中。");
    EXPECT_EQ(errorOf([&] { Owners::release(c(), as(owner), code); }), "no error");
}

// The pool's rule takes back what nobody looked after for its days, only when switched on,
// and the owner hears of it once.
TEST_P(OperatorRules, ThePoolTakesBackIdleCustomersAndTellsTheirOwnerOnce) {
    const qint64 wang = OperatorStore(c()).add("小王", role("业务员"), "", false);
    const QDateTime now(QDate(2026, 6, 30), QTime(12, 0));
    const struct {
        const char* name;
        int addedDaysAgo;
        int activityDaysAgo; // -1: none
        bool returned;
    } customers[] = {
        {"久未联系", 90, 40, true}, {"刚联系过", 90, 5, false},   {"新客户", 3, -1, false},
        {"从未联系", 60, -1, true}, {"已约未来", 90, -10, false},
    };
    for (const auto& cust : customers) {
        c().execute({"insert into Custom (Company, Owner, AddDate) values (?, ?, ?)",
                     {cust.name, wang, now.addDays(-cust.addedDaysAgo)}});
        if (cust.activityDaysAgo != -1)
            c().execute({"insert into T_Schedule (F_User, CustCode, AwokeDate, Awoke, Done) values "
                         "('小王', ?, ?, False, False)",
                         {c().lastInsertId(), now.addDays(-cust.activityDaysAgo)}});
    }
    EXPECT_EQ(Owners::returnIdleCustomers(c(), now), 0) << "off as delivered";
    EXPECT_EQ(errorOf([&] { Owners::setPoolReturnDays(c(), as("小王"), 30); }),
              "您的角色“业务员”不能管理操作员和角色。");
    Owners::setPoolReturnDays(c(), as("Admin"), 30);
    EXPECT_EQ(Owners::returnIdleCustomers(c(), now), 2);
    for (const auto& cust : customers)
        EXPECT_EQ(db.count("Owner is null and Company=?", {cust.name}), cust.returned ? 1 : 0)
            << cust.name;
    EXPECT_EQ(Owners::returnIdleCustomers(c(), now), 0) << "a second workstation finds nothing";
    EXPECT_EQ(Owners::takeReturnedNotice(c(), wang), QStringList({"久未联系", "从未联系"}));
    EXPECT_TRUE(Owners::takeReturnedNotice(c(), wang).isEmpty());
}

RUN_ON_EVERY_ENGINE(OperatorRules);

} // namespace
