#include "DataGridFixture.h"

#include "grid/ColumnLayout.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QHeaderView>
#include <QLayout>
#include <QLineEdit>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>

TEST_F(GridTest, ShowsOneAutomaticColumnPerFieldUntilItHasColumnsOfItsOwn) {
    addCustomers(2);
    openCustomers();
    ASSERT_FALSE(grid->hasOwnColumns());
    ASSERT_EQ(grid->columnCount(), query().fieldCount());
    EXPECT_EQ(grid->columnTitle(1), "Company");
    EXPECT_FALSE(grid->column(1).titleButton);

    addColumn("tel");
    EXPECT_EQ(columnFields(), QList<QString>{"tel"});
    EXPECT_EQ(grid->view()->model()->index(1, 0).data().toString(), "tel2");

    grid->clearColumns();
    EXPECT_EQ(grid->columnCount(), query().fieldCount());
}

TEST_F(GridTest, PlainTitleClicksCycleOneColumnAndNotifyAtOnce) {
    addCustomers(3);
    openCustomers();
    addColumn("Company");
    addColumn("Mobile");
    QSignalSpy changed(grid, &DataGrid::sortMarkingChanged);
    QObject::connect(grid, &DataGrid::sortMarkingChanged,
                     [&] { ApplySortMarkers(*grid, query()); });

    clickTitle(1);
    EXPECT_EQ(grid->column(1).sortMarker, smDownEh);
    EXPECT_EQ(companies().first(), "客户3"); // Mobile m0 comes first
    clickTitle(1);
    EXPECT_EQ(grid->column(1).sortMarker, smUpEh);
    clickTitle(1); // from smUpEh back to ascending
    EXPECT_EQ(grid->column(1).sortMarker, smDownEh);
    clickTitle(0);
    EXPECT_EQ(grid->column(1).sortMarker, smNoneEh);
    EXPECT_EQ(grid->sortMarkedColumns(), QList<int>{0});
    EXPECT_EQ(changed.count(), 4);
    EXPECT_EQ(query().sort(), "  Company");
}

TEST_F(GridTest, CtrlClicksNotifyOnceWhenCtrlIsReleased) {
    addCustomers(3);
    openCustomers();
    for (const char* f : {"Company", "tel", "Mobile"})
        addColumn(f);
    QSignalSpy changed(grid, &DataGrid::sortMarkingChanged);
    QObject::connect(grid, &DataGrid::sortMarkingChanged,
                     [&] { ApplySortMarkers(*grid, query()); });

    clickTitle(2, Qt::ControlModifier);
    clickTitle(0, Qt::ControlModifier);
    clickTitle(1, Qt::ControlModifier);
    EXPECT_EQ(changed.count(), 0);
    QTest::keyRelease(grid->view(), Qt::Key_Control);
    ASSERT_EQ(changed.count(), 1);
    EXPECT_EQ(grid->sortMarkedColumns(), (QList<int>{2, 0, 1}));
    EXPECT_EQ(query().sort(), "  Mobile, Company, tel");

    // Ctrl cycles none, down, up, none: the column leaves the list, the others keep order.
    clickTitle(2, Qt::ControlModifier);
    clickTitle(2, Qt::ControlModifier);
    QTest::keyRelease(grid->view(), Qt::Key_Control);
    EXPECT_EQ(grid->sortMarkedColumns(), (QList<int>{0, 1}));
    EXPECT_EQ(changed.count(), 2);
}

TEST_F(GridTest, CtrlClickIsReportedWhenTheGridLosesTheFocus) {
    openCustomers();
    addColumn("Company");
    auto* other = new QLineEdit(&window);
    window.layout()->addWidget(other);
    other->show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    QSignalSpy changed(grid, &DataGrid::sortMarkingChanged);
    clickTitle(0, Qt::ControlModifier);
    ASSERT_TRUE(grid->view()->hasFocus());
    EXPECT_EQ(changed.count(), 0);
    other->setFocus();
    EXPECT_EQ(changed.count(), 1);
    EXPECT_EQ(grid->column(0).sortMarker, smDownEh);
}

TEST_F(GridTest, OnlyButtonTitlesMarkAndOnlyWhenMarkingIsOn) {
    addCustomers(2);
    openCustomers();
    addColumn("Company", false);
    addColumn("tel");
    QSignalSpy changed(grid, &DataGrid::sortMarkingChanged);
    clickTitle(0);
    grid->setAutoSortMarking(false);
    clickTitle(1);
    EXPECT_EQ(changed.count(), 0);
    EXPECT_TRUE(grid->sortMarkedColumns().isEmpty());
}

