#include "app/ActivityCommands.h"
#include "app/ClockText.h"
#include "app/U_ChangePass.h"
#include "customers/U_AddCust.h"
#include "data/AppError.h"
#include "tests/app/AppTestSupport.h"

#include <QAction>
#include <QCoreApplication>
#include <QLineEdit>
#include <QMenu>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTest>
#include <QToolButton>

namespace {

class MainWindowTest : public ShellTest {
  protected:
    void showActive() {
        main->show();
        main->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(main.get()));
    }
    void pressCtrl(Qt::Key key) {
        QTest::keyClick(QApplication::focusWindow(), key, Qt::ControlModifier);
    }
};

TEST_F(MainWindowTest, AtCreationTheClockRunsAndNothingTouchesTheDatabase) {
    EXPECT_TRUE(main->Timer2.isActive());
    EXPECT_FALSE(main->Timer1.isActive());
    EXPECT_EQ(main->Timer2.interval(), 1000);
    EXPECT_EQ(main->panelText(3).size(), clockText(QDateTime::currentDateTime()).size());
    EXPECT_FALSE(data->Qry_SoftInfo.isActive());
    EXPECT_EQ(main->size(), QSize(769, 483));
    EXPECT_EQ(main->menuWidget(), nullptr);
}

TEST_F(MainWindowTest, FirstShowingSetsCaptionPathTimerAndOpensTheList) {
    program.exec("update T_SoftInfo set SoftName = 'ABC', Version = '1.0'");
    main->show();
    EXPECT_EQ(main->windowTitle(), "ABC1.0");
    EXPECT_EQ(main->panelText(2), QCoreApplication::applicationFilePath());
    EXPECT_TRUE(main->Timer1.isActive());
    ASSERT_EQ(main->MdiArea->subWindowList().size(), 1);
    EXPECT_TRUE(main->MdiArea->subWindowList().first()->isMaximized());
    EXPECT_EQ(main->customerList()->windowTitle(), QStringLiteral("客户信息"));
    EXPECT_EQ(main->panelText(1), QStringLiteral("当前共有 0 条客户记录"));
    EXPECT_TRUE(messages.shown.isEmpty());

    main->hide();
    main->show(); // only the first showing does all this
    EXPECT_EQ(main->MdiArea->subWindowList().size(), 1);
}

TEST_F(MainWindowTest, EmptySoftInfoGivesAnEmptyCaptionSilently) {
    program.exec("delete from T_SoftInfo");
    main->setWindowTitle("before");
    main->show();
    EXPECT_EQ(main->windowTitle(), "");
    EXPECT_TRUE(messages.shown.isEmpty());
    EXPECT_EQ(main->MdiArea->subWindowList().size(), 1);
}

TEST_F(MainWindowTest, FailingSoftInfoIsReportedAndTheShowingStopsThere) {
    program.exec("drop table T_SoftInfo");
    main->show();
    ASSERT_EQ(messages.shown.size(), 1);
    EXPECT_EQ(messages.last().icon, MsgIcon::Error);
    EXPECT_TRUE(main->isVisible());
    EXPECT_EQ(main->windowTitle(), "");
    EXPECT_EQ(main->panelText(2), "");
    EXPECT_FALSE(main->Timer1.isActive());
    EXPECT_TRUE(main->MdiArea->subWindowList().isEmpty());
}

TEST_F(MainWindowTest, StatusPanelsHaveTheirWidthsAndTheLastTakesTheRest) {
    main->resize(900, 400);
    main->show();
    QCoreApplication::processEvents();
    const auto panels = main->StatusBar1->findChildren<QLabel*>();
    ASSERT_EQ(panels.size(), 4);
    EXPECT_EQ(panels[0]->width(), 150);
    EXPECT_EQ(panels[1]->width(), 250);
    EXPECT_EQ(panels[2]->width(), 250);
    EXPECT_GT(panels[3]->geometry().right(), 800);
    EXPECT_GE(panels[3]->x(), panels[2]->geometry().right());
}

TEST_F(MainWindowTest, NavButtonFaceDoesNothingItsArrowCarriesTheThreeActions) {
    QList<QSignalSpy*> spies;
    for (QAction* action : main->ActionList1)
        spies << new QSignalSpy(action, &QAction::triggered);
    main->TB_Nav->click();
    for (QSignalSpy* spy : spies) {
        EXPECT_EQ(spy->count(), 0);
        delete spy;
    }
    EXPECT_EQ(main->TB_Nav->text(), QStringLiteral(" 客户管理 "));
    EXPECT_EQ(main->TB_Nav->popupMode(), QToolButton::MenuButtonPopup);
    EXPECT_EQ(main->TB_Nav->menu()->actions(),
              (QList<QAction*>{main->AddCust, main->EditCust, main->DelCust}));
    EXPECT_EQ(main->AddCust->shortcut(), QKeySequence("Ctrl+A"));
    EXPECT_EQ(main->DelCust->text(), QStringLiteral("删除&D"));
    EXPECT_TRUE(main->ExportCustCSV->shortcut().isEmpty());
}

