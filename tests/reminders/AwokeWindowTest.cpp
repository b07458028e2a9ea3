#include "AwokeFixture.h"

#include "grid/DataGrid.h"
#include "grid/GridPrinter.h"

#include <QAbstractItemModel>
#include <QAction>
#include <QCheckBox>
#include <QContextMenuEvent>
#include <QHeaderView>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableView>
#include <QTemporaryFile>
#include <QtTest/QTest>

using Subjects = QStringList;

TEST_F(AwokeFixture, OpeningSetsCaptionStopsTimerAndLaysOutTheSchedule) {
    writeConfig("[OtherInfo]\nawoke=0\nDay=0\n");
    timer1.start();
    auto window = openWindow();

    EXPECT_EQ(window->windowTitle(), "联系活动提醒");
    EXPECT_FALSE(timer1.isActive());
    EXPECT_TRUE(window->CheckBox1->isChecked());
    EXPECT_EQ(window->Edit_Day->text(), "0");
    EXPECT_EQ(window->size(), QSize(615, 297));
    ASSERT_EQ(window->DBGridEh1->columnCount(), 4);
    EXPECT_EQ(window->DBGridEh1->columnTitle(0), "提醒日期");
    EXPECT_EQ(window->DBGridEh1->columnTitle(3), "活动内容");
    EXPECT_TRUE(window->DBGridEh1->column(0).titleButton);
    EXPECT_EQ(window->DBGridEh1->footerRowCount(), 0);
    EXPECT_TRUE(window->PrintDBGridEh1->settings().fitToPageWidth);
    EXPECT_EQ(window->PrintDBGridEh1->settings().fitMode, PrintSettings::ScaleWholeGrid);
    EXPECT_TRUE(messages.shown.isEmpty()) << messages.texts().join("\n").toStdString();
    EXPECT_EQ(config().ReadString("OtherInfo", "awoke", ""), "0"); // a kept box stores nothing
}

TEST_F(AwokeFixture, ListsTheOperatorsFlaggedActivitiesOfExactlyTheChosenDay) {
    addActivity("today-early", 0, "00:00:00");
    addActivity("today-late", 0, "23:59:59");
    addActivity("tomorrow", 1, "00:00:00");
    addActivity("yesterday", -1, "23:59:59");
    addActivity("in-three", 3);
    addActivity("in-two", 2);
    addActivity("someone-else", 0, "10:00:00", "Zhang");
    addActivity("not-flagged", 0, "10:00:00", "Admin", false);
    writeConfig("[OtherInfo]\nawoke=0\nDay=-1\n");
    auto window = openWindow();

    EXPECT_EQ(listedSubjects(*window), Subjects{"yesterday"});
    const QList<std::pair<QString, Subjects>> cases = {
        {"0", {"today-early", "today-late"}},
        {"1", {"tomorrow"}},
        {" 3 ", {"in-three"}}, // the query takes the trimmed text
        {"+2", {"in-two"}},
        {"7", {}},
    };
    for (const auto& [day, expected] : cases) {
        window->Edit_Day->setText(day);
        window->Btn_Refresh->click();
        EXPECT_EQ(listedSubjects(*window), expected) << day.toStdString();
    }
    EXPECT_TRUE(messages.shown.isEmpty()) << messages.texts().join("\n").toStdString();
}

TEST_F(AwokeFixture, OperatorNameIsMatchedAsDataNotAsStatementText) {
    addActivity("mine", 0);
    operatorName = "x' or '1'='1";
    writeConfig("[OtherInfo]\nawoke=0\nDay=0\n");
    auto window = openWindow();
    EXPECT_EQ(listedSubjects(*window), Subjects{});
    EXPECT_TRUE(messages.shown.isEmpty());
}

TEST_F(AwokeFixture, AbsentSettingsOpenAnEmptySilentListAndClearTheBox) {
    addActivity("today", 0);
    auto window = openWindow();

    EXPECT_EQ(window->Edit_Day->text(), "");
    EXPECT_EQ(listedSubjects(*window), Subjects{});
    EXPECT_FALSE(window->CheckBox1->isChecked());
    // Clearing the box at opening stores 1, under the window's own spelling of the section.
    EXPECT_TRUE(configText().contains("[otherInfo]")) << configText().toStdString();
    EXPECT_EQ(config().ReadInteger("OtherInfo", "awoke", -1), 1);

    window->Edit_Day->setText("abc");
    window->Btn_Refresh->click();
    EXPECT_EQ(listedSubjects(*window), Subjects{});
    EXPECT_TRUE(messages.shown.isEmpty()) << messages.texts().join("\n").toStdString();
}

