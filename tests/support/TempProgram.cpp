#include "TempProgram.h"

#include "data/AppError.h"
#include "data/U_Data.h"

#include <QDir>
#include <QFile>
#include <sqlite3.h>

namespace {
void runSql(const QString& path, const QByteArray& sql) {
    sqlite3* db = nullptr;
    char* error = nullptr;
    const bool ok = sqlite3_open(path.toUtf8().constData(), &db) == SQLITE_OK &&
                    sqlite3_exec(db, sql.constData(), nullptr, nullptr, &error) == SQLITE_OK;
    const QString message = error ? QString::fromUtf8(error) : QString::fromUtf8(sqlite3_errmsg(db));
    sqlite3_free(error);
    sqlite3_close(db);
    if (!ok)
        throw AppError("test SQL failed: " + message);
}
} // namespace

TempProgram::TempProgram() {
    QDir(tmp_.path()).mkpath("DataBase");
    QFile schema(CUSTDESK_SCHEMA_SQL);
    if (!schema.open(QIODevice::ReadOnly))
        throw AppError("cannot read the schema");
    runSql(databasePath(), schema.readAll());
}

TempProgram::~TempProgram() = default;

QString TempProgram::databasePath() const { return tmp_.path() + "/DataBase/Custom.db"; }
QString TempProgram::configPath() const { return tmp_.path() + "/Config.ini"; }

void TempProgram::exec(const QString& sql) const { runSql(databasePath(), sql.toUtf8()); }

std::unique_ptr<TFrm_Data> TempProgram::connect(MessageService& messages) const {
    auto data = std::make_unique<TFrm_Data>(tmp_.path(), messages);
    data->FormCreate();
    return data;
}
