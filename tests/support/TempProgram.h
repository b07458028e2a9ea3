#pragma once

#include <QString>
#include <QTemporaryDir>
#include <memory>

class TFrm_Data;
class MessageService;

// A throw-away program folder: DataBase/Custom.db made from the delivered schema, no
// Config.ini. connect() gives a data module over it, created as the program creates its own.
class TempProgram {
public:
    TempProgram();
    ~TempProgram();

    QString dir() const { return tmp_.path(); }
    QString databasePath() const;
    QString configPath() const;

    // Runs SQL directly on the database file (outside any data module).
    void exec(const QString& sql) const;

    std::unique_ptr<TFrm_Data> connect(MessageService& messages) const;

private:
    QTemporaryDir tmp_;
};
