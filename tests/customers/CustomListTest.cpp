#include "CustomerTestSupport.h"

#include "customers/CustomerCommands.h"
#include "grid/DataGrid.h"
#include "grid/U_Preview.h"

#include <QComboBox>
#include <QContextMenuEvent>
#include <QCursor>
#include <QHeaderView>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTableView>
#include <QTest>

namespace {

class CustomList : public CustomerFixture {
  protected:
    // A search through the window as the operator starts it: field title, keyword, click.
    void search(const QString& title, const QString& keyword) {
        list->Combo_Type->setCurrentIndex(list->Combo_Type->findText(title));
        list->Edit_Key->setText(keyword);
        list->Btn_S_Cust->click();
        waitForSearch(*list);
    }
    int shownRows() const { return data->Qry_Cust.recordCount(); }
};

TEST_F(CustomList, OpeningShowsAllCustomersCountFootersAndEverySearchField) {
    TFrm_Custom& w = openList();
    EXPECT_EQ(w.windowTitle(), "客户信息");
    EXPECT_EQ(counts, QStringList{"当前共有 3 条客户记录"});
    EXPECT_EQ(w.Grid_Cust->footerValueText(0), "总计");
    EXPECT_EQ(w.Grid_Cust->footerValueText(1), "3");
    QStringList fields;
    for (int i = 0; i < w.Combo_Type->count(); ++i)
        fields << w.Combo_Type->itemText(i);
    // Hidden columns are searchable too, in the table's order.
    EXPECT_EQ(fields, (QStringList{"客户名称", "联系电话", "手机号码", "合同编号", "添加时间",
                                   "详细说明", "客户编号", "客户介绍", "负责人"}));
    EXPECT_EQ(w.Combo_Type->currentIndex(), 0);
    EXPECT_EQ(w.Grid_Cust->toolTip(), "点击右键,显示出功能菜单.");
    QStringList menu;
    for (QAction* a : w.Menu_Cust->actions())
        menu << (a->isSeparator() ? "-" : a->text());
    EXPECT_EQ(menu, (QStringList{"新增&A", "编辑&E", "删除&D", "打印", "-", "刷新", "-",
                                 "设置列显示", "保存列属性", "-", "导出数据"}));
    EXPECT_EQ(w.N9->actions(), QList<QAction*>{&exportCsv});
    EXPECT_EQ(w.BitBtn1->text(), "新增&A");
    w.BitBtn1->click();
    EXPECT_EQ(runs[&addCust], 1);
    delCust.setEnabled(false);
    EXPECT_FALSE(w.BitBtn3->isEnabled());
}

TEST_F(CustomList, SearchKeepsWildcardsBlanksAndQuotesAndLeavesNullsOut) {
    openList();
    search("联系电话", "");
    EXPECT_EQ(shownRows(), 2) << "a Null telephone never matches";
    EXPECT_EQ(counts.last(), "当前共有 2 条客户记录");
    EXPECT_EQ(list->Grid_Cust->footerValueText(0), "总计");
    EXPECT_EQ(list->Grid_Cust->footerValueText(1), "2");
    search("客户名称", "1_0");
    EXPECT_EQ(shownRows(), 1);
    search("客户名称", "[ab]C");
    ASSERT_EQ(shownRows(), 1);
    EXPECT_EQ(data->Qry_Cust.asString("Company"), "Acme 公司");
    search("客户名称", " 100");
    EXPECT_EQ(shownRows(), 1) << "the blank before the keyword is part of it";
    search("客户名称", "  100");
    EXPECT_EQ(shownRows(), 0);
    search("合同编号", "O'B");
    EXPECT_EQ(shownRows(), 1);
    search("客户编号", "");
    EXPECT_EQ(shownRows(), 3) << "a hidden number column is searched by its text";
    EXPECT_TRUE(messages.shown.isEmpty());
}

TEST_F(CustomList, EveryKeyReleasedSearchesAndEnterSearchesTwice) {
    openList();
    counts.clear();
    bool busy = false;
    duringCount = [&] {
        busy = !list->Btn_S_Cust->isEnabled() && QApplication::overrideCursor() &&
               QApplication::overrideCursor()->shape() == Qt::WaitCursor;
    };
    QTest::keyClick(list->Edit_Key, Qt::Key_1);
    waitForSearch(*list);
    EXPECT_TRUE(busy) << "hourglass and a disabled button while the search runs";
    EXPECT_TRUE(list->Btn_S_Cust->isEnabled());
    EXPECT_EQ(counts.size(), 1);
    EXPECT_EQ(shownRows(), 1) << "only 北京 100% has a '1' in its name";
    QTest::keyClick(list->Edit_Key, Qt::Key_Left);
    waitForSearch(*list);
    EXPECT_EQ(counts.size(), 2);
    // The search of the key going up finds the same search of the key going down on its way.
    QTest::keyClick(list->Edit_Key, Qt::Key_Return);
    waitForSearch(*list);
    EXPECT_EQ(counts.size(), 3);
}

TEST_F(CustomList, TypingShowsTheLatestTextAndNothingActsOnARowNoLongerShown) {
    openList();
    counts.clear();
    QTest::keyClicks(list->Edit_Key, "tra"); // three searches, each overtaking the one before
    waitForSearch(*list);
    ASSERT_EQ(shownRows(), 1);
    EXPECT_EQ(data->Qry_Cust.asString("Company"), "[x] trade");
    EXPECT_EQ(counts.last(), "当前共有 1 条客户记录");
    EXPECT_LE(counts.size(), 3);

    // A row deleted while a search is on its way is missing from the result that shows.
    search("客户名称", "");
    list->Edit_Key->setText("e");
    list->Btn_S_Cust->click();
    ASSERT_TRUE(list->searching());
    data->Qry_Cust.setRecNo(0);
    const QString removed = data->Qry_Cust.asString("Company");
    data->Qry_Cust.remove();
    waitForSearch(*list);
    for (int row = 0; row < shownRows(); ++row)
        EXPECT_NE(data->Qry_Cust.displayText(row, data->Qry_Cust.fieldByName("Company")), removed);
    EXPECT_EQ(shownRows(), customerRows("Company like '%e%'"));

    // A double-click just as a new result shows may have begun on the rows it replaced.
    QTableView* view = list->Grid_Cust->view();
    const QPoint cell = view->visualRect(view->model()->index(0, 0)).center();
    search("客户名称", "");
    QMouseEvent second(QEvent::MouseButtonDblClick, cell, view->viewport()->mapToGlobal(cell),
                       Qt::LeftButton, Qt::LeftButton, {});
    QApplication::sendEvent(view->viewport(), &second);
    EXPECT_EQ(runs[&editCust], 0);
    QTest::qWait(QApplication::doubleClickInterval()); // the next click starts afresh
    QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, cell);
    EXPECT_EQ(runs[&editCust], 1) << "one on the rows shown works";
}

