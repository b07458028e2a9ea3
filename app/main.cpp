#include "app/ChineseLocale.h"
#include "app/MainSequence.h"
#include "grid/WidgetMessageService.h"

#include <QApplication>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const QString title = applicationTitleFromPath(QCoreApplication::applicationFilePath());
    QCoreApplication::setApplicationName(title);
    applyProgramFont();
    const auto chineseTexts = useChineseWhateverTheLocale();
    WidgetMessageService messages(title);
    return RunMainSequence(QCoreApplication::applicationDirPath(), messages);
}
