#include "app/ChineseLocale.h"
#include "app/MainSequence.h"
#include "data/BusyWaiter.h"
#include "data/ProcessSetup.h"
#include "grid/BusyDialog.h"
#include "grid/WidgetMessageService.h"

#include <QApplication>
#include <cstdio>
#include <cstring>

int main(int argc, char** argv) {
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0)
        return std::puts("custdesk " CUSTDESK_VERSION) < 0;
    prepareProcess();
    QApplication app(argc, argv);
    const QString title = applicationTitleFromPath(QCoreApplication::applicationFilePath());
    QCoreApplication::setApplicationName(title);
    applyProgramFont();
    const auto chineseTexts = useChineseWhateverTheLocale();
    WidgetMessageService messages(title);
    BusyDialog busyNote;
    BusyWaiter busy(busyNote);
    return RunMainSequence(QCoreApplication::applicationDirPath(), messages, &busy);
}
