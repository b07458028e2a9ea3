#include "TestDatabases.h"

#include "data/AppError.h"
#include "data/postgres/PgEngine.h"
#include "data/postgres/PgSchema.h"

#include <QCoreApplication>
#include <QFile>
#include <atomic>
#include <cstdio>
#include <memory>

namespace {

QString serverUri() {
    return qEnvironmentVariable("CUSTDESK_TEST_PG");
}

QString uriForDatabase(const QString& name) {
    return Pg::uriWithDatabase(serverUri(), name);
}

Pg::PgConnection& server() {
    static std::unique_ptr<Pg::PgConnection> admin = Pg::openPostgresDatabase(serverUri());
    return *admin;
}

// The delivered schema once per test program; every test copies it, which is quick.
QString templateName() {
    static const QString name = [] {
        const QString n = QString("custdesk_template_%1").arg(QCoreApplication::applicationPid());
        server().executeNative("DROP DATABASE IF EXISTS " + n);
        server().executeNative("CREATE DATABASE " + n);
        auto target = Pg::openPostgresDatabase(uriForDatabase(n));
        QFile schema(CUSTDESK_SCHEMA_SQL);
        if (!schema.open(QIODevice::ReadOnly))
            throw AppError("cannot read the schema");
        Pg::initFromSchema(QString::fromUtf8(schema.readAll()), *target);
        return n;
    }();
    return name;
}

} // namespace

std::vector<TestEngine> testEngines() {
    if (serverUri().isEmpty()) {
        static bool told = false;
        if (!std::exchange(told, true))
            std::fprintf(stderr, "NOTE: CUSTDESK_TEST_PG is not set; the PostgreSQL runs of the "
                                 "data tests are left out (scripts/test.sh sets it).\n");
        return {TestEngine::Sqlite};
    }
    return {TestEngine::Sqlite, TestEngine::Postgres};
}

std::string testEngineName(TestEngine engine) {
    return engine == TestEngine::Sqlite ? "Sqlite" : "Postgres";
}

QString createServerDatabase() {
    static std::atomic<int> counter{0};
    const QString name =
        QString("custdesk_test_%1_%2").arg(QCoreApplication::applicationPid()).arg(++counter);
    server().executeNative("DROP DATABASE IF EXISTS " + name);
    server().executeNative("CREATE DATABASE " + name + " TEMPLATE " + templateName());
    return uriForDatabase(name);
}

void dropServerDatabase(const QString& uri) {
    try {
        server().executeNative("DROP DATABASE IF EXISTS " + Pg::databaseOfUri(uri) +
                               " WITH (FORCE)");
    } catch (const AppError&) {
        // Left for the throw-away server to take with it.
    }
}

QByteArray configForDatabase(const QString& uri) {
    return "[Config]\nDBConn=" + uri.toUtf8() + "\n";
}