TEST_F(MainWindowTest, ShortcutsWorkInTheWindowAndItsChildButNotUnderAModalDialog) {
    showActive();
    QSignalSpy add(main->AddCust, &QAction::triggered);
    QSignalSpy edit(main->EditCust, &QAction::triggered);
    whenModal<TFrm_AddCust>([](TFrm_AddCust* editor) { editor->reject(); });
    pressCtrl(Qt::Key_A);
    EXPECT_EQ(add.count(), 1);
    main->activateWindow(); // the editor was modal; the offscreen desktop does not reactivate
    ASSERT_TRUE(QTest::qWaitForWindowActive(main.get()));

    QWidget* child = main->MdiArea->subWindowList().first()->widget();
    child->setFocusPolicy(Qt::StrongFocus);
    child->setFocus();
    pressCtrl(Qt::Key_E);
    EXPECT_EQ(edit.count(), 1);

    // A text box of the child does not keep the window's shortcuts to itself.
    QSignalSpy del(main->DelCust, &QAction::triggered);
    QLineEdit* keyword = main->customerList()->Edit_Key;
    keyword->setText("abc");
    keyword->setFocus();
    pressCtrl(Qt::Key_E);
    pressCtrl(Qt::Key_D);
    EXPECT_EQ(edit.count(), 2);
    EXPECT_EQ(del.count(), 1);
    EXPECT_EQ(keyword->text(), "abc");
    whenModal<TFrm_AddCust>([](TFrm_AddCust* editor) { editor->reject(); });
    pressCtrl(Qt::Key_A);
    EXPECT_EQ(add.count(), 2);
    main->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(main.get()));

    bool sawDialog = false;
    whenModal<TFrm_ChangePass>([&](TFrm_ChangePass* dialog) {
        sawDialog = dialog->parent() == main.get();
        QTest::keyClick(main->windowHandle(), Qt::Key_A, Qt::ControlModifier);
        pressCtrl(Qt::Key_A);
        dialog->reject();
    });
    main->ToolButton4->click();
    EXPECT_TRUE(sawDialog);
    EXPECT_EQ(add.count(), 2);

    main->activateWindow(); // a desktop hands activation back; the offscreen one does not
    ASSERT_TRUE(QTest::qWaitForWindowActive(main.get()));
    whenModal<TFrm_AddCust>([](TFrm_AddCust* editor) { editor->reject(); });
    pressCtrl(Qt::Key_A);
    EXPECT_EQ(add.count(), 3);
}

TEST_F(MainWindowTest, ReminderHookRunsOnTimer1AndItsErrorsAreShown) {
    int ticks = 0;
    main->onReminderCheck = [&] {
        if (++ticks == 2)
            throw AppError("no reminders");
    };
    main->Timer1Timer();
    main->Timer1Timer();
    EXPECT_EQ(ticks, 2);
    EXPECT_EQ(messages.texts(), QStringList{"no reminders."});
}

// The reminder button counts the operator's reminded open activities due by today.
TEST_F(MainWindowTest, TheReminderButtonCountsWhatIsDueByToday) {
    const QString today = QDate::currentDate().toString(Qt::ISODate);
    const QString yesterday = QDate::currentDate().addDays(-1).toString(Qt::ISODate);
    const QString tomorrow = QDate::currentDate().addDays(1).toString(Qt::ISODate);
    program.exec(QString("insert into T_Schedule (F_User, Subject, Awoke, Done, AwokeDate) values "
                         "('Admin', 'overdue', 1, 0, '%1 09:00:00'),"
                         "('Admin', 'today', 1, 0, '%2 23:00:00'),"
                         "('Admin', 'quiet', 0, 0, '%2 09:00:00'),"
                         "('Admin', 'tomorrow', 1, 0, '%3 09:00:00'),"
                         "('Other', 'not mine', 1, 0, '%2 09:00:00')")
                     .arg(yesterday, today, tomorrow));
    main->CurrentOperator = "Admin";
    main->show();
    EXPECT_EQ(main->TB_Awoke->text(), QStringLiteral("联系活动提醒(2)"));
    EXPECT_EQ(main->OpenAwoke->text(), QStringLiteral("联系活动提醒")) << "menus keep the name";
    program.exec("update T_Schedule set Awoke=0, Done=1");
    main->activities().refreshDueCount();
    EXPECT_EQ(main->TB_Awoke->text(), QStringLiteral("联系活动提醒"));
    EXPECT_TRUE(messages.shown.isEmpty()) << messages.texts().join('\n').toStdString();
}

struct PlainChild : QWidget {
    PlainChild() { setAttribute(Qt::WA_DeleteOnClose); }
};
struct DerivedChild : PlainChild {};

TEST_F(MainWindowTest, ShowChildFormBringsBackTheExactClassOrCreatesOne) {
    main->show();
    QPointer<DerivedChild> derived;
    main->ShowChildForm(derived);
    const int before = main->MdiArea->subWindowList().size();
    QPointer<PlainChild> list;
    main->ShowChildForm(list); // a new one: the derived child is not of the exact class
    ASSERT_TRUE(list);
    EXPECT_EQ(typeid(*list.data()), typeid(PlainChild));
    EXPECT_EQ(main->MdiArea->subWindowList().size(), before + 1);

    auto* sub = qobject_cast<QMdiSubWindow*>(list->parentWidget());
    sub->showMinimized();
    QPointer<PlainChild> again;
    main->ShowChildForm(again);
    EXPECT_EQ(again, list);
    EXPECT_FALSE(sub->isMinimized());
    EXPECT_EQ(main->MdiArea->activeSubWindow(), sub);

    sub->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(list.isNull()); // the reference follows the window away
    main->ShowChildForm(list);
    EXPECT_TRUE(list);
    EXPECT_EQ(main->MdiArea->subWindowList().size(), before + 1);
}

TEST_F(MainWindowTest, ClosingAsksNothingAndSignalsTheEnd) {
    main->show();
    QSignalSpy closed(main.get(), &TFrm_Main::closed);
    EXPECT_TRUE(main->close());
    EXPECT_EQ(closed.count(), 1);
    EXPECT_TRUE(messages.shown.isEmpty());
}

} // namespace