TEST_F(GridTest, DraggingATitleMovesTheColumnAndIsNoClick) {
    addCustomers(2);
    openCustomers();
    for (const char* f : {"Company", "tel", "Mobile"})
        addColumn(f);
    grid->setColumn(2, [&] {
        GridColumn c = grid->column(2);
        c.width = 77;
        return c;
    }());
    QSignalSpy changed(grid, &DataGrid::sortMarkingChanged);

    dragTitle(2, titleCenter(0) - QPoint(40, 0));
    EXPECT_EQ(columnFields(), (QList<QString>{"Mobile", "Company", "tel"}));
    EXPECT_EQ(grid->column(0).width, 77);
    EXPECT_EQ(grid->view()->horizontalHeader()->sectionSize(0), 77);
    EXPECT_EQ(grid->view()->model()->index(0, 0).data().toString(), "m1");
    EXPECT_EQ(changed.count(), 0);

    dragTitle(1, titleCenter(1) + QPoint(3, 0)); // 3 pixels: still a click
    EXPECT_EQ(columnFields(), (QList<QString>{"Mobile", "Company", "tel"}));
    EXPECT_EQ(changed.count(), 1);
}

TEST_F(GridTest, ResizingATitleBorderChangesTheColumnWidth) {
    openCustomers();
    addColumn("Company");
    addColumn("tel");
    const int border = grid->view()->horizontalHeader()->sectionSize(0) - 1;
    const int y = grid->view()->horizontalHeader()->height() / 2;
    QTest::mousePress(titles(), Qt::LeftButton, {}, {border, y});
    QTest::mouseMove(titles(), {border + 30, y});
    QTest::mouseRelease(titles(), Qt::LeftButton, {}, {border + 30, y});
    EXPECT_EQ(grid->column(0).width, 150);
    EXPECT_EQ(columnFields(), (QList<QString>{"Company", "tel"}));
}

TEST_F(GridTest, FooterFollowsAppendsChangesAndDeletes) {
    addCustomers(3);
    openCustomers();
    const QList<QPair<QString, TFooterValueType>> footers = {
        {"Company", fvtStaticText}, {"tel", fvtCount}, {"CustCode", fvtSum}, {"Ghost", fvtSum}};
    for (const auto& [field, kind] : footers) {
        GridColumn c;
        c.fieldName = field;
        c.footerKind = kind;
        c.footerText = "总计";
        grid->addColumn(c);
    }
    auto footer = [&] {
        return QStringList{grid->footerValueText(0), grid->footerValueText(1),
                           grid->footerValueText(2), grid->footerValueText(3)};
    };
    EXPECT_EQ(footer(), (QStringList{"总计", "3", "6", "0"}));
    query().append({{"Company", "新客户"}});
    EXPECT_EQ(footer(), (QStringList{"总计", "4", "10", "0"}));
    query().setRecNo(0);
    query().remove();
    EXPECT_EQ(footer(), (QStringList{"总计", "3", "9", "0"}));
    EXPECT_EQ(grid->view()->model()->rowCount(), 3);
}

TEST_F(GridTest, ClicksMarkRowsAndKeyboardMovesClearThem) {
    addCustomers(8);
    openCustomers();
    addColumn("Company");
    clickRow(1);
    EXPECT_EQ(grid->markedRows(), QList<int>{1});
    EXPECT_EQ(query().recNo(), 1);
    clickRow(3, Qt::ControlModifier);
    EXPECT_EQ(grid->markedRows(), (QList<int>{1, 3}));
    clickRow(1, Qt::ControlModifier);
    EXPECT_EQ(grid->markedRows(), QList<int>{3});
    clickRow(5, Qt::ShiftModifier); // from the current row 1
    EXPECT_EQ(grid->markedRows(), (QList<int>{1, 2, 3, 4, 5}));
    EXPECT_EQ(query().recNo(), 5);

    QTest::keyClick(grid->view(), Qt::Key_Down);
    EXPECT_TRUE(grid->markedRows().isEmpty());
    EXPECT_EQ(query().recNo(), 6);
    EXPECT_EQ(grid->view()->currentIndex().row(), 6);
}

TEST_F(GridTest, MarksStayOnTheirRowsWhenRowsGoAndCome) {
    addCustomers(6);
    openCustomers();
    addColumn("Company");
    grid->setRowMarked(2, true);
    grid->setRowMarked(4, true);
    query().setRecNo(0);
    query().remove();
    EXPECT_EQ(grid->markedRows(), (QList<int>{1, 3}));
    query().append({{"Company", "末尾"}});
    EXPECT_EQ(grid->markedRows(), (QList<int>{1, 3}));

    // A title click re-sorts: the marks and the current cell go with their customers.
    QObject::connect(grid, &DataGrid::sortMarkingChanged,
                     [&] { ApplySortMarkers(*grid, query()); });
    query().setRecNo(2); // 客户4
    clickTitle(0);
    clickTitle(0); // descending: 末尾 客户6 客户5 客户4 客户3 客户2
    EXPECT_EQ(grid->markedRows(), (QList<int>{2, 4}));
    EXPECT_EQ(grid->markedRowsText(), "客户5\r\n客户3\r\n");
    EXPECT_EQ(query().recNo(), 3);
    EXPECT_EQ(grid->view()->currentIndex().row(), 3);

    openCustomers(); // a reopen is a new list: no marks carried over
    EXPECT_TRUE(grid->markedRows().isEmpty());
}

