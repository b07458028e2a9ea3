#include "app/MainSequence.h"

#include "app/BackupCommand.h"
#include "app/HistoryCommands.h"
#include "app/U_Main.h"
#include "app/U_login.h"
#include "app/U_splash.h"
#include "data/U_Data.h"

#include <QApplication>
#include <memory>

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

    QObject::connect(&main, &TFrm_Main::closed, qApp, [] { QCoreApplication::exit(0); });
    QTimer::singleShot(0, &main, [&] {
        main.showMaximized();
        runBackup(data, messages, &main, BackupReason::FirstStartOfTheDay);
        purgeExpiredHistory(data, messages, &main);
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
