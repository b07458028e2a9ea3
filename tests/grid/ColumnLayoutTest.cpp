#include "DataGridFixture.h"

#include "data/AppError.h"
#include "data/DisplayFormat.h"
#include "grid/ColumnLayout.h"
#include "grid/WindowFont.h"

#include <QFontMetrics>
#include <QHeaderView>
#include <QStyle>
#include <QTest>

namespace {

class LayoutTest : public GridTest {
  protected:
    LayoutTest() {
        addCustomers(3);
        openCustomers();
    }
    void apply(const QString& table = "Custom") { ApplyColumnLayout(*data, *grid, query(), table); }
    // Field -> "ShowID/Width" of the stored layout rows of the customer list.
    QMap<QString, QString> stored() {
        data->OpenQuery(data->Qry_Temp, {"select Field, ShowID, Width from T_FieldShow "
                                         "where TableName = 'Custom'",
                                         {}});
        QMap<QString, QString> rows;
        for (Query& q = data->Qry_Temp; !q.eof(); q.next())
            rows[q.asString("Field")] = q.asString("ShowID") + "/" + q.asString("Width");
        return rows;
    }
};

const QList<QString> deliveredOrder = {"Company", "tel", "Mobile", "OtherInfo", "AddDate", "memo2"};

} // namespace

// Delivered widths show typical values whole in the lists' own font and cell margins.
TEST_F(LayoutTest, DeliveredWidthsShowAFullDateAndATwelveCharacterNameWhole) {
    QWidget list;
    applyWindowFont(list);
    DataGrid shown(&list);
    const QTableView* view = shown.view();
    const QFontMetrics metrics(view->font());
    const int textMargin =
        view->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, view) + 1;
    const int margins = 2 * textMargin + 1; // both sides and the grid line
    const QString name = QStringLiteral("北京华盛电子科技发展有限公司").left(12);
    const QString dueAt = formatDateTime(QDateTime(QDate(2020, 11, 23), QTime(14, 7, 9)));
    const struct {
        const char* table;
        const char* field;
        QString value;
    } cases[] = {{"Custom", "Company", name},
                 {"Custom", "AddDate", dueAt}, // customers added elsewhere carry a time
                 {"Schedule", "CustName", name},
                 {"Schedule", "AwokeDate", dueAt}};
    for (const auto& c : cases) {
        data->OpenQuery(data->Qry_Temp, {"select Width from T_FieldShow where TableName = ? "
                                         "and Field = ?",
                                         {c.table, c.field}});
        ASSERT_FALSE(data->Qry_Temp.isEmpty()) << c.field;
        EXPECT_GE(data->Qry_Temp.asInteger("Width"), metrics.horizontalAdvance(c.value) + margins)
            << c.table << "." << c.field << " cuts " << c.value.toStdString();
    }
}

TEST_F(LayoutTest, AppliesShownRowsWithTitlesWidthsAndButtons) {
    program.exec("update T_FieldShow set SumField = 1, ShowButton = 1 where Field = 'Mobile'");
    apply();
    ASSERT_EQ(columnFields(), deliveredOrder);
    EXPECT_EQ(grid->columnTitle(0), "客户名称");
    EXPECT_EQ(grid->column(0).width, 160);
    EXPECT_EQ(grid->view()->horizontalHeader()->sectionSize(0), 160);
    EXPECT_TRUE(grid->column(0).titleButton);
    EXPECT_EQ(grid->column(2).footerKind, fvtSum);
    EXPECT_TRUE(grid->column(2).alwaysShowEditButton);
    EXPECT_EQ(grid->column(1).footerKind, fvtNon);
}

TEST_F(LayoutTest, DraggedOrderAndWidthsSurviveSaveAndApply) {
    apply();
    dragTitle(2, titleCenter(0) - QPoint(40, 0));
    ASSERT_EQ(columnFields().mid(0, 3), (QList<QString>{"Mobile", "Company", "tel"}));
    SaveColumnLayout(*data, messages, *grid, "Custom", 1);

    const auto rows = stored();
    EXPECT_EQ(rows["Mobile"], "0/110");
    EXPECT_EQ(rows["Company"], "1/160");
    EXPECT_EQ(rows["tel"], "2/110");
    EXPECT_EQ(rows["CustCode"], "6/70"); // hidden: keeps its old position and width
    ASSERT_EQ(messages.shown.size(), 1);
    EXPECT_EQ(messages.last().text, "列属性已成功保存!");
    EXPECT_EQ(messages.last().caption, "Confirm");
    EXPECT_EQ(messages.last().icon, MsgIcon::Question);
    EXPECT_EQ(messages.last().buttons, int(mbOK));

    openCustomers();
    apply();
    EXPECT_EQ(columnFields(),
              (QList<QString>{"Mobile", "Company", "tel", "OtherInfo", "AddDate", "memo2"}));
}

