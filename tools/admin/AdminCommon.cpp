#include "data/Engine.h"
#include "data/SettingsFile.h"
#include "tools/admin/AdminCommand.h"

#include <QCoreApplication>
#include <QDir>
#include <cstdio>

QString takeOption(QStringList& arguments, const QString& name, const QString& def) {
    const qsizetype at = arguments.indexOf(name);
    if (at < 0 || at + 1 >= arguments.size())
        return def;
    const QString value = arguments.at(at + 1);
    arguments.remove(at, 2);
    return value;
}

QString programDirectory() {
    return QCoreApplication::applicationDirPath();
}

std::unique_ptr<Connection> openAdminDatabase(const QString& dbOption) {
    QString connString = dbOption;
    if (connString.isEmpty()) {
        const SettingsFile settings(QDir(programDirectory()).filePath("Config.ini"));
        connString = settings.ReadString("Config", "DBConn", QString());
    }
    if (connString.isEmpty())
        connString = QDir(programDirectory()).filePath("DataBase/Custom.db");
    return openDatabase(connString);
}

void printLine(const QString& text) {
    std::fputs((text + u'\n').toLocal8Bit().constData(), stdout);
}

void printErrorLine(const QString& text) {
    std::fputs((text + u'\n').toLocal8Bit().constData(), stderr);
}
