#include "app/MainSequence.h"

#include "app/BackupCommand.h"
#include "app/HistoryCommands.h"
#include "app/U_ChangePass.h"
#include "app/U_Main.h"
#include "app/U_login.h"
#include "app/U_splash.h"
#include "data/AppError.h"
#include "data/Guard.h"
#include "data/MessageService.h"
#include "data/Roles.h"
#include "data/Statements.h"
#include "data/U_Data.h"
#include "data/Worker.h"
#include "fields/CustomerFields.h"
#include "operators/Owners.h"

#include <QApplication>
#include <QDateTime>
#include <QTimer>
#include <functional>
#include <memory>

namespace {

// The customers the pool took back from the operator since their last login.
void tellOfReturnedCustomers(MessageService& messages, const QStringList& names) {
    if (!names.isEmpty())
        messages.messageBox(nullptr,
                            QStringLiteral("以下客户长期没有联系活动，已放回公海：\n") +
                                names.join(QStringLiteral("、")),
                            QStringLiteral("提醒"), MsgIcon::Information, mbOK);
}

// The start's upkeep, on a connection of its own off the window's thread while the list opens:
// what outlived its retention goes, idle customers go back to the pool, and the operator's
// notice of those the pool took from them is taken. What it has to tell, the window's loop
// shows once it is done.
class StartUpkeep {
  public:
    StartUpkeep(TFrm_Data& data, MessageService& messages, QWidget* owner, qint64 operatorKey) {
        const ChangeAuthor author = data.ADOConnection1->author();
        worker_.post([&data, &messages, owner, operatorKey, author](const std::atomic_bool&) {
            QString purgeFailure, failure;
            QStringList returned;
            // Each step is tried however the one before it ended; the first failure is told.
            auto attempt = [&failure](const std::function<void()>& step) {
                try {
                    step();
                } catch (const std::exception& error) {
                    if (failure.isEmpty())
                        failure = QString::fromUtf8(error.what());
                }
            };
            std::unique_ptr<Connection> connection;
            attempt([&] {
                connection = data.openConnection();
                connection->setAuthor(author); // the history records the operator's upkeep
            });
            if (connection) {
                purgeFailure = purgeExpiredHistory(*connection, data.IniFile);
                attempt([&] { returned = Owners::takeReturnedNotice(*connection, operatorKey); });
                attempt([&] {
                    Owners::returnIdleCustomers(*connection, QDateTime::currentDateTime());
                });
            }
            QMetaObject::invokeMethod(
                qApp,
                [&messages, owner, purgeFailure, failure, returned] {
                    tellPurgeFailure(messages, owner, purgeFailure);
                    guarded(messages, [&] {
                        if (!failure.isEmpty())
                            throw AppError(failure);
                        tellOfReturnedCustomers(messages, returned);
                    });
                },
                Qt::QueuedConnection);
        });
    }

  private:
    Worker worker_;
};

} // namespace

QList<SqlCommand> readsAfterLogin(qint64 operatorKey) {
    return {Roles::rightsRead(operatorKey), Sql::softInfo(),
            Sql::shownLayout(QStringLiteral("Custom")), Sql::searchFields(),
            CustomerFields::allRead()};
}

int RunMainSequence(const QString& programDir, MessageService& messages, BusyWaiter* busy) {
    auto splash = std::make_unique<TFrm_Splash>();
    splash->show();
    splash->repaint();
    QCoreApplication::processEvents(); // painted now: the connection may take a while

    // The data module object exists first because the main window keeps a reference to it;
    // its creation steps run after the main window, as the start-up order requires.
    TFrm_Data data(programDir, messages, busy);
    TFrm_Main main(data, messages);
    QApplication::setWindowIcon(main.windowIcon()); // the login dialog carries it too
    data.FormCreate();
    splash.reset();
    if (!data.DBConnected)
        return 0;

    data.openReaderSoon(); // for the list, while the operator logs in
    TFrm_Login login(data, messages, main);
    login.exec();
    if (!login.LoginOK)
        return 0;
    identifyOperator(data, main.CurrentOperator);
    if (login.MustChangePassword) { // the program goes on only with a new password
        TFrm_ChangePass change(data, messages, main.LoggedIn);
        change.setForced(true);
        if (change.exec() != QDialog::Accepted)
            return 0;
    }

    QObject::connect(&main, &TFrm_Main::closed, qApp, [] { QCoreApplication::exit(0); });
    std::unique_ptr<StartUpkeep> upkeep;
    QTimer::singleShot(0, &main, [&] {
        main.showMaximized();
        runBackup(data, messages, &main, BackupReason::FirstStartOfTheDay);
        upkeep = std::make_unique<StartUpkeep>(data, messages, &main, main.LoggedIn.key);
    });
    return QApplication::exec();
}

void applyProgramFont() {
    QFont font = QApplication::font();
    font.setFamilies(
        {QStringLiteral("SimSun"), QStringLiteral("宋体"), QStringLiteral("WenQuanYi Micro Hei")});
    font.setPointSize(9);
    QApplication::setFont(font);
}
