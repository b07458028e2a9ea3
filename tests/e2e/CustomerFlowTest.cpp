#include "tests/e2e/ProgramRun.h"
#include "tests/support/SearchWait.h"
#include "tests/support/WriteWait.h"

#include "customers/RecordNavigator.h"
#include "customers/U_AddCust.h"
#include "customers/U_Custom.h"
#include "grid/DataGrid.h"

#include <QComboBox>
#include <QLineEdit>
#include <QMdiSubWindow>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableView>
#include <QTest>

namespace {

const QString kObrien = QStringLiteral("O'Brien Trading");
const QString kChinese = QStringLiteral("北京华盛科技有限公司");
const QString kAcme = QStringLiteral("Acme Ltd");

// Replaces a box's text the way a user does: select everything, then type over it.
void typeOver(QLineEdit* box, const QString& text) {
    QTest::keyClick(box, Qt::Key_End);
    QTest::keyClick(box, Qt::Key_Home, Qt::ShiftModifier);
    QTest::keyClicks(box, text);
}

void eraseTyped(QLineEdit* box, int count) {
    for (int i = 0; i < count; ++i)
        QTest::keyClick(box, Qt::Key_Backspace);
}

END_TO_END_ON_EVERY_ENGINE(EndToEnd);

} // namespace

TEST_P(EndToEnd, AdminLogsInWithAnEmptyPasswordAndMeetsTheCustomerList) {
    start([&](TFrm_Main& main) {
        EXPECT_TRUE(main.isMaximized());
        EXPECT_EQ(main.windowTitle(), QStringLiteral("客户管理系统V1.0"));
        EXPECT_EQ(main.panelText(0), QStringLiteral(" 当前操作员: Admin"));
        EXPECT_EQ(main.panelText(1), QStringLiteral("当前共有 0 条客户记录"));
        TFrm_Custom* list = main.customerList();
        ASSERT_TRUE(list->isVisible());
        auto* frame = qobject_cast<QMdiSubWindow*>(list->parentWidget());
        ASSERT_NE(frame, nullptr);
        EXPECT_TRUE(frame->isMaximized());
        EXPECT_EQ(gridColumnFields(*list->Grid_Cust),
                  (QStringList{"Company", "tel", "Mobile", "OtherInfo", "AddDate", "memo2"}));
        EXPECT_EQ(list->Combo_Type->currentText(), QStringLiteral("客户名称"));
    });
    EXPECT_TRUE(messages.shown.isEmpty()) << messages.texts().join('\n').toStdString();
    EXPECT_EQ(config(), "[login]\nusername=0\n");
}

