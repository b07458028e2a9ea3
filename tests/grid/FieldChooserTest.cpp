#include "data/Statements.h"
#include "data/U_Data.h"
#include "grid/ColumnChooser.h"
#include "grid/ColumnLayout.h"
#include "grid/DataGrid.h"
#include "grid/U_Field.h"
#include "tests/support/RecordingMessageService.h"
#include "tests/support/TempProgram.h"

#include <QApplication>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <gtest/gtest.h>

namespace {

QStringList items(const QListWidget* list) {
    QStringList out;
    for (int i = 0; i < list->count(); ++i)
        out << list->item(i)->text();
    return out;
}

class FieldChooser : public ::testing::Test {
  protected:
    void SetUp() override {
        data = program.connect(messages);
        chooser = std::make_unique<TFrm_Field>(*data, messages);
        chooser->setTableName("Custom");
    }

    // The stored show flags of the customer layout, by title.
    QMap<QString, int> flags() {
        Query q("flags", data->ADOConnection1.get());
        data->OpenQuery(q, {"select * from T_FieldShow where TableName='Custom'", {}});
        QMap<QString, int> out;
        for (int i = 0; i < q.recordCount(); ++i, q.next())
            out[q.asString("Name")] = int(q.asInteger("show"));
        return out;
    }

