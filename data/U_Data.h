#pragma once

#include "Engine.h"
#include "Query.h"
#include "Rights.h"
#include "SettingsFile.h"
#include "Worker.h"

#include <QObject>
#include <memory>
#include <mutex>

class BusyWaiter;
class MessageService;
class WriteQueue;

// The data module: one per run, created by the main sequence and handed to every window.
class TFrm_Data : public QObject {
    Q_OBJECT
  public:
    // programDir: the folder of the executable, where Config.ini and DataBase/ live.
    TFrm_Data(const QString& programDir, MessageService& messages, QObject* parent = nullptr);
    // busy: waits, with the operator's cancel, while another program holds the database.
    TFrm_Data(const QString& programDir, MessageService& messages, BusyWaiter* busy,
              QObject* parent = nullptr);
    ~TFrm_Data() override;

    // Reads Config.ini, builds ConnString and opens ADOConnection1; on failure asks whether
    // to go back to the built-in database and leaves DBConnected false. A file held by another
    // program is no failure to connect: it is waited for, and a given-up wait asks nothing.
    void FormCreate();

    const QString& programDir() const { return programDir_; }
    QString builtInDatabasePath() const; // <programDir>/DataBase/Custom.db

    SettingsFile IniFile;
    QString ConnString; // what a connection needs: the database file's path
    bool DBConnected = false;
    std::unique_ptr<Connection> ADOConnection1;

    // The logged-in operator's; every right until a login sets it. Changes through Qry_Cust
    // follow it whoever makes them.
    Rights rights;

    Query Qry_Cust;
    Query* const DS_Cust = &Qry_Cust; // the customer grid and the editor's navigator show this
    Query Qry_Temp;
    Query Qry_Str;
    Query Qry_FieldShow;
    Query Qry_SoftInfo;

    // Another connection to the open database, for reading off the window's thread.
    std::unique_ptr<Connection> openReader() const;
    // Starts making the next reader now, off the window's thread, so that the first
    // openReader() finds it made (the customer list's, right after the login).
    void openReaderSoon();
    // A connection of its own, never the one openReaderSoon() makes, for other work off the
    // window's thread.
    std::unique_ptr<Connection> openConnection() const;
    // Saves and deletes off the window's thread, on a connection of their own, made at the
    // first use; the operator's name goes with each.
    WriteQueue& writes();

    void OpenQuery(Query& query, const SqlCommand& command); // close, replace, open
    void ExecQuery(Query& query, const SqlCommand& command); // close, replace, execute

  private:
    void checkCustomerChange(RowChange change, QVariantMap& values) const;

    QString programDir_;
    MessageService& messages_;
    BusyWaiter* busy_ = nullptr;
    std::unique_ptr<WriteQueue> writes_;
    mutable std::mutex spareLock_;
    mutable std::unique_ptr<Connection> spare_; // made by openReaderSoon(), taken once
    std::unique_ptr<Worker> spareMaker_;        // last: stops before the members it fills
};
