#include "tests/e2e/ProgramRun.h"
#include "tests/support/WriteWait.h"

#include "customers/U_AddCust.h"
#include "customers/U_Custom.h"
#include "data/U_Data.h"
#include "grid/DataGrid.h"
#include "grid/U_Field.h"

#include <QAction>
#include <QHeaderView>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTableView>
#include <QTest>
#include <QToolButton>

namespace {

class Layouts : public EndToEnd {
  protected:
    void SetUp() override {
        exec("insert into Custom (Company, tel, Mobile) values "
             "('Mid Co', '020-2', '139'), ('Alpha', '010-1', '137'), "
             "('Zeta 公司', '021-3', '138')");
    }
    // Column order and width of the shown rows of the customer list, as stored.
    QList<QStringList> storedLayout() const {
        return db("select Field, ShowID, Width from T_FieldShow "
                  "where TableName='Custom' and show=1 order by ShowID");
    }
    static int columnWidth(DataGrid& grid, int column) {
        return grid.view()->horizontalHeader()->sectionSize(
            grid.view()->horizontalHeader()->logicalIndex(column));
    }
};

// Widens a column by dragging the right border of its title.
void dragTitleBorder(DataGrid& grid, int column, int by) {
    QHeaderView* header = grid.view()->horizontalHeader();
    const int logical = header->logicalIndex(column);
    const QPoint border(header->sectionViewportPosition(logical) + header->sectionSize(logical) - 1,
                        header->height() / 2);
    QTest::mousePress(titlesOf(grid), Qt::LeftButton, {}, border);
    QTest::mouseMove(titlesOf(grid), border + QPoint(by / 2, 0));
    QTest::mouseMove(titlesOf(grid), border + QPoint(by, 0));
    QTest::mouseRelease(titlesOf(grid), Qt::LeftButton, {}, border + QPoint(by, 0));
}

END_TO_END_ON_EVERY_ENGINE(Layouts);

} // namespace

TEST_P(Layouts, HiddenColumnGoesAfterF5AndADraggedLayoutOutlivesARestart) {
    int companyWidth = 0;
    start([&](TFrm_Main& main) {
        TFrm_Custom& list = *main.customerList();
        DataGrid& grid = *list.Grid_Cust;

        onNextModal<TFrm_Field>(
            [&](TFrm_Field* chooser) {
                EXPECT_EQ(chooser->windowTitle(), QStringLiteral("选择显示的字段"));
                const auto found =
                    chooser->DstList->findItems(QStringLiteral("联系电话"), Qt::MatchExactly);
                ASSERT_EQ(found.size(), 1);
                chooser->DstList->setCurrentItem(found.first());
                chooser->SP_left->click();
                EXPECT_EQ(chooser->SrcList->findItems(QStringLiteral("联系电话"), Qt::MatchExactly)
                              .size(),
                          1);
                chooser->Btn_ok->click();
            },
            "the column chooser");
        list.N441->trigger();
        EXPECT_EQ(messages.last().text, QStringLiteral("修改完成！"));
        EXPECT_EQ(db("select show from T_FieldShow where TableName='Custom' and Field='tel'"),
                  QList<QStringList>{{"0"}});

        main.activateWindow(); // no window manager gives the focus back after a dialog
        ASSERT_TRUE(QTest::qWaitForWindowActive(&main));
        grid.view()->setFocus();
        QTest::keyClick(grid.view(), Qt::Key_F5);
        EXPECT_EQ(gridColumnFields(grid),
                  (QStringList{"Company", "Mobile", "OtherInfo", "AddDate", "memo2"}));

        dragTitle(grid, 1, 0);
        ASSERT_EQ(gridColumnFields(grid).mid(0, 2), (QStringList{"Mobile", "Company"}));
        dragTitleBorder(grid, 1, 40);
        companyWidth = columnWidth(grid, 1);
        EXPECT_GT(companyWidth, 160);
        list.N25->trigger();
        EXPECT_EQ(messages.last().text, QStringLiteral("列属性已成功保存!"));
    });
    const QString width = QString::number(companyWidth);
    EXPECT_EQ(storedLayout(), (QList<QStringList>{{"Mobile", "0", "110"},
                                                  {"Company", "1", width},
                                                  {"OtherInfo", "2", "110"},
                                                  {"AddDate", "3", "140"},
                                                  {"memo2", "4", "260"}}));

    start([&](TFrm_Main& main) {
        DataGrid& grid = *main.customerList()->Grid_Cust;
        EXPECT_EQ(gridColumnFields(grid),
                  (QStringList{"Mobile", "Company", "OtherInfo", "AddDate", "memo2"}));
        EXPECT_EQ(columnWidth(grid, 1), companyWidth);
    });
}

TEST_P(Layouts, TitleClicksSortTheListAndTheEditorChangesTheRowClicked) {
    start([&](TFrm_Main& main) {
        TFrm_Custom& list = *main.customerList();
        DataGrid& grid = *list.Grid_Cust;
        EXPECT_EQ(gridTexts(grid, 0), (QStringList{"Mid Co", "Alpha", "Zeta 公司"}));
        clickTitle(grid, 0);
        EXPECT_EQ(gridTexts(grid, 0), (QStringList{"Alpha", "Mid Co", "Zeta 公司"}));
        EXPECT_EQ(grid.column(0).sortMarker, smDownEh);
        clickTitle(grid, 0);
        EXPECT_EQ(gridTexts(grid, 0), (QStringList{"Zeta 公司", "Mid Co", "Alpha"}));
        clickTitle(grid, 2); // Mobile
        EXPECT_EQ(gridTexts(grid, 0), (QStringList{"Alpha", "Zeta 公司", "Mid Co"}));
        EXPECT_EQ(grid.column(0).sortMarker, smNoneEh);
        EXPECT_EQ(grid.footerValueText(1), "3");

        // The editor opened from a sorted list changes the row that was clicked.
        onNextModal<TFrm_AddCust>(
            [&](TFrm_AddCust* editor) {
                EXPECT_EQ(editor->Edit_CustName->text(), "Zeta 公司");
                QTest::keyClicks(editor->Edit_OtherInfo, "HT-9");
                clickAndWait(editor->Btn_OK, main.data());
                editor->Btn_Cancel->click();
            },
            "the editor");
        doubleClickRow(grid, 1);
        EXPECT_EQ(gridTexts(grid, 0), (QStringList{"Alpha", "Zeta 公司", "Mid Co"}));
    });
    EXPECT_EQ(
        db("select Company, OtherInfo from Custom order by CustCode"),
        (QList<QStringList>{{"Mid Co", "<null>"}, {"Alpha", "<null>"}, {"Zeta 公司", "HT-9"}}));
    EXPECT_EQ(config(), "[login]\nusername=0\n");
    EXPECT_TRUE(messages.shown.isEmpty());
}
