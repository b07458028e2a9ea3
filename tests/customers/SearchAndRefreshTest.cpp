#include "CustomerTestSupport.h"

#include "customers/U_Import.h"
#include "grid/DataGrid.h"
#include "tests/data/DataTestSupport.h"

#include <QComboBox>
#include <QFile>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <random>

namespace {

class SearchAndRefresh : public CustomerFixture, public ::testing::WithParamInterface<TestEngine> {
  protected:
    SearchAndRefresh() : CustomerFixture(GetParam()) {}
    QStringList titles() const {
        QStringList shown;
        const QAbstractItemModel* model = list->Grid_Cust->view()->model();
        for (int i = 0; i < model->columnCount(); ++i)
            shown << model->headerData(i, Qt::Horizontal).toString();
        return shown;
    }
    void choose(const QString& title, const QString& keyword) {
        list->Combo_Type->setCurrentIndex(list->Combo_Type->findText(title));
        list->Edit_Key->setText(keyword);
    }
};

// A search that fails (a field the table lacks, an unclosed "[") empties the list under the
// titles it had; the next good search brings the rows back.
TEST_P(SearchAndRefresh, AFailedSearchKeepsTheColumnTitles) {
    data->ADOConnection1->execute({"INSERT INTO T_FieldShow (TableName, Name, Field, show) "
                                   "VALUES ('Custom', '坏字段', 'NoSuchField', 0)",
                                   {}});
    openList();
    const QStringList laidOut = titles();
    ASSERT_EQ(laidOut.value(0), "客户名称");
    const struct {
        const char *field, *keyword;
    } failures[] = {{"坏字段", "x"}, {"客户名称", "x["}};
    for (const auto& f : failures) {
        SCOPED_TRACE(f.keyword);
        messages.clear();
        choose(QString::fromUtf8(f.field), f.keyword);
        list->Btn_S_Cust->click();
        waitForSearch(*list);
        ASSERT_EQ(messages.shown.size(), 1);
        EXPECT_EQ(messages.last().icon, MsgIcon::Error);
        EXPECT_EQ(list->Grid_Cust->view()->model()->rowCount(), 0);
        EXPECT_EQ(titles(), laidOut);
        list->N6->trigger(); // the failing statement again
        EXPECT_EQ(titles(), laidOut);
    }
    choose("客户名称", "Acme");
    list->Btn_S_Cust->click();
    waitForSearch(*list);
    EXPECT_EQ(data->Qry_Cust.recordCount(), 1);
    EXPECT_EQ(titles(), laidOut);
}

// Enter closes the error box a keystroke brought up; its release then reaches the keyword box
// and must not search, and bring the box, again. The Tab that moves into the box still does.
TEST_P(SearchAndRefresh, TheKeyThatClosedAnErrorBoxDoesNotSearchAgain) {
    openList();
    list->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(list));
    list->Edit_Key->setFocus();
    list->Edit_Key->setText("x");
    QTest::keyClick(list->Edit_Key, Qt::Key_BracketLeft);
    waitForSearch(*list);
    ASSERT_EQ(messages.shown.size(), 1) << "x[ has no closing bracket";

    QTest::keyRelease(list->Edit_Key, Qt::Key_Return); // pressed in the box, closing it
    EXPECT_FALSE(list->searching());
    waitForSearch(*list);
    EXPECT_EQ(messages.shown.size(), 1);

    list->Combo_Type->setFocus();
    QTest::keyPress(list->Combo_Type, Qt::Key_Tab);
    ASSERT_TRUE(list->Edit_Key->hasFocus());
    QTest::keyRelease(list->Edit_Key, Qt::Key_Tab);
    waitForSearch(*list);
    EXPECT_EQ(messages.shown.size(), 2) << "the Tab's release searches";

    QTest::keyClick(list->Edit_Key, Qt::Key_Left);
    waitForSearch(*list);
    EXPECT_EQ(messages.shown.size(), 3) << "a key pressed in the box searches";
}

