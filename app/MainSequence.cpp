#include "app/MainSequence.h"

#include "app/BackupCommand.h"
#include "app/HistoryCommands.h"
#include "app/U_ChangePass.h"
#include "app/U_Main.h"
#include "app/U_login.h"
#include "app/U_splash.h"
#include "data/Guard.h"
#include "data/MessageService.h"
#include "data/U_Data.h"
#include "operators/Owners.h"

#include <QApplication>
#include <memory>

namespace {

// The customers the pool took back from the operator since their last login.
void tellOfReturnedCustomers(TFrm_Data& data, MessageService& messages, qint64 operatorKey) {
    guarded(messages, [&] {
        const QStringList names = Owners::takeReturnedNotice(*data.ADOConnection1, operatorKey);
        if (!names.isEmpty())
            messages.messageBox(nullptr,
                                QStringLiteral("以下客户长期没有联系活动，已放回公海：\n") +
                                    names.join(QStringLiteral("、")),
                                QStringLiteral("提醒"), MsgIcon::Information, mbOK);
    });
}

} // namespace

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
    tellOfReturnedCustomers(data, messages, main.LoggedIn.key);

    QObject::connect(&main, &TFrm_Main::closed, qApp, [] { QCoreApplication::exit(0); });
    QTimer::singleShot(0, &main, [&] {
        main.showMaximized();
        runBackup(data, messages, &main, BackupReason::FirstStartOfTheDay);
        purgeExpiredHistory(data, messages, &main);
        guarded(messages, [&] {
            Owners::returnIdleCustomers(*data.ADOConnection1, QDateTime::currentDateTime());
        });
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
