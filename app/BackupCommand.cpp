#include "app/BackupCommand.h"

#include "data/BackupSet.h"
#include "data/MessageService.h"
#include "data/U_Data.h"

#include <QDir>
#include <QProgressDialog>

namespace {

const QString caption = QStringLiteral("备份数据库");

bool dueToday(Connection& connection, const QDate& today) {
    const std::unique_ptr<OnlineBackup> backup = connection.onlineBackup();
    return backup && !BackupSet(backup->sourceFile()).hasOneFrom(today);
}

BackupResult backupWithProgress(Connection& connection, QWidget* owner, const QDateTime& now) {
    QProgressDialog progress(QStringLiteral("正在备份数据库…"), QStringLiteral("取消"), 0, 0,
                             owner);
    progress.setWindowTitle(caption);
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(1000);
    progress.setAutoClose(false);
    progress.setAutoReset(false);
    return backupDatabase(connection, now, [&](qint64 done, qint64 total) {
        progress.setMaximum(int(total));
        progress.setValue(int(done));
        return !progress.wasCanceled();
    });
}

void tellOutcome(MessageService& messages, QWidget* owner, const BackupResult& result) {
    switch (result.outcome) {
    case BackupResult::Made:
        messages.messageBox(
            owner, QStringLiteral("数据库已备份到 %1").arg(QDir::toNativeSeparators(result.file)),
            caption, MsgIcon::Information, mbOK);
        break;
    case BackupResult::NotSupported:
        messages.messageBox(
            owner,
            QStringLiteral("本程序只备份单机数据库文件。PostgreSQL 数据库请用 pg_dump "
                           "备份，方法见说明文件 README。"),
            caption, MsgIcon::Information, mbOK);
        break;
    case BackupResult::Cancelled:
        break; // the operator's own choice needs no answer
    }
}

} // namespace

void runBackup(TFrm_Data& data, MessageService& messages, QWidget* owner, BackupReason reason,
               const QDateTime& now) {
    // A server makes no file copies: the daily one needs no connection of its own to learn so.
    if (reason == BackupReason::FirstStartOfTheDay && data.ADOConnection1 &&
        !data.ADOConnection1->onlineBackup())
        return;
    try {
        // The daily copy is the shop's safety net whoever logs in; a copy on demand is a right.
        if (reason == BackupReason::Asked)
            data.rights.require(Permission::BackupRestore);
        const std::unique_ptr<Connection> connection = openDatabase(data.ConnString);
        if (reason == BackupReason::FirstStartOfTheDay && !dueToday(*connection, now.date()))
            return;
        const BackupResult result = backupWithProgress(*connection, owner, now);
        if (reason == BackupReason::Asked)
            tellOutcome(messages, owner, result);
    } catch (const std::exception& error) {
        const QString text = QString::fromUtf8(error.what());
        messages.messageBox(owner, QStringLiteral("数据库备份失败：%1").arg(text), caption,
                            MsgIcon::Warning, mbOK);
    }
}
