// Another program holds the database file: the program says so at once, waits with a cancel
// and goes on by itself; it never takes the lock for a lost database or a lost save.

#include "app/MainSequence.h"
#include "app/U_login.h"
#include "customers/U_AddCust.h"
#include "data/AppError.h"
#include "data/BusyWaiter.h"
#include "data/Statements.h"
#include "grid/BusyDialog.h"
#include "tests/app/AppTestSupport.h"
#include "tests/support/LockHolder.h"
#include "tests/support/TestDatabases.h"

#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

namespace {

// Plays the operator in front of the busy note: once it shows, reads it and either presses
// its cancel button or has the other program let go.
class NoteWatcher {
  public:
    NoteWatcher(BusyDialog& note, LockHolder& other, bool cancel) {
        timer_.setInterval(5);
        QObject::connect(&timer_, &QTimer::timeout, [this, &note, &other, cancel] {
            if (!note.window() || !note.window()->isVisible() || !seen.isEmpty())
                return;
            seen = note.Label_Text->text();
            shownAfterMs = clock_.elapsed();
            if (cancel)
                QTest::mouseClick(note.Btn_Cancel, Qt::LeftButton);
            else
                other.release();
        });
        clock_.start();
        timer_.start();
    }
    QString seen;
    qint64 shownAfterMs = -1;

  private:
    QTimer timer_;
    QElapsedTimer clock_;
};

TEST(BusyDatabase, StartUpWaitsForAFileInUseAndNeverSendsTheProgramElsewhere) {
    for (const bool cancel : {false, true}) {
        SCOPED_TRACE(cancel ? "cancelled" : "released");
        TempProgram program;
        {
            QFile config(program.configPath());
            ASSERT_TRUE(config.open(QIODevice::WriteOnly));
            config.write(configForDatabase(program.databasePath()));
        }
        const QByteArray configBefore = fileBytes(program.configPath());
        RecordingMessageService messages;
        BusyDialog note;
        BusyWaiter busy(note);
        LockHolder other(program.databasePath(), "BEGIN EXCLUSIVE");
        NoteWatcher watcher(note, other, cancel);
        bool loginShown = false;
        QTimer loginWatch;
        QObject::connect(&loginWatch, &QTimer::timeout, [&] {
            if (auto* login = qobject_cast<TFrm_Login*>(QApplication::activeModalWidget())) {
                loginShown = true;
                login->reject();
            }
        });
        loginWatch.start(5);

        EXPECT_EQ(RunMainSequence(program.dir(), messages, &busy), 0);
        EXPECT_EQ(watcher.seen, QStringLiteral("数据库正被其他程序使用，正在等待…"));
        EXPECT_LT(watcher.shownAfterMs, 4000) << "the note comes at once, not after a time-out";
        EXPECT_FALSE(note.window()->isVisible());
        EXPECT_EQ(loginShown, !cancel);
        EXPECT_EQ(messages.texts(),
                  cancel ? QStringList{DatabaseBusy::notDoneText()} : QStringList{})
            << "no question about connecting elsewhere";
        EXPECT_EQ(fileBytes(program.configPath()), configBefore) << "DBConn still names the file";
    }
}

TEST(BusyDatabase, ASaveWaitsForTheLockAndACancelledOneKeepsWhatWasTyped) {
    for (const bool cancel : {false, true}) {
        SCOPED_TRACE(cancel ? "cancelled" : "released");
        TempProgram program;
        RecordingMessageService messages;
        BusyDialog note;
        BusyWaiter busy(note);
        TFrm_Data data(program.dir(), messages, &busy);
        data.FormCreate();
        ASSERT_TRUE(data.DBConnected);
        data.OpenQuery(data.Qry_Cust, Sql::allCustomers());
        TFrm_AddCust editor(data, messages);
        editor.setMode(TFrm_AddCust::AddMode);
        editor.show();
        editor.Edit_CustName->setText(QStringLiteral("新客户"));
        editor.Edit_tel->setText("010-1");

        LockHolder other(program.databasePath(), "BEGIN IMMEDIATE");
        NoteWatcher watcher(note, other, cancel);
        editor.Btn_OK->click();
        EXPECT_EQ(watcher.seen, BusyWaiter::noteText());
        EXPECT_FALSE(note.window()->isVisible());
        if (cancel)
            other.release();

        data.OpenQuery(data.Qry_Temp, {"select tel from Custom where Company = ?", {"新客户"}});
        if (cancel) {
            EXPECT_EQ(messages.texts(),
                      QStringList{MessageService::errorBoxText(DatabaseBusy::notDoneText())});
            EXPECT_TRUE(data.Qry_Temp.isEmpty());
            EXPECT_EQ(editor.Edit_CustName->text(), QStringLiteral("新客户"));
            EXPECT_EQ(editor.Edit_tel->text(), "010-1");
            EXPECT_EQ(data.Qry_Cust.recordCount(), 0);
        } else {
            EXPECT_TRUE(messages.shown.isEmpty()) << messages.texts().join('\n').toStdString();
            EXPECT_EQ(data.Qry_Temp.asString("tel"), "010-1");
            EXPECT_EQ(data.Qry_Cust.recordCount(), 1);
            EXPECT_EQ(editor.Edit_CustName->text(), "") << "ready for the next customer";
        }
    }
}

} // namespace