TEST_F(CustomList, NoSearchFieldsAsksForOne) {
    program.exec("DELETE FROM T_FieldShow WHERE TableName='Custom'");
    openList();
    EXPECT_EQ(list->Combo_Type->count(), 0);
    QTest::keyClick(list->Edit_Key, Qt::Key_A);
    list->Btn_S_Cust->click();
    ASSERT_EQ(messages.shown.size(), 2);
    EXPECT_EQ(messages.last().text, "请选择一种查询条件进行查询！");
    EXPECT_EQ(messages.last().caption, "提示");
    EXPECT_EQ(messages.last().icon, MsgIcon::Information);
    EXPECT_EQ(messages.last().owner, list.data());
    EXPECT_EQ(shownRows(), 3);
}

TEST_F(CustomList, FailingSearchShowsTheErrorAndReleasesButtonAndCursor) {
    program.exec("INSERT INTO T_FieldShow (TableName, Name, Field, show) "
                 "VALUES ('Custom', '坏字段', 'NoSuchField', 0)");
    openList();
    search("坏字段", "x");
    ASSERT_EQ(messages.shown.size(), 1);
    EXPECT_EQ(messages.last().icon, MsgIcon::Error);
    EXPECT_TRUE(list->Btn_S_Cust->isEnabled());
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    EXPECT_FALSE(data->Qry_Cust.isActive()) << "the list is empty until a search succeeds";
    EXPECT_EQ(list->Grid_Cust->view()->model()->rowCount(), 0);
    search("客户名称", "Acme");
    EXPECT_EQ(shownRows(), 1) << "the next search works";
}

TEST_F(CustomList, RefreshRepeatsTheSearchAndShowsItsCount) {
    openList();
    search("客户名称", "a");
    program.exec("INSERT INTO Custom (Company) VALUES ('Zeta a')");
    list->N6->trigger();
    EXPECT_EQ(shownRows(), 3) << "Acme, [x] trade and the new one";
    EXPECT_EQ(counts.last(), "当前共有 3 条客户记录");
    EXPECT_EQ(list->Grid_Cust->footerValueText(0), "总计");
    EXPECT_EQ(list->Grid_Cust->footerValueText(1), "3");
}

TEST_F(CustomList, FewerThanTwoColumnsGetWhatFootersFit) {
    program.exec("UPDATE T_FieldShow SET show=0 WHERE TableName='Custom' AND Field<>'Company'");
    openList();
    ASSERT_EQ(list->Grid_Cust->columnCount(), 1);
    EXPECT_EQ(list->Grid_Cust->footerValueText(0), "3");
    program.exec("UPDATE T_FieldShow SET show=0 WHERE TableName='Custom'");
    search("客户名称", "");
    EXPECT_EQ(list->Grid_Cust->columnCount(), 1) << "a keystroke keeps the layout it read";
    list->N6Click(); // a refresh reads it anew
    search("客户名称", "");
    EXPECT_FALSE(list->Grid_Cust->hasOwnColumns());
    EXPECT_TRUE(messages.shown.isEmpty());
}