TEST_F(LayoutTest, FailedSaveLeavesTheStoredLayoutAsItWas) {
    apply();
    grid->moveColumn(2, 0);
    program.exec("create trigger refuse before update on T_FieldShow when new.Field = 'tel' "
                 "begin select raise(abort, 'refused'); end");
    const auto before = stored();
    EXPECT_THROW(SaveColumnLayout(*data, messages, *grid, "Custom", 1), AppError);
    EXPECT_EQ(stored(), before);
    EXPECT_TRUE(messages.shown.isEmpty());
}

TEST_F(LayoutTest, NoShownRowsLeavesTheAutomaticColumns) {
    apply("Nothing");
    EXPECT_FALSE(grid->hasOwnColumns());
    EXPECT_EQ(grid->columnCount(), query().fieldCount());
    EXPECT_EQ(grid->columnTitle(0), "CustCode");
    EXPECT_FALSE(grid->column(0).titleButton);
}

TEST_F(LayoutTest, EmptyNameShowsFieldNameAndEmptyWidthIsZero) {
    program.exec("update T_FieldShow set Name = '', Width = NULL where Field = 'tel'");
    apply();
    EXPECT_EQ(grid->columnTitle(1), "tel");
    EXPECT_EQ(grid->column(1).width, 0);
    EXPECT_EQ(grid->view()->horizontalHeader()->sectionSize(1), 0);
}

TEST_F(LayoutTest, MissingFieldStopsAfterCompleteEarlierColumns) {
    program.exec("insert into T_FieldShow (TableName, Name, Field, show, ShowID, Width, SumField,"
                 " ShowButton) values ('Custom', '幽灵', 'Ghost', 1, 2.5, 50, 1, 1)");
    try {
        apply();
        FAIL() << "no error";
    } catch (const AppError& e) {
        EXPECT_EQ(e.text(), "Qry_Cust: Field 'Ghost' not found");
    }
    ASSERT_EQ(columnFields(), (QList<QString>{"Company", "tel", "Mobile", "Ghost"}));
    EXPECT_EQ(grid->columnTitle(2), "手机号码");
    const GridColumn& ghost = grid->column(3);
    EXPECT_EQ(ghost.width, 50);
    EXPECT_TRUE(ghost.titleButton);
    EXPECT_EQ(ghost.footerKind, fvtNon);
    EXPECT_FALSE(ghost.alwaysShowEditButton);
    EXPECT_EQ(grid->columnTitle(3), "Ghost");
}

TEST_F(LayoutTest, AppliesAtMost51ShownRows) {
    QStringList rows;
    for (int i = 0; i < 60; ++i)
        rows << QString("('Many', 'n%1', 'tel', 1, %1, 20)").arg(i);
    program.exec("insert into T_FieldShow (TableName, Name, Field, show, ShowID, Width) values " +
                 rows.join(','));
    apply("Many");
    EXPECT_EQ(grid->columnCount(), 51);
}

TEST_F(LayoutTest, SortTextsOfMarkedColumnsInMarkingOrder) {
    auto text = [&](QList<QPair<QString, TSortMarkerEh>> marks) {
        grid->clearColumns();
        for (const auto& [field, marker] : marks) {
            GridColumn c;
            c.fieldName = field;
            c.sortMarker = marker;
            grid->addColumn(c);
        }
        return sortMarkersText(*grid);
    };
    EXPECT_EQ(text({{"A", smDownEh}}), "  A");
    EXPECT_EQ(text({{"A", smUpEh}}), "  A DESC ");
    EXPECT_EQ(text({{"A", smUpEh}, {"B", smDownEh}}), "  A DESC , B");
    EXPECT_EQ(text({{"A", smDownEh}, {"B", smUpEh}}), "  A, B DESC ");
    EXPECT_EQ(text({{"A1", smNoneEh}, {"B1", smDownEh}}), "  B1"); // digits stay
    EXPECT_EQ(text({}), "");
}

TEST_F(LayoutTest, RejectedSortKeepsRowsAndMarkers) {
    apply();
    query().setSort("Company DESC");
    GridColumn ghost;
    ghost.fieldName = "Ghost";
    ghost.sortMarker = smUpEh;
    grid->setColumn(0, ghost);
    EXPECT_THROW(ApplySortMarkers(*grid, query()), AppError);
    EXPECT_EQ(companies(), (QStringList{"客户3", "客户2", "客户1"}));
    EXPECT_EQ(grid->column(0).sortMarker, smUpEh);
    EXPECT_EQ(grid->sortMarkedColumns(), QList<int>{0});

    query().close();
    ApplySortMarkers(*grid, query()); // a closed query: nothing happens
}

TEST_F(LayoutTest, CtrlUnmarkingTheOnlyColumnRestoresDatabaseOrder) {
    apply();
    QObject::connect(grid, &DataGrid::sortMarkingChanged,
                     [&] { ApplySortMarkers(*grid, query()); });
    clickTitle(0);
    clickTitle(0); // Company descending
    ASSERT_EQ(companies().first(), "客户3");
    clickTitle(0, Qt::ControlModifier);
    QTest::keyRelease(grid->view(), Qt::Key_Control);
    EXPECT_EQ(query().sort(), "");
    EXPECT_EQ(companies(), (QStringList{"客户1", "客户2", "客户3"}));
}
