#include "statistics/U_Statistics.h"
#include "tests/app/AppTestSupport.h"

#include <QAction>
#include <QComboBox>
#include <QTest>
#include <QToolBar>
#include <QToolButton>

namespace {

class StatisticsCommandTest : public ShellTest {};

// 统计 opens its window beside the list, grouping by the owner and the list's own columns; a
// click on a group lists exactly its customers in the customer list.
TEST_F(StatisticsCommandTest, ClickedGroupsListExactlyTheirCustomers) {
    program.exec("insert into Custom (Company, OtherInfo) values ('a', 'VIP'), ('b', 'vip'), "
                 "('c', 'Vip'), ('d', '批发'), ('e', ''), ('f', null), ('g', '批发')");
    main->show();
    bool onToolbar = false;
    for (auto* button : main->ToolBar1->findChildren<QToolButton*>())
        onToolbar = onToolbar || button->defaultAction() == main->ShowStatistics;
    EXPECT_TRUE(onToolbar);
    main->ShowStatistics->trigger();
    TFrm_Statistics* window = main->findChild<TFrm_Statistics*>();
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window->Combo_Column->itemData(0).toString(), "Owner"); // counted first, by name
    ASSERT_GE(window->Combo_Column->findData("OtherInfo"), 0);
    EXPECT_EQ(window->Combo_Column->findData("memo2"), -1); // free texts make no groups
    window->Combo_Column->setCurrentIndex(window->Combo_Column->findData("OtherInfo"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !window->counting(); }, 20000));

    const struct {
        QString label;
        int customers;
    } groups[] = {{"VIP", 3}, {"批发", 2}, {"（空）", 2}};
    const Stats::StatTable& table = window->CustomersBy->table();
    ASSERT_EQ(table.rows.size(), std::size(groups));
    for (const auto& group : groups) {
        SCOPED_TRACE(group.label.toStdString());
        int row = 0;
        while (row < int(table.rows.size()) && table.rows[size_t(row)].label != group.label)
            ++row;
        ASSERT_LT(row, int(table.rows.size()));
        EXPECT_EQ(table.rows[size_t(row)].values[0], group.customers);
        window->CustomersBy->showCustomersOf(row, 0);
        ASSERT_TRUE(QTest::qWaitFor([&] { return !main->customerList()->searching(); }, 20000));
        EXPECT_EQ(data->Qry_Cust.recordCount(), group.customers);
    }
    EXPECT_TRUE(messages.shown.isEmpty()) << messages.texts().join('\n').toStdString();
}

} // namespace