    TempProgram program;
    RecordingMessageService messages;
    std::unique_ptr<TFrm_Data> data;
    std::unique_ptr<TFrm_Field> chooser;
};

TEST_F(FieldChooser, ShowsHiddenLeftAndShownRightWithTheArrowsThatCanAct) {
    chooser->show();
    EXPECT_EQ(chooser->windowTitle(), "选择显示的字段");
    EXPECT_EQ(chooser->size(), QSize(387, 269));
    EXPECT_EQ(items(chooser->SrcList), (QStringList{"客户编号", "客户介绍", "负责人"}));
    EXPECT_EQ(items(chooser->DstList).size(), 6);
    EXPECT_TRUE(chooser->Btn_ok->isDefault());
    EXPECT_EQ(chooser->SP_right->focusPolicy(), Qt::NoFocus);

    chooser->SP_allleftClick();
    EXPECT_EQ(items(chooser->SrcList).size(), 9);
    EXPECT_FALSE(chooser->SP_left->isEnabled());
    EXPECT_FALSE(chooser->SP_allleft->isEnabled());
    EXPECT_TRUE(chooser->SP_right->isEnabled());
    chooser->SP_allrightClick();
    EXPECT_EQ(items(chooser->DstList).size(), 9);
    EXPECT_FALSE(chooser->SP_right->isEnabled());
    EXPECT_FALSE(chooser->SP_allright->isEnabled());

    // Enter on the focused cancel button cancels; it must not reach the default OK.
    const auto before = flags();
    QTest::keyClick(chooser->Btn_exit, Qt::Key_Return);
    EXPECT_FALSE(chooser->isVisible());
    EXPECT_TRUE(messages.shown.isEmpty());
    EXPECT_EQ(flags(), before);
}

TEST_F(FieldChooser, ArrowWithoutSelectionSelectsTheFirstItemThenMovesIt) {
    chooser->show();
    chooser->SrcList->clearSelection();
    chooser->SP_rightClick();
    EXPECT_EQ(items(chooser->SrcList).size(), 3) << "nothing selected, nothing moves";
    ASSERT_EQ(chooser->SrcList->selectedItems().size(), 1);
    chooser->SP_rightClick();
    EXPECT_EQ(items(chooser->SrcList), (QStringList{"客户介绍", "负责人"}));
    EXPECT_EQ(items(chooser->DstList).last(), "客户编号");
    chooser->DstList->setCurrentRow(0);
    chooser->SP_leftClick();
    EXPECT_EQ(items(chooser->SrcList).last(), "客户名称");
    EXPECT_EQ(chooser->DstList->selectedItems().size(), 1);
}

TEST_F(FieldChooser, NoLayoutRowsLeaveEverythingEmptyAndOkOnlyConfirms) {
    chooser->setTableName("Nothing");
    chooser->show();
    for (QToolButton* b :
         {chooser->SP_right, chooser->SP_allright, chooser->SP_left, chooser->SP_allleft})
        EXPECT_FALSE(b->isEnabled());
    chooser->Btn_ok->click();
    ASSERT_EQ(messages.shown.size(), 1);
    EXPECT_EQ(messages.last().text, "修改完成！");
    EXPECT_EQ(messages.last().caption, messages.applicationTitle());
    EXPECT_FALSE(chooser->isVisible());
}

TEST_F(FieldChooser, OkWritesTheFlagsAndTheListShowsThemInStoredOrder) {
    program.exec("UPDATE T_FieldShow SET ShowID=-1 WHERE Field='CustCode'");
    chooser->show();
    chooser->SrcList->setCurrentRow(0);
    chooser->SP_rightClick(); // 客户编号 goes to the end of the shown list
    chooser->DstList->setCurrentRow(0);
    chooser->SP_leftClick(); // 客户名称 hidden
    chooser->Btn_ok->click();
    const auto stored = flags();
    EXPECT_EQ(stored["客户编号"], 1);
    EXPECT_EQ(stored["客户名称"], 0);
    EXPECT_EQ(stored["联系电话"], 1);

    DataGrid grid;
    data->OpenQuery(data->Qry_Cust, Sql::allCustomers());
    grid.setQuery(&data->Qry_Cust);
    ApplyColumnLayout(*data, grid, data->Qry_Cust, "Custom");
    EXPECT_EQ(grid.column(0).fieldName, "CustCode") << "placed by its ShowID, not last";
    EXPECT_EQ(grid.column(1).fieldName, "tel");
}

TEST_F(FieldChooser, AllHiddenGivesAutomaticColumns) {
    chooser->show();
    chooser->SP_allleftClick();
    chooser->Btn_ok->click();
    DataGrid grid;
    data->OpenQuery(data->Qry_Cust, Sql::allCustomers());
    grid.setQuery(&data->Qry_Cust);
    ApplyColumnLayout(*data, grid, data->Qry_Cust, "Custom");
    EXPECT_FALSE(grid.hasOwnColumns());
    EXPECT_EQ(grid.columnCount(), data->Qry_Cust.fieldCount());
}

TEST_F(FieldChooser, AFailingWriteChangesNothingAndKeepsTheDialogOpen) {
    program.exec("CREATE TRIGGER refuse BEFORE UPDATE ON T_FieldShow WHEN NEW.Field='memo2' "
                 "BEGIN SELECT RAISE(ABORT, 'refused'); END;");
    const auto before = flags();
    chooser->show();
    chooser->SP_allleftClick();
    chooser->Btn_ok->click();
    EXPECT_EQ(flags(), before);
    ASSERT_EQ(messages.shown.size(), 1);
    EXPECT_EQ(messages.last().icon, MsgIcon::Error);
    EXPECT_TRUE(chooser->isVisible());
}

TEST(ColumnChooserOpener, OpensOneChooserAtATimeAndFreesIt) {
    TempProgram program;
    RecordingMessageService messages;
    auto data = program.connect(messages);
    ColumnChooser opener(*data, messages);
    QPointer<TFrm_Field> seen;
    bool nestedOpened = false;
    QTimer::singleShot(0, [&] {
        seen = qobject_cast<TFrm_Field*>(QApplication::activeModalWidget());
        QTimer::singleShot(0, [&] {
            QWidget* active = QApplication::activeModalWidget();
            nestedOpened = active != seen;
            if (active)
                active->close();
            if (seen)
                seen->close();
        });
        opener.open("Custom"); // a second request while one is open does nothing
    });
    opener.open("Custom");
    ASSERT_FALSE(nestedOpened);
    EXPECT_TRUE(seen.isNull()) << "freed when it closed";
    EXPECT_FALSE(opener.isOpen());
}

} // namespace
