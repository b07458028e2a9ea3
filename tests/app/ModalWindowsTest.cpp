#include "app/U_login.h"
#include "app/U_splash.h"
#include "grid/ExcelExport.h"
#include "grid/GridPrinter.h"
#include "grid/U_PrintSettings.h"
#include "grid/WidgetMessageService.h"
#include "tests/app/AppTestSupport.h"

#include <QDialog>
#include <QFileDialog>
#include <QTest>

namespace {

struct Frame {
    bool seen = false;
    bool minimiseBox = false;
    bool maximiseBox = false;
    bool staysMinimised = false;
};

// The window's buttons, and whether it stays minimised when the window manager minimises it.
Frame frameOf(QWidget* window) {
    Frame frame{true, window->windowFlags().testFlag(Qt::WindowMinimizeButtonHint),
                window->windowFlags().testFlag(Qt::WindowMaximizeButtonHint), false};
    window->setWindowState(window->windowState() | Qt::WindowMinimized);
    QTest::qWait(30);
    frame.staysMinimised = window->isMinimized();
    return frame;
}

class ModalWindows : public ShellTest {};

TEST_F(ModalWindows, NoneCanBeLostByMinimisingAndOnlyResizableOnesMaximise) {
    data->IniFile.WriteInteger("OtherInfo", "awoke", 0); // the reminder window opens on a tick
    data->IniFile.WriteInteger("OtherInfo", "Day", 1);
    PrintSettings printSettings;
    WidgetMessageService realBoxes("custdesk");
    const struct {
        const char* window;
        std::function<void()> open;
        bool resizable;
    } cases[] = {
        {"reminder", [&] { main->Timer1Timer(); }, true},
        {"login",
         [&] {
             TFrm_Login login(*data, messages, *main);
             login.exec();
         },
         false},
        {"password", [&] { main->ToolButton4Click(); }, false},
        {"editor", [&] { main->AddCustExecute(); }, false},
        {"chooser", [&] { main->ShowField_CustExecute(); }, false},
        {"print settings",
         [&] {
             TFrm_PrintSettings settings(printSettings, nullptr, messages);
             settings.exec();
         },
         false},
        {"message box",
         [&] { realBoxes.messageBox(nullptr, "x", "提示", MsgIcon::Information, mbOK); }, false},
        {"save dialog",
         [&] {
             QFileDialog dialog;
             askSaveFileName(dialog, kExcelFileFilter);
         },
         true},
    };
    for (const auto& c : cases) {
        Frame frame;
        whenModal<QDialog>([&frame](QDialog* dialog) {
            frame = frameOf(dialog);
            dialog->close();
            if (dialog->isVisible())
                dialog->reject();
        });
        c.open();
        ASSERT_TRUE(frame.seen) << c.window;
        EXPECT_FALSE(frame.minimiseBox) << c.window;
        EXPECT_EQ(frame.maximiseBox, c.resizable) << c.window;
        EXPECT_FALSE(frame.staysMinimised) << c.window;
    }
    TFrm_Splash splash;
    EXPECT_FALSE(splash.windowFlags() &
                 (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint));
}

} // namespace
