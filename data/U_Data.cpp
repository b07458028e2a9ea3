#include "data/U_Data.h"

#include "data/AppError.h"
#include "data/Guard.h"
#include "data/MessageService.h"
#include "data/Statements.h"
#include "data/WriteQueue.h"
#include "data/postgres/PgEngine.h"

#include <QDir>
#include <QUrl>
#include <QUrlQuery>

namespace {
const QString connectFailedText = QStringLiteral("连接数据库失败,您要连接本机数据库吗! ");
const QString programCaption = QStringLiteral("客户管理系统");

// The server and database a URI names, without its password.
QString serverOf(const QString& uri) {
    const QUrl url(uri);
    QString host = url.host();
    if (host.isEmpty())
        host = QUrlQuery(url).queryItemValue(QStringLiteral("host"));
    if (host.isEmpty())
        host = QStringLiteral("localhost");
    if (url.port() > 0)
        host += ':' + QString::number(url.port());
    return QStringLiteral("%1 上的数据库 %2").arg(host, Pg::databaseOfUri(uri));
}

QString serverFailedText(const QString& uri, const char* reason) {
    return QStringLiteral("连接数据库服务器失败：%1\n\n%2\n\n请确认服务器已启动、网络畅通、"
                          "用户名和密码正确，然后重试。")
        .arg(serverOf(uri), QString::fromUtf8(reason).trimmed());
}
} // namespace

TFrm_Data::TFrm_Data(const QString& programDir, MessageService& messages, QObject* parent)
    : TFrm_Data(programDir, messages, nullptr, parent) {}

TFrm_Data::TFrm_Data(const QString& programDir, MessageService& messages, BusyWaiter* busy,
                     QObject* parent)
    : QObject(parent), IniFile(QDir(programDir).filePath("Config.ini")), Qry_Cust("Qry_Cust"),
      Qry_Temp("Qry_Temp"), Qry_Str("Qry_Str"), Qry_FieldShow("Qry_FieldShow"),
      Qry_SoftInfo("Qry_SoftInfo"), programDir_(programDir), messages_(messages), busy_(busy) {
    Qry_Cust.setCommand(Sql::allCustomers());
    Qry_Cust.setChangeCheck(
        [this](RowChange change, QVariantMap& values) { checkCustomerChange(change, values); });
}

// The rows of Qry_Cust were read through the operator's scope; this keeps a change inside it
// even when a window opened the query some other way.
void TFrm_Data::checkCustomerChange(RowChange change, QVariantMap& values) const {
    static const QString owner = QStringLiteral("Owner");
    switch (change) {
    case RowChange::Append:
        rights.require(Permission::AddCustomers);
        if (rights.operatorKey() != 0 && !values.contains(owner))
            values.insert(owner, rights.operatorKey()); // a new customer is its adder's
        break;
    case RowChange::Edit:
        rights.require(Permission::EditCustomers);
        break;
    case RowChange::Remove:
        rights.require(Permission::DeleteCustomers);
        break;
    }
    if (change != RowChange::Append && Qry_Cust.findField(owner) >= 0 &&
        !rights.seesOwner(Qry_Cust.asVariant(owner)))
        throw AppError(QStringLiteral("这位客户不属于您，不能修改或删除。"));
    if (rights.ownOnly() && values.contains(owner) && !rights.seesOwner(values.value(owner)))
        throw AppError(QStringLiteral("您不能把客户交给其他操作员。"));
}

TFrm_Data::~TFrm_Data() = default;

QString TFrm_Data::builtInDatabasePath() const {
    return QDir(programDir_).filePath("DataBase/Custom.db");
}

void TFrm_Data::FormCreate() {
    const QString dbConn = IniFile.ReadString("Config", "DBConn", QString());
    ConnString = dbConn.isEmpty() ? builtInDatabasePath() : dbConn;
    while (!ADOConnection1) {
        try {
            ADOConnection1 = openDatabase(ConnString, busy_);
        } catch (const DatabaseBusy& busy) {
            // The file is there and sound, only in use: DBConn must keep pointing at it.
            messages_.messageBox(nullptr, busy.text(), programCaption, MsgIcon::Information, mbOK);
            return;
        } catch (const std::exception& e) {
            if (Pg::isPostgresUri(ConnString)) {
                // The others work on that server: going to a local file would split the data.
                if (messages_.messageBox(nullptr, serverFailedText(ConnString, e.what()),
                                         programCaption, MsgIcon::Warning,
                                         mbRetry | mbCancel) == mbRetry)
                    continue;
                return;
            }
            // A file's engine text would not help the operator.
            const int answer = messages_.messageBox(nullptr, connectFailedText, programCaption,
                                                    MsgIcon::Information, mbYes | mbNo);
            if (answer == mbYes)
                guarded(messages_, [&] { IniFile.WriteString("Config", "DBConn", QString()); });
            return;
        }
    }
    for (Query* query : {&Qry_Cust, &Qry_Temp, &Qry_Str, &Qry_FieldShow, &Qry_SoftInfo})
        query->setConnection(ADOConnection1.get());
    DBConnected = true;
}

namespace {

std::unique_ptr<Connection> openAnother(const QString& connString) {
    // This run's own connection brought the server's schema up to date: another connection
    // need not ask the server for its version again.
    if (Pg::isPostgresUri(connString))
        return Pg::openPostgresDatabase(connString);
    return openDatabase(connString);
}

} // namespace

void TFrm_Data::openReaderSoon() {
    if (spareMaker_ || ConnString.isEmpty())
        return;
    spareMaker_ = std::make_unique<Worker>();
    spareMaker_->post([this](const std::atomic_bool&) {
        try {
            auto made = openConnection();
            std::lock_guard lock(spareLock_);
            spare_ = std::move(made);
        } catch (const std::exception&) {
            // The reader's own opening meets the failure again and reports it.
        }
    });
}

std::unique_ptr<Connection> TFrm_Data::openReader() const {
    if (spareMaker_) {
        spareMaker_->wait();
        std::lock_guard lock(spareLock_);
        if (spare_)
            return std::move(spare_);
    }
    return openConnection();
}

std::unique_ptr<Connection> TFrm_Data::openConnection() const {
    return openAnother(ConnString);
}

WriteQueue& TFrm_Data::writes() {
    if (writes_ && (!writes_->inPlace() || writes_->inPlace() == ADOConnection1.get()))
        return *writes_;
    // Only a server costs a round trip per statement; a file's writes stay where its lock
    // waits are shown.
    if (Pg::isPostgresUri(ConnString) || !ADOConnection1)
        writes_ = std::make_unique<WriteQueue>(
            [connString = ConnString] { return openAnother(connString); });
    else
        writes_ = std::make_unique<WriteQueue>(*ADOConnection1);
    return *writes_;
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