TEST_P(EndToEnd, CustomersAreAddedSearchedEditedBrowsedAndDeletedThroughTheWindows) {
    start([&](TFrm_Main& main) {
        TFrm_Custom& list = *main.customerList();
        DataGrid& grid = *list.Grid_Cust;
        ASSERT_TRUE(QTest::qWaitForWindowActive(&main));
        grid.view()->setFocus();

        // Three new customers in one sitting of the editor; a taken name is refused.
        onNextModal<TFrm_AddCust>(
            [&](TFrm_AddCust* editor) {
                EXPECT_EQ(editor->windowTitle(), QStringLiteral("添加客户信息"));
                QTest::keyClicks(editor->Edit_CustName, kObrien);
                QTest::keyClicks(editor->Edit_Mobile, "13800001111");
                clickAndWait(editor->Btn_OK, main.data());
                EXPECT_TRUE(editor->Edit_CustName->text().isEmpty()) << "ready for the next";
                commitText(editor->Edit_CustName, kChinese);
                QTest::keyClicks(editor->Edit_tel, "010-62345678");
                QTest::keyClicks(editor->Memo1, "line one");
                QTest::keyClick(editor->Memo1, Qt::Key_Return);
                commitText(editor->Memo1, QStringLiteral("第二行"));
                clickAndWait(editor->Btn_OK, main.data());
                QTest::keyClicks(editor->Edit_CustName, kAcme);
                clickAndWait(editor->Btn_OK, main.data());
                QTest::keyClicks(editor->Edit_CustName, "o'brien trading");
                clickAndWait(editor->Btn_OK, main.data());
                EXPECT_EQ(messages.last().text, QStringLiteral("客户名称有重复!"));
                editor->Btn_Cancel->click();
            },
            "the editor in add mode");
        QTest::keyClick(grid.view(), Qt::Key_A, Qt::ControlModifier);
        EXPECT_EQ(gridTexts(grid, 0), (QStringList{kObrien, kChinese, kAcme}));
        EXPECT_EQ(db("select Company, tel, Mobile, memo2 from Custom order by CustCode"),
                  (QList<QStringList>{{kObrien, "", "13800001111", ""},
                                      {kChinese, "010-62345678", "", "line one\r\n第二行"},
                                      {kAcme, "", "", ""}}));

        // Search as you type, quotes and Chinese included.
        list.Edit_Key->setFocus();
        QTest::keyClicks(list.Edit_Key, "brien");
        waitForSearch(list);
        EXPECT_EQ(gridTexts(grid, 0), QStringList{kObrien});
        EXPECT_EQ(main.panelText(1), QStringLiteral("当前共有 1 条客户记录"));
        EXPECT_EQ(grid.footerValueText(0), QStringLiteral("总计"));
        EXPECT_EQ(grid.footerValueText(1), "1");
        eraseTyped(list.Edit_Key, 5);
        waitForSearch(list);
        EXPECT_EQ(gridTexts(grid, 0).size(), 3);
        QTest::keyClicks(list.Edit_Key, "o'b");
        waitForSearch(list);
        EXPECT_EQ(gridTexts(grid, 0), QStringList{kObrien});
        eraseTyped(list.Edit_Key, 3);
        commitText(list.Edit_Key, QStringLiteral("华盛"));
        QTest::keyClick(list.Edit_Key, Qt::Key_Return);
        waitForSearch(list);
        EXPECT_EQ(gridTexts(grid, 0), QStringList{kChinese});
        eraseTyped(list.Edit_Key, 2);
        waitForSearch(list);
        ASSERT_EQ(gridTexts(grid, 0).size(), 3);
        EXPECT_EQ(main.panelText(1), QStringLiteral("当前共有 3 条客户记录"));

        // Edit one, then browse with the navigator: the list follows every move.
        const int mobileColumn = gridColumnFields(grid).indexOf("Mobile");
        onNextModal<TFrm_AddCust>(
            [&](TFrm_AddCust* editor) {
                EXPECT_EQ(editor->windowTitle(), QStringLiteral("编辑客户信息"));
                EXPECT_EQ(editor->Edit_CustName->text(), kObrien);
                typeOver(editor->Edit_Mobile, "13912345678");
                clickAndWait(editor->Btn_OK, main.data());
                EXPECT_EQ(gridTexts(grid, mobileColumn).first(), "13912345678");
                RecordNavigator* nav = editor->DBNavigator1;
                nav->button(RecordNavigator::nbNext)->click();
                EXPECT_EQ(editor->Edit_CustName->text(), kChinese);
                EXPECT_EQ(grid.view()->currentIndex().row(), 1);
                nav->button(RecordNavigator::nbLast)->click();
                EXPECT_EQ(editor->Edit_CustName->text(), kAcme);
                EXPECT_EQ(grid.view()->currentIndex().row(), 2);
                EXPECT_FALSE(nav->button(RecordNavigator::nbNext)->isEnabled());
                nav->button(RecordNavigator::nbFirst)->click();
                EXPECT_EQ(editor->Edit_CustName->text(), kObrien);
                EXPECT_EQ(grid.view()->currentIndex().row(), 0);
                editor->Btn_Cancel->click();
            },
            "the editor in edit mode");
        // A double-click as the rows change may have begun on the old ones; a moment later counts.
        QTest::qWait(QApplication::doubleClickInterval());
        doubleClickRow(grid, gridRowOf(grid, kObrien));
        EXPECT_EQ(db("select Mobile from Custom where Company like 'O''Brien%'"),
                  QList<QStringList>{{"13912345678"}});

        // Delete asks first; No keeps the customer, Yes removes it.
        clickRow(grid, gridRowOf(grid, kAcme));
        messages.answers << mbNo;
        QTest::keyClick(grid.view(), Qt::Key_Delete);
        waitForWrites(main.data());
        EXPECT_EQ(messages.last().text, QStringLiteral("确定要删除客户记录吗！"));
        EXPECT_EQ(messages.last().caption, QStringLiteral("警告"));
        EXPECT_EQ(messages.last().buttons, mbYes | mbNo);
        EXPECT_EQ(gridTexts(grid, 0).size(), 3);
        messages.answers << mbYes;
        QTest::keyClick(grid.view(), Qt::Key_Delete);
        waitForWrites(main.data());
        EXPECT_EQ(gridTexts(grid, 0), (QStringList{kObrien, kChinese}));
    });
    EXPECT_EQ(db("select Company from Custom order by CustCode"),
              (QList<QStringList>{{kObrien}, {kChinese}}));
    EXPECT_EQ(messages.texts(), (QStringList{QStringLiteral("客户名称有重复!"),
                                             QStringLiteral("确定要删除客户记录吗！"),
                                             QStringLiteral("确定要删除客户记录吗！")}));
    EXPECT_EQ(config(), "[login]\nusername=0\n");
}
