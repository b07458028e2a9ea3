// The preview opened from the reminder window that opened by itself at start-up must take
// input while that modal window is open, and hand the keyboard back when it closes.

#include "AwokeFixture.h"

#include "grid/U_Preview.h"
#include "reminders/ReminderCheck.h"

#include <QApplication>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QToolButton>
#include <QWindow>
#include <QtTest/QTest>

namespace {

// Runs step once the modal loop has made modal the widget that `current` returns.
void whenActive(std::function<QWidget*()> current, std::function<void()> step) {
    auto* timer = new QTimer;
    timer->setInterval(5);
    QObject::connect(timer, &QTimer::timeout, [timer, current, step] {
        QWidget* w = current();
        if (!w || QApplication::activeModalWidget() != w || !w->isVisible())
            return;
        timer->stop();
        timer->deleteLater();
        step();
    });
    timer->start();
}

void waitUntilMade(TFrm_Preview& preview) {
    for (int i = 0; i < 2000 && preview.making(); ++i)
        QTest::qWait(5);
}

} // namespace

TEST_F(AwokeFixture, ThePreviewOfTheStartUpReminderWindowTakesInputAndReturnsToIt) {
    for (int i = 0; i < 120; ++i) // more than one page
        addActivity(QString("activity %1").arg(i), 0);
    writeConfig("[OtherInfo]\nawoke=0\nDay=0\n");
    owner.resize(800, 600);
    owner.show(); // the main window, behind which the preview used to open
    ReminderCheck check(
        *data, messages, *previews, [this] { return operatorName; }, &owner, &timer1);
    QObject::connect(&timer1, &QTimer::timeout, [&] { check.Timer1Timer(); });
    timer1.setInterval(10);

    int pagesSeen = 0;
    QString zoomSeen;
    bool backToReminder = false;
    auto reminder = [&] { return static_cast<QWidget*>(check.Frm_Awoke()); };
    auto preview = [&] { return static_cast<QWidget*>(previews->window()); };
    whenActive(reminder, [&] {
        check.Frm_Awoke()->Btn_Print->click();
        whenActive(preview, [&] {
            TFrm_Preview& p = *previews->window();
            waitUntilMade(p);
            EXPECT_EQ(p.windowHandle()->transientParent(), check.Frm_Awoke()->windowHandle())
                << "the preview stays in front of the window it came from";
            // Real mouse input goes through the blocking of modal windows, unlike click().
            QTest::mouseClick(p.Btn_NextPage, Qt::LeftButton);
            pagesSeen = p.shownPage();
            p.Menu_Zoom->actions().at(3)->trigger();
            zoomSeen = p.zoom();
            QTest::mouseClick(p.Btn_Close, Qt::LeftButton);
            EXPECT_FALSE(p.isVisible());
            QTest::qWait(20);
            backToReminder = QApplication::activeModalWidget() == check.Frm_Awoke() &&
                             QApplication::activeWindow() == check.Frm_Awoke();
            check.Frm_Awoke()->Btn_Exit->click();
        });
    });
    QTimer giveUp; // a preview that takes no input must fail the test, not hang it
    giveUp.setSingleShot(true);
    QObject::connect(&giveUp, &QTimer::timeout, [&] {
        if (previews->window())
            previews->window()->close();
        if (check.Frm_Awoke())
            check.Frm_Awoke()->reject();
    });
    giveUp.start(10000);
    timer1.start();
    for (int i = 0; i < 1000 && !check.hasOpened(); ++i)
        QTest::qWait(5);
    ASSERT_TRUE(check.hasOpened());
    EXPECT_EQ(check.Frm_Awoke(), nullptr) << "the reminder window closed and was freed";
    EXPECT_EQ(pagesSeen, 1) << "the preview's next page button took the click";
    EXPECT_EQ(zoomSeen, "100%");
    EXPECT_TRUE(backToReminder);
    EXPECT_TRUE(messages.shown.isEmpty()) << messages.texts().join("\n").toStdString();

    // The preview outlived its opener and opens again, not modal, from a window that is not.
    ASSERT_NE(previews->window(), nullptr);
    auto window = openWindow();
    window->hide();
    window->setModal(false);
    window->show();
    window->Btn_Print->click();
    EXPECT_TRUE(previews->window()->isVisible());
    EXPECT_EQ(previews->window()->windowModality(), Qt::NonModal);
    previews->window()->close();
}