TEST_F(CustomList, DoubleClickAndDeleteRunTheActionsOnlyWhenEnabled) {
    openList();
    QTableView* view = list->Grid_Cust->view();
    const QPoint cell = view->visualRect(view->model()->index(0, 0)).center();
    QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, cell);
    EXPECT_EQ(runs[&editCust], 1);
    QTest::keyClick(view, Qt::Key_Delete, Qt::ShiftModifier);
    EXPECT_EQ(runs[&delCust], 1) << "modifier keys are not looked at";
    editCust.setEnabled(false);
    delCust.setEnabled(false);
    QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, cell);
    QTest::keyClick(view, Qt::Key_Delete);
    EXPECT_EQ(runs[&editCust], 1);
    EXPECT_EQ(runs[&delCust], 1);
}

TEST_F(CustomList, CtrlAInTheGridAddsAndF5Refreshes) {
    openList();
    list->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(list));
    QTableView* view = list->Grid_Cust->view();
    view->setFocus();
    QTest::keyClick(view, Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(runs[&addCust], 1);
    EXPECT_TRUE(list->Grid_Cust->markedRows().isEmpty()) << "Ctrl+A selects nothing";
    program.exec("INSERT INTO Custom (Company) VALUES ('new')");
    QTest::keyClick(view, Qt::Key_F5);
    EXPECT_EQ(shownRows(), 4);
}

TEST_F(CustomList, RightClickMenuAndTitleClickSort) {
    openList();
    QTableView* view = list->Grid_Cust->view();
    QContextMenuEvent menu(QContextMenuEvent::Mouse, QPoint(5, 5),
                           view->viewport()->mapToGlobal(QPoint(5, 5)));
    QApplication::sendEvent(view->viewport(), &menu);
    EXPECT_TRUE(list->Menu_Cust->isVisible());
    list->Menu_Cust->hide();
    QHeaderView* titles = view->horizontalHeader();
    const QPoint title(titles->sectionViewportPosition(0) + 5, titles->height() / 2);
    QTest::mouseClick(titles->viewport(), Qt::LeftButton, {}, title);
    EXPECT_EQ(data->Qry_Cust.sort().simplified(), "Company");
    EXPECT_EQ(data->Qry_Cust.asString("Company"), "Acme 公司") << "the current row stays";
}

// Right-clicking a row, as the mouse does it, makes that row current before the menu acts,
// whichever row was current before, also in a sorted list: 删除 deletes the customer clicked,
// and its question stays as it is.
TEST_F(CustomList, RightClickMakesItsRowCurrentBeforeTheMenuActs) {
    openList();
    QObject::connect(&delCust, &QAction::triggered,
                     [this] { DelCustExecute(*data, messages, list); });
    QTableView* view = list->Grid_Cust->view();
    const auto rightClick = [&](int row) {
        const QPoint at = view->visualRect(view->model()->index(row, 1)).center();
        QTest::mouseClick(view->viewport(), Qt::RightButton, {}, at);
        QContextMenuEvent menu(QContextMenuEvent::Mouse, at, view->viewport()->mapToGlobal(at));
        QApplication::sendEvent(view->viewport(), &menu);
        EXPECT_TRUE(list->Menu_Cust->isVisible());
        list->Menu_Cust->hide();
    };
    const struct {
        const char* sort; // a title clicked first ("" for none)
        int current, clicked;
    } cases[] = {{"", 0, 2}, {"", 2, 1}, {"Company", 0, 2}};
    for (const auto& c : cases) {
        if (*c.sort)
            data->Qry_Cust.setSort(c.sort);
        data->Qry_Cust.setRecNo(c.current);
        rightClick(c.clicked);
        EXPECT_EQ(data->Qry_Cust.recNo(), c.clicked) << c.sort << c.current;
        EXPECT_EQ(view->currentIndex().row(), c.clicked);
    }
    const int before = customerRows();
    data->Qry_Cust.setRecNo(0);
    const QString doomed = data->Qry_Cust.displayText(2, data->Qry_Cust.fieldByName("Company"));
    rightClick(2);
    messages.answers = {mbYes};
    delCust.trigger();
    ASSERT_FALSE(messages.shown.isEmpty());
    EXPECT_EQ(messages.shown.first().text, "确定要删除客户记录吗！");
    EXPECT_EQ(customerRows(), before - 1);
    EXPECT_EQ(customerRows("Company='" + QString(doomed).replace("'", "''") + "'"), 0)
        << doomed.toStdString();
}

TEST_F(CustomList, MenuItemsReachChooserPrintAndLayoutSave) {
    openList();
    list->N10->trigger();
    ASSERT_NE(previews.window(), nullptr);
    EXPECT_TRUE(previews.window()->isVisible());
    list->N441->trigger();
    EXPECT_EQ(chooserRuns, 1);
    list->N25->trigger();
    ASSERT_EQ(messages.shown.size(), 1);
    EXPECT_EQ(messages.last().text, "列属性已成功保存!");
}

TEST_F(CustomList, ClosingFreesTheWindowAndLeavesTheQueryToTheActions) {
    openList();
    search("客户名称", "Acme");
    list->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(list.isNull());
    EXPECT_EQ(shownRows(), 1);
}

} // namespace
