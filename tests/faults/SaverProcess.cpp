#include "SaverProcess.h"

#include "data/Engine.h"

#include <QElapsedTimer>

SaverProcess::SaverProcess(const QStringList& arguments) {
    process_.start(CUSTDESK_SAVER, arguments);
    process_.waitForStarted();
}

SaverProcess::~SaverProcess() {
    if (process_.state() != QProcess::NotRunning) {
        process_.kill();
        process_.waitForFinished();
    }
}

void SaverProcess::collect() {
    pending_ += process_.readAllStandardOutput();
    qsizetype end;
    while ((end = pending_.indexOf('\n')) >= 0) {
        lines_ << QString::fromUtf8(pending_.left(end));
        pending_.remove(0, end + 1);
    }
}

bool SaverProcess::waitForLines(int count, int timeoutMs) {
    QElapsedTimer timer;
    timer.start();
    collect();
    while (lines_.size() < count) {
        const int left = timeoutMs - int(timer.elapsed());
        if (left <= 0 || process_.state() == QProcess::NotRunning)
            return false;
        process_.waitForReadyRead(left);
        collect();
    }
    return true;
}

void SaverProcess::kill() {
    process_.kill();
    process_.waitForFinished();
    collect(); // a half line (no '\n') stays pending: it was never a whole confirmation
}

bool SaverProcess::finish(int timeoutMs) {
    const bool done = process_.waitForFinished(timeoutMs);
    collect();
    return done && process_.exitStatus() == QProcess::NormalExit && process_.exitCode() == 0;
}

const QStringList& SaverProcess::lines() {
    collect();
    return lines_;
}

QString integrityOf(const QString& databasePath) {
    auto connection = openDatabase(databasePath);
    auto rows = connection->query({"PRAGMA integrity_check", {}});
    QStringList answers;
    while (rows->next())
        answers << QString::fromUtf8(rows->text(0).data(), qsizetype(rows->text(0).size()));
    return answers.join('\n');
}
