// custdesk-admin: the program's data tasks from the command line, for scripts and moving data.

#include "data/AppError.h"
#include "tools/admin/AdminCommand.h"

#include <QApplication>
#include <cstdio>
#include <iterator>

namespace {

// One line per subcommand; a new one is added here.
const AdminCommand commands[] = {
    {"import", "FILE [--on-duplicate skip|update|add] [--skip-bad] [--db DBCONN]", importCommand},
    {"export", "--format xls|xlsx|csv FILE [--db DBCONN]", exportCommand},
};

int usage() {
    printErrorLine(QStringLiteral("用法:"));
    for (const AdminCommand& c : commands)
        printErrorLine(QStringLiteral("  custdesk-admin %1 %2")
                           .arg(QString::fromUtf8(c.name), QString::fromUtf8(c.usage)));
    return kExitUsage;
}

} // namespace

int main(int argc, char** argv) {
    // The export lays the list out as the program's grid does, which needs a display of some
    // kind; a script on a server has none.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QStringList arguments = QCoreApplication::arguments().mid(1);
    if (arguments.isEmpty())
        return usage();
    const QString name = arguments.takeFirst();
    for (const AdminCommand& c : commands)
        if (name == QLatin1String(c.name)) {
            try {
                const int code = c.run(arguments);
                return code == kExitUsage ? usage() : code;
            } catch (const AppError& e) {
                printErrorLine(e.text());
                return kExitFailed;
            } catch (const std::exception& e) {
                printErrorLine(QString::fromLocal8Bit(e.what()));
                return kExitFailed;
            }
        }
    return usage();
}
