#include "SqliteReason.h"

#include <sqlite3.h>

namespace {

QString adviceFor(int primary) {
    switch (primary) {
    case SQLITE_FULL:
        return QStringLiteral("磁盘已满，数据没有写入。请腾出磁盘空间后再试。");
    case SQLITE_READONLY:
        return QStringLiteral("数据库文件只能读不能写，数据没有写入。请检查数据库文件及其文件夹的"
                              "写入权限，或磁盘是否以只读方式挂载。");
    case SQLITE_PERM:
    case SQLITE_AUTH:
        return QStringLiteral("没有访问数据库文件的权限。请检查文件及其文件夹的权限。");
    case SQLITE_CANTOPEN:
        return QStringLiteral("无法打开数据库文件。请检查文件是否存在、文件夹能否写入。");
    case SQLITE_IOERR:
        return QStringLiteral("读写数据库文件时磁盘出错。请检查磁盘，必要时从备份恢复。");
    case SQLITE_CORRUPT:
    case SQLITE_NOTADB:
        return QStringLiteral("数据库文件已损坏或不是数据库文件。请用 custdesk-admin restore "
                              "从备份恢复。");
    case SQLITE_NOMEM:
        return QStringLiteral("内存不足。请关闭其他程序后再试。");
    case SQLITE_TOOBIG:
        return QStringLiteral("要写入的内容太大，没有写入。请缩短后再试。");
    default:
        return {};
    }
}

} // namespace

QString explainedSqliteError(int rc, const QString& engineText) {
    const QString advice = adviceFor(rc & 0xff);
    return advice.isEmpty() ? engineText : advice + QStringLiteral("（") + engineText + u'）';
}

QString explainedSqliteError(sqlite3* db) {
    return explainedSqliteError(sqlite3_extended_errcode(db),
                                QString::fromUtf8(sqlite3_errmsg(db)));
}
