#pragma once

#include <QProcess>
#include <QString>

// Another program holding a database file's lock: the sqlite3 command line, in a transaction
// begun with beginSql and kept open until release().
class LockHolder {
  public:
    LockHolder(const QString& databasePath, const QString& beginSql);
    ~LockHolder();

    void release(int afterMs = 0); // ends the transaction; the lock goes a moment later
    bool held() const;

  private:
    QString path_;
    QProcess process_;
};