TEST_F(AwokeFixture, TheBoxStoresAtOnceAndAnInvalidDayKeepsTheWindowOpen) {
    writeConfig("[OtherInfo]\nawoke=0\nDay=2\n");
    auto window = openWindow();

    window->CheckBox1->setChecked(false);
    EXPECT_EQ(config().ReadInteger("OtherInfo", "awoke", -1), 1);
    window->Edit_Day->setText("x");
    window->Btn_Exit->click();
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(messages.texts(), QStringList{"'x' is not a valid integer value."});
    QTest::keyClick(window.get(), Qt::Key_Escape); // Esc goes through the same check
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(messages.shown.size(), 2);
    messages.clear();
    EXPECT_EQ(config().ReadInteger("OtherInfo", "awoke", -1), 1);
    EXPECT_EQ(config().ReadString("OtherInfo", "Day", ""), "2");

    window->CheckBox1->setChecked(true);
    EXPECT_EQ(config().ReadInteger("OtherInfo", "awoke", -1), 0);
    window->Edit_Day->setText("5"); // not refreshed: stored all the same
    window->close();
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(config().ReadString("OtherInfo", "Day", ""), "5");
}

TEST_F(AwokeFixture, ClosingStoresLeadingBlankDaysAndRefusesTrailingOnes) {
    addActivity("in-three", 3);
    writeConfig("[OtherInfo]\nawoke=0\nDay=1\n");
    auto window = openWindow();

    window->Edit_Day->setText("3 ");
    window->Btn_Refresh->click();
    EXPECT_EQ(listedSubjects(*window), Subjects{"in-three"});
    window->close();
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(messages.texts(), QStringList{"'3 ' is not a valid integer value."});
    EXPECT_EQ(config().ReadString("OtherInfo", "Day", ""), "1");

    window->Edit_Day->setText(" 3");
    window->close();
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(config().ReadString("OtherInfo", "Day", ""), "3");
}

TEST_F(AwokeFixture, AFailingQueryIsReportedAndTheWindowStillShows) {
    program.exec("drop table T_Schedule");
    writeConfig("[OtherInfo]\nawoke=0\nDay=0\n");
    auto window = openWindow();

    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(messages.shown.size(), 1);
    EXPECT_EQ(messages.last().icon, MsgIcon::Error);
    EXPECT_FALSE(window->Qry_Awoke.isActive());
    window->Btn_Refresh->click();
    EXPECT_EQ(messages.shown.size(), 2);
    EXPECT_FALSE(window->Qry_Awoke.isActive());
}

TEST_F(AwokeFixture, AnUnwritableConfigIsReportedAndTheWindowCanStillClose) {
    writeConfig("[OtherInfo]\nawoke=0\nDay=2\n");
    auto window = openWindow();
    // A path below a regular file cannot be written, not even by root.
    QTemporaryFile blocker;
    ASSERT_TRUE(blocker.open());
    const QString unwritable = blocker.fileName() + "/Config.ini";
    data->IniFile = SettingsFile(unwritable);

    window->CheckBox1->setChecked(false);
    EXPECT_FALSE(window->CheckBox1->isChecked());
    EXPECT_EQ(messages.texts(), QStringList{"Unable to write to " + unwritable + "."});

    window->Edit_Day->setText("4");
    window->close();
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(messages.shown.size(), 2);
    EXPECT_EQ(config().ReadString("OtherInfo", "Day", ""), "2"); // the real file is untouched
}

TEST_F(AwokeFixture, PrintOpensThePreviewOfTheGrid) {
    addActivity("today", 0);
    writeConfig("[OtherInfo]\nawoke=0\nDay=0\n");
    auto window = openWindow();
    window->Btn_Print->click();
    EXPECT_NE(previews->window(), nullptr);
    EXPECT_TRUE(messages.shown.isEmpty()) << messages.texts().join("\n").toStdString();
}