// An import that writes refreshes the list at once, repeating its search, with the new count
// in the status bar and under the list.
TEST_P(SearchAndRefresh, AnImportShowsTheNewCustomersAndTheirCount) {
    openList();
    choose("客户名称", "");
    list->Btn_S_Cust->click();
    waitForSearch(*list);
    ASSERT_EQ(counts.last(), "当前共有 3 条客户记录");
    QTemporaryDir dir;
    const QString path = dir.filePath("new.csv");
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("客户名称,联系电话\r\n丁公司,010-4\r\n戊公司,010-5\r\n");
    }
    ImportDialogs dialogs;
    dialogs.askOpenFile = [&] { return path; };
    TFrm_Import window(*data, messages, dialogs);
    QObject::connect(&window, &TFrm_Import::customersWritten, list, &TFrm_Custom::showImported);
    window.Btn_File->click();
    window.Btn_OK->click();
    waitForSearch(*list);
    EXPECT_EQ(data->Qry_Cust.recordCount(), 5);
    EXPECT_EQ(counts.last(), "当前共有 5 条客户记录");
    EXPECT_EQ(list->Grid_Cust->footerValueText(0), "总计");
    EXPECT_EQ(list->Grid_Cust->footerValueText(1), "5");
    EXPECT_TRUE(messages.shown.isEmpty()) << messages.texts().join('\n').toStdString();
}

// Searches keep the columns they find unless something changed them: in any order of typing,
// refreshing, dragged widths, title sorts and a layout written meanwhile, every result shows
// exactly the columns, widths and titles the stored layout gives, unsorted, with its footers.
TEST_P(SearchAndRefresh, EveryResultShowsTheStoredLayoutWhateverCameBefore) {
    openList();
    DataGrid& grid = *list->Grid_Cust;
    std::mt19937 random(20261211);
    const QStringList keywords = {"", "A", "公司", "0", "x", "Acme", "1"};
    for (int step = 0; step < 60; ++step) {
        SCOPED_TRACE(step);
        QHeaderView& header = *grid.view()->horizontalHeader();
        const int action = int(random() % 5);
        if (action == 0) { // a dragged border
            header.resizeSection(int(random() % 2), 50 + int(random() % 90));
        } else if (action == 1) { // a title click sorts the shown rows
            QTest::mouseClick(header.viewport(), Qt::LeftButton, {},
                              QPoint(header.sectionViewportPosition(0) + 5, 5));
        } else if (action == 2) { // the layout changes, as the column chooser writes it
            data->ADOConnection1->execute(
                {"UPDATE T_FieldShow SET Width=?, Name=? WHERE TableName='Custom' AND Field='tel'",
                 {60 + int(random() % 80), QStringLiteral("电话%1").arg(random() % 3)}});
            data->Qry_FieldShow.close();
        } else if (action == 3) {
            list->N6->trigger();
        } else {
            choose("客户名称", keywords[int(random() % keywords.size())]);
            QTest::keyClick(list->Edit_Key, Qt::Key_A);
        }
        waitForSearch(*list);
        if (action < 3)
            continue; // the list shows what the operator did until the next result
        data->OpenQuery(data->Qry_Temp, {"SELECT Name, Field, Width FROM T_FieldShow WHERE "
                                         "TableName='Custom' AND show=1 ORDER BY ShowID",
                                         {}});
        Query& layout = data->Qry_Temp;
        ASSERT_EQ(grid.columnCount(), layout.recordCount());
        layout.first();
        for (int i = 0; i < grid.columnCount(); ++i, layout.next()) {
            EXPECT_EQ(grid.column(i).fieldName, layout.asString("Field"));
            EXPECT_EQ(grid.column(i).width, layout.asInteger("Width"));
            EXPECT_EQ(header.sectionSize(i), layout.asInteger("Width"));
            EXPECT_EQ(grid.column(i).sortMarker, smNoneEh);
            EXPECT_EQ(titles().value(i), layout.asString("Name"));
        }
        EXPECT_TRUE(grid.sortMarkedColumns().isEmpty());
        EXPECT_EQ(grid.footerValueText(0), "总计");
        EXPECT_EQ(grid.footerValueText(1), QString::number(data->Qry_Cust.recordCount()));
        EXPECT_EQ(grid.view()->model()->rowCount(), data->Qry_Cust.recordCount());
    }
    EXPECT_TRUE(messages.shown.isEmpty()) << messages.texts().join('\n').toStdString();
}

RUN_ON_EVERY_ENGINE(SearchAndRefresh);

} // namespace