TEST_F(GridTest, CopiesMarkedRowsAsTabSeparatedLines) {
    addCustomers(3);
    program.exec("update Custom set memo2 = 'a' || char(13, 10) || 'b' where CustCode = 3");
    openCustomers();
    addColumn("Company");
    addColumn("memo2");
    QApplication::clipboard()->setText("before");
    QTest::keyClick(grid->view(), Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QApplication::clipboard()->text(), "before"); // nothing marked, nothing copied

    grid->setRowMarked(2, true);
    grid->setRowMarked(0, true);
    QTest::keyClick(grid->view(), Qt::Key_Insert, Qt::ControlModifier);
    EXPECT_EQ(QApplication::clipboard()->text(), "客户1\t\r\n客户3\ta  b\r\n");
}

TEST_F(GridTest, CtrlAReachesTheWindowInsteadOfMarkingAllRows) {
    addCustomers(4);
    openCustomers();
    addColumn("Company");
    QAction add("新增", &window);
    add.setShortcut(QKeySequence(Qt::CTRL | Qt::Key_A));
    add.setShortcutContext(Qt::ApplicationShortcut);
    window.addAction(&add);
    QSignalSpy triggered(&add, &QAction::triggered);
    clickRow(1);
    QTest::keyClick(grid->view(), Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(triggered.count(), 1);
    EXPECT_EQ(grid->markedRows(), QList<int>{1});
}

TEST_F(GridTest, KeysAndDoubleClicksGoToTheOwnerAndChangeNoCell) {
    addCustomers(2);
    openCustomers();
    addColumn("Company");
    QSignalSpy keys(grid, &DataGrid::keyDown);
    QSignalSpy doubleClicks(grid, &DataGrid::rowDoubleClicked);
    QTest::keyClick(grid->view(), Qt::Key_Delete, Qt::ShiftModifier);
    ASSERT_FALSE(keys.isEmpty()); // Shift itself is a key pressed in the grid too
    EXPECT_EQ(keys.last().at(0).toInt(), int(Qt::Key_Delete));
    EXPECT_EQ(keys.last().at(1).value<Qt::KeyboardModifiers>(), Qt::ShiftModifier);
    QTest::mouseDClick(cells(), Qt::LeftButton, {}, cellCenter(1));
    EXPECT_EQ(doubleClicks.count(), 1);
    EXPECT_EQ(query().recordCount(), 2);
    EXPECT_EQ(companies(), (QStringList{"客户1", "客户2"}));
}

TEST_F(GridTest, CurrentRowIsTheQuerysBothWays) {
    addCustomers(5);
    openCustomers();
    addColumn("Company");
    query().setRecNo(3);
    EXPECT_EQ(grid->view()->currentIndex().row(), 3);
    clickRow(1);
    EXPECT_EQ(query().recNo(), 1);
    query().setSort("Company DESC"); // the current customer stays current
    EXPECT_EQ(grid->view()->currentIndex().row(), query().recNo());
    EXPECT_EQ(companies().at(query().recNo()), "客户2");
}

TEST_F(GridTest, EllipsisButtonIsDrawnButInert) {
    addCustomers(3);
    openCustomers();
    GridColumn c;
    c.fieldName = "Company";
    c.width = 150;
    c.alwaysShowEditButton = true;
    grid->addColumn(c);
    const QRect cell = grid->view()->visualRect(grid->view()->model()->index(2, 0));
    QTest::mouseClick(cells(), Qt::LeftButton, {}, QPoint(cell.right() - 4, cell.center().y()));
    EXPECT_EQ(query().recNo(), 0);
    EXPECT_TRUE(grid->markedRows().isEmpty());
}

TEST_F(GridTest, FrozenWalkKeepsCurrentRowAndScrollPosition) {
    addCustomers(300);
    openCustomers();
    addColumn("Company");
    query().setRecNo(150);
    QScrollBar* bar = grid->view()->verticalScrollBar();
    const int scrolled = bar->value();
    ASSERT_GT(scrolled, 0);
    grid->beginUpdate();
    grid->beginUpdate();
    for (query().first(); !query().eof(); query().next()) {
    }
    grid->endUpdate();
    grid->endUpdate();
    EXPECT_EQ(query().recNo(), 150);
    EXPECT_EQ(grid->view()->currentIndex().row(), 150);
    EXPECT_EQ(bar->value(), scrolled);
}
