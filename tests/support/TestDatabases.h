#pragma once

#include <QByteArray>
#include <QString>
#include <vector>

// The engines the data tests run on: the embedded file always, and a PostgreSQL server when
// CUSTDESK_TEST_PG holds its URI (scripts/test.sh starts one and sets it).
enum class TestEngine { Sqlite, Postgres };

std::vector<TestEngine> testEngines();
std::string testEngineName(TestEngine engine);

// A fresh database on the test server, made from the delivered schema; its URI.
QString createServerDatabase();
void dropServerDatabase(const QString& uri);
// The start of a Config.ini that points the program at the database uri names.
QByteArray configForDatabase(const QString& uri);
