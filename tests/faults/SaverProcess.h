#pragma once

#include <QProcess>
#include <QStringList>

// The saver helper program (tests/faults/saver) run as a child process; its lines are
// collected as they come, including those written just before it was killed.
class SaverProcess {
  public:
    explicit SaverProcess(const QStringList& arguments);
    ~SaverProcess();

    bool waitForLines(int count, int timeoutMs); // false when it ended or timed out first
    void kill();                                 // SIGKILL, then collect what it wrote
    bool finish(int timeoutMs);                  // waits for a clean exit with code 0
    const QStringList& lines();
    QString errors() { return QString::fromUtf8(process_.readAllStandardError()); }

  private:
    void collect();

    QProcess process_;
    QByteArray pending_;
    QStringList lines_;
};

// integrity_check of the file, "ok" when sound.
QString integrityOf(const QString& databasePath);
