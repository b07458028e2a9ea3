#include "EngineReason.h"

#include <sqlite3.h>

QString explainedFailure(FailureKind kind, const QString& engineText) {
    QString advice;
    switch (kind) {
    case FailureKind::DiskFull:
        advice = QStringLiteral("磁盘已满，数据没有写入。请腾出磁盘空间后再试（数据库在服务器上时"
                                "请告诉管理员）。");
        break;
    case FailureKind::ReadOnly:
        advice = QStringLiteral("数据库只能读不能写，数据没有写入。请检查数据库文件及其文件夹的写入"
                                "权限（数据库在服务器上时请告诉管理员）。");
        break;
    case FailureKind::NoPermission:
        advice = QStringLiteral("没有访问数据库的权限。请检查数据库文件及其文件夹的权限（数据库在服"
                                "务器上时请告诉管理员）。");
        break;
    case FailureKind::CannotOpen:
        advice = QStringLiteral("无法打开数据库文件。请检查文件是否存在、它的文件夹能否写入。");
        break;
    case FailureKind::DiskError:
        advice = QStringLiteral("读写数据库时磁盘出错。请检查磁盘，必要时从备份恢复。");
        break;
    case FailureKind::Damaged:
        advice = QStringLiteral("数据库已损坏。请从备份恢复（方法见说明文件）。");
        break;
    case FailureKind::NoMemory:
        advice = QStringLiteral("内存不足。请关闭其他程序后再试。");
        break;
    case FailureKind::TooBig:
        advice = QStringLiteral("要写入的内容太大，没有写入。请缩短后再试。");
        break;
    case FailureKind::Other:
        return engineText;
    }
    return advice + QStringLiteral("（") + engineText + u'）';
}

FailureKind sqliteFailureKind(int rc) {
    switch (rc & 0xff) {
    case SQLITE_FULL:
        return FailureKind::DiskFull;
    case SQLITE_READONLY:
        return FailureKind::ReadOnly;
    case SQLITE_PERM:
    case SQLITE_AUTH:
        return FailureKind::NoPermission;
    case SQLITE_CANTOPEN:
        return FailureKind::CannotOpen;
    case SQLITE_IOERR:
        return FailureKind::DiskError;
    case SQLITE_CORRUPT:
    case SQLITE_NOTADB:
        return FailureKind::Damaged;
    case SQLITE_NOMEM:
        return FailureKind::NoMemory;
    case SQLITE_TOOBIG:
        return FailureKind::TooBig;
    default:
        return FailureKind::Other;
    }
}

QString explainedSqliteError(sqlite3* db) {
    return explainedFailure(sqliteFailureKind(sqlite3_extended_errcode(db)),
                            QString::fromUtf8(sqlite3_errmsg(db)));
}

FailureKind serverFailureKind(const QByteArray& sqlState) {
    if (sqlState == "53100")
        return FailureKind::DiskFull;
    if (sqlState == "25006")
        return FailureKind::ReadOnly;
    if (sqlState == "42501")
        return FailureKind::NoPermission;
    if (sqlState == "58030")
        return FailureKind::DiskError;
    if (sqlState == "XX001" || sqlState == "XX002")
        return FailureKind::Damaged;
    if (sqlState == "53200")
        return FailureKind::NoMemory;
    if (sqlState == "54000")
        return FailureKind::TooBig;
    return FailureKind::Other;
}
