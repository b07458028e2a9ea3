#include "data/U_Data.h"

#include "data/AppError.h"
#include "data/Guard.h"
#include "data/MessageService.h"
#include "data/Statements.h"
#include "data/postgres/PgEngine.h"

#include <QDir>

namespace {
const QString connectFailedText = QStringLiteral("连接数据库失败,您要连接本机数据库吗! ");
const QString programCaption = QStringLiteral("客户管理系统");
} // namespace

TFrm_Data::TFrm_Data(const QString& programDir, MessageService& messages, QObject* parent)
    : TFrm_Data(programDir, messages, nullptr, parent) {}

TFrm_Data::TFrm_Data(const QString& programDir, MessageService& messages, BusyWaiter* busy,
                     QObject* parent)
    : QObject(parent), IniFile(QDir(programDir).filePath("Config.ini")), Qry_Cust("Qry_Cust"),
      Qry_Temp("Qry_Temp"), Qry_Str("Qry_Str"), Qry_FieldShow("Qry_FieldShow"),
      Qry_SoftInfo("Qry_SoftInfo"), programDir_(programDir), messages_(messages), busy_(busy) {
    Qry_Cust.setCommand(Sql::allCustomers());
}

TFrm_Data::~TFrm_Data() = default;

QString TFrm_Data::builtInDatabasePath() const {
    return QDir(programDir_).filePath("DataBase/Custom.db");
}

void TFrm_Data::FormCreate() {
    const QString dbConn = IniFile.ReadString("Config", "DBConn", QString());
    ConnString = dbConn.isEmpty() ? builtInDatabasePath() : dbConn;
    try {
        ADOConnection1 = openDatabase(ConnString, busy_);
    } catch (const DatabaseBusy& busy) {
        // The file is there and sound, only in use: DBConn must keep pointing at it.
        messages_.messageBox(nullptr, busy.text(), programCaption, MsgIcon::Information, mbOK);
        return;
    } catch (const std::exception& e) {
        // A file's engine text would not help the operator; a server's tells what to mend.
        if (Pg::isPostgresUri(ConnString))
            messages_.showError(QString::fromUtf8(e.what()));
        const int answer = messages_.messageBox(nullptr, connectFailedText, programCaption,
                                                MsgIcon::Information, mbYes | mbNo);
        if (answer == mbYes)
            guarded(messages_, [&] { IniFile.WriteString("Config", "DBConn", QString()); });
        return;
    }
    for (Query* query : {&Qry_Cust, &Qry_Temp, &Qry_Str, &Qry_FieldShow, &Qry_SoftInfo})
        query->setConnection(ADOConnection1.get());
    DBConnected = true;
}

std::unique_ptr<Connection> TFrm_Data::openReader() const {
    // This run's own connection brought the server's schema up to date: a reader need not
    // ask the server for its version again.
    if (Pg::isPostgresUri(ConnString))
        return Pg::openPostgresDatabase(ConnString);
    return openDatabase(ConnString);
}

void TFrm_Data::OpenQuery(Query& query, const SqlCommand& command) {
    query.close();
    query.setCommand(command);
    query.open();
}

void TFrm_Data::ExecQuery(Query& query, const SqlCommand& command) {
    query.close();
    query.setCommand(command);
    query.exec();
}
