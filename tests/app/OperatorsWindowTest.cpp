#include "app/U_Operators.h"
#include "customers/U_Custom.h"
#include "data/Roles.h"
#include "tests/app/AppTestSupport.h"

#include <QCheckBox>
#include <QListWidget>
#include <QMenu>
#include <QTableWidget>
#include <QToolButton>

namespace {

class OperatorsWindowTest : public ShellTest {
  protected:
    void logIn(const QString& name) {
        data->rights = Roles::rightsOf(*data->ADOConnection1, loggedIn(name).key, name);
    }
    qint64 role(const QString& name) {
        return OperatorStore(*data->ADOConnection1).roleIdByName(name);
    }
    QStringList shown(const TFrm_Operators& window) const {
        QStringList rows;
        for (int r = 0; r < window.Grid_Operators->rowCount(); ++r)
            rows << window.Grid_Operators->item(r, 0)->text() + "|" +
                        window.Grid_Operators->item(r, 1)->text() + "|" +
                        window.Grid_Operators->item(r, 2)->text();
        return rows;
    }
};

// The manager works through the window; each refusal is told and the list shows the
// database as it is.
TEST_F(OperatorsWindowTest, TheManagerAddsChangesAndRemovesOperatorsWithinTheRules) {
    logIn("Admin");
    TFrm_Operators window(*data, messages);
    const qint64 admin = loggedIn("Admin").key;
    const struct {
        const char* what;
        std::function<bool()> act;
        QString refusal; // empty: done
        QStringList rows;
    } steps[] = {
        {"add",
         [&] { return window.addOperator("小王", role("业务员"), "pw", true); },
         {},
         {"Admin|管理员|启用", "小王|业务员|启用"}},
        {"same name",
         [&] { return window.addOperator("小王", role("业务员"), "", false); },
         "已经有名为“小王”的操作员。",
         {"Admin|管理员|启用", "小王|业务员|启用"}},
        {"disable oneself",
         [&] { return window.setEnabled(admin, false); },
         "您不能停用自己。",
         {"Admin|管理员|启用", "小王|业务员|启用"}},
        {"demote the last manager",
         [&] { return window.changeRole(admin, role("业务员")); },
         "至少要保留一位可以管理操作员的已启用操作员。",
         {"Admin|管理员|启用", "小王|业务员|启用"}},
        {"disable another",
         [&] { return window.setEnabled(loggedIn("小王").key, false); },
         {},
         {"Admin|管理员|启用", "小王|业务员|停用"}},
        {"delete one who holds nothing",
         [&] { return window.deleteOperator(loggedIn("小王").key); },
         {},
         {"Admin|管理员|启用"}},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(step.what);
        messages.clear();
        EXPECT_EQ(step.act(), step.refusal.isEmpty());
        EXPECT_EQ(messages.texts(),
                  step.refusal.isEmpty() ? QStringList() : QStringList{step.refusal});
        EXPECT_EQ(shown(window), step.rows);
    }
    // The role editor's ticks are the role's permissions, and the manager's last right stays.
    TFrm_Roles roles(*data, messages);
    roles.List_Roles->setCurrentRow(0);
    for (QCheckBox* check : roles.Checks)
        EXPECT_TRUE(check->isChecked());
    roles.Checks[8]->setChecked(false); // 管理操作员和角色
    messages.clear();
    EXPECT_FALSE(roles.save());
    EXPECT_EQ(messages.texts(), QStringList{"至少要保留一位可以管理操作员的已启用操作员。"});
    EXPECT_TRUE(roles.Checks[8]->isChecked());
}

// A salesperson's window: what the role does not allow is disabled and says why, and the
// operator window is not offered.
TEST_F(OperatorsWindowTest, CommandsTheRoleDoesNotAllowAreDisabledWithTheReason) {
    OperatorStore(*data->ADOConnection1).add("小王", role("业务员"), "", false);
    for (const QString name : {"小王", "Admin"}) {
        SCOPED_TRACE(name.toStdString());
        logIn(name);
        TFrm_Main window(*data, messages);
        window.show();
        const bool manager = name == "Admin";
        EXPECT_EQ(window.TB_Operators->isVisible(), manager);
        for (QAction* action : {window.DelCust, window.ExportCustCSV, window.ImportCust,
                                window.ShowField_Cust, window.BackupDB})
            EXPECT_EQ(action->isEnabled(), manager) << action->text().toStdString();
        EXPECT_TRUE(window.AddCust->isEnabled());
        ASSERT_NE(window.customerList(), nullptr);
        EXPECT_TRUE(window.customerList()->N10->isEnabled()) << "both may print";
        EXPECT_EQ(window.customerList()->N441->isEnabled(), manager);
        if (!manager)
            EXPECT_EQ(window.DelCust->toolTip(), "您的角色“业务员”不能删除客户");
        window.close();
    }
}

} // namespace