// By date and time until the operator sorts by a title; what is marked done leaves the list,
// and a done one that still shows (reminded elsewhere) says so.
TEST_F(AwokeFixture, ListComesByTimeUntilATitleSortsItAndDoneOnesLeave) {
    addActivity("b", 0, "18:00:00");
    addActivity("a", 0, "8:00:00"); // as another program wrote it: its text sorts after 18:00
    addActivity("c", 0, "12:00:00");
    addActivity("d", 0, "12:00:00");
    addActivity("e", 0, "23:00:00");
    program.exec("update T_Schedule set Done=1 where Subject='e'");
    program.exec("update T_FieldShow set show=1 where TableName='Schedule' and Field='Done'");
    writeConfig("[OtherInfo]\nawoke=0\nDay=0\n");
    auto window = openWindow();
    const auto inOrder = [&] {
        QStringList subjects;
        const Query& query = window->Qry_Awoke;
        for (int row = 0; row < query.recordCount(); ++row)
            subjects << query.value(row, query.findField("Subject")).toString();
        return subjects;
    };
    EXPECT_EQ(inOrder(), (Subjects{"a", "c", "d", "b", "e"}));
    const QAbstractItemModel& cells = *window->DBGridEh1->view()->model();
    const int done = window->DBGridEh1->columnCount() - 1;
    EXPECT_EQ(cells.index(4, done).data().toString(), QStringLiteral("已完成"));
    EXPECT_EQ(cells.index(0, done).data().toString(), QStringLiteral("未完成"));

    QHeaderView* titles = window->DBGridEh1->view()->horizontalHeader();
    const QPoint subject(titles->sectionViewportPosition(2) + 5, titles->height() / 2);
    QTest::mouseClick(titles->viewport(), Qt::LeftButton, {}, subject);
    EXPECT_EQ(window->DBGridEh1->column(2).sortMarker, smDownEh);
    EXPECT_EQ(inOrder(), (Subjects{"a", "b", "c", "d", "e"}));
    QTest::mouseClick(titles->viewport(), Qt::LeftButton, {}, subject);
    EXPECT_EQ(inOrder(), (Subjects{"e", "d", "c", "b", "a"}));
    window->Btn_Refresh->click();
    EXPECT_EQ(inOrder(), (Subjects{"a", "c", "d", "b", "e"}));

    window->Qry_Awoke.setRecNo(1);
    window->Edit_Day->setText("5"); // typed, not refreshed: the list keeps its day
    window->MarkCurrentDone();
    EXPECT_EQ(inOrder(), (Subjects{"a", "d", "b", "e"})) << "read again: no longer reminded";
    EXPECT_TRUE(messages.shown.isEmpty()) << messages.texts().join("\n").toStdString();
}

// Right-clicking a row, as the mouse does it, makes that row current before the menu acts:
// 查看联系活动 and 标记完成 reach the activity clicked, not the one highlighted before.
TEST_F(AwokeFixture, RightClickMakesItsRowCurrentBeforeTheMenuActs) {
    for (const char* subject : {"first", "second", "third"})
        addActivity(subject, 0);
    writeConfig("[OtherInfo]\nawoke=0\nDay=0\n");
    auto window = openWindow();
    QList<qint64> opened;
    window->openActivity = [&](qint64 id) { opened << id; };
    QTableView* view = window->DBGridEh1->view();
    const auto subjectOf = [&](qint64 id) {
        auto row = data->ADOConnection1->query({"select Subject from T_Schedule where ID=?", {id}});
        return row->next() ? QString::fromUtf8(row->text(0).data(), qsizetype(row->text(0).size()))
                           : QString();
    };
    const struct {
        int current, clicked;
        bool done; // 标记完成, else 查看联系活动
    } cases[] = {{0, 2, false}, {2, 1, false}, {0, 2, true}};
    for (const auto& c : cases) {
        window->Qry_Awoke.setRecNo(c.current);
        const QPoint at = view->visualRect(view->model()->index(c.clicked, 1)).center();
        QTest::mouseClick(view->viewport(), Qt::RightButton, {}, at);
        QContextMenuEvent menu(QContextMenuEvent::Mouse, at, view->viewport()->mapToGlobal(at));
        QApplication::sendEvent(view->viewport(), &menu);
        ASSERT_TRUE(window->Menu_Awoke->isVisible());
        window->Menu_Awoke->hide();
        const QString clicked = window->Qry_Awoke.displayText(
            c.clicked, window->Qry_Awoke.fieldByName(QStringLiteral("Subject")));
        (c.done ? window->Act_Done : window->Act_Open)->trigger();
        if (c.done) {
            auto done =
                data->ADOConnection1->query({"select Subject from T_Schedule where Done<>0", {}});
            ASSERT_TRUE(done->next());
            EXPECT_EQ(QString::fromUtf8(done->text(0).data(), qsizetype(done->text(0).size())),
                      clicked);
            EXPECT_FALSE(done->next()) << "only the row clicked is done";
        } else {
            ASSERT_FALSE(opened.isEmpty());
            EXPECT_EQ(subjectOf(opened.takeLast()), clicked) << c.current << "→" << c.clicked;
        }
    }
    EXPECT_TRUE(messages.shown.isEmpty()) << messages.texts().join("\n").toStdString();
}
