#pragma once

#include "data/AppError.h"
#include "data/Engine.h"
#include "data/Query.h"
#include "tests/support/TempProgram.h"
#include "tests/support/TestDatabases.h"

#include <QVariant>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <string>

// The text of the error the action throws, or "no error".
inline std::string errorOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const AppError& e) {
        return e.text().toStdString();
    }
    return "no error";
}

// A throw-away copy of the delivered database with one connection open on it: a file, or a
// database of its own on the test server.
struct TempDatabase {
    explicit TempDatabase(TestEngine engine = TestEngine::Sqlite)
        : engine(engine), connString(engine == TestEngine::Postgres ? createServerDatabase()
                                                                    : program.databasePath()) {}
    ~TempDatabase() {
        connection.reset();
        if (engine == TestEngine::Postgres)
            dropServerDatabase(connString);
    }

    TestEngine engine;
    TempProgram program;
    QString connString;
    std::unique_ptr<Connection> connection = openDatabase(connString);

    // A second, independent connection: another copy of the program on the same database.
    std::unique_ptr<Connection> secondConnection() const { return openDatabase(connString); }

    // The first cell of the first row: Null as an invalid QVariant, else qint64/double/QString.
    QVariant scalar(const QString& sql, const QVariantList& params = {}) const {
        auto rows = connection->query({sql, params});
        if (!rows->next())
            return {};
        switch (rows->type(0)) {
        case CellType::Integer:
            return rows->toInt64(0);
        case CellType::Float:
            return rows->toDouble(0);
        case CellType::Null:
            return {};
        default:
            return QString::fromUtf8(rows->text(0).data(), qsizetype(rows->text(0).size()));
        }
    }

    qint64 count(const QString& where, const QVariantList& params = {}) const {
        return scalar("select count(*) from Custom where " + where, params).toLongLong();
    }

    void addCustomer(const QString& company, const QString& tel = {},
                     const QVariant& addDate = {}) const {
        connection->execute({"insert into Custom (Company, tel, AddDate) values (?, ?, ?)",
                             {company, tel, addDate}});
    }
};

// A fixture whose tests run once per engine of testEngines().
class EngineTest : public ::testing::TestWithParam<TestEngine> {
  protected:
    TempDatabase db{GetParam()};
};

inline std::string engineParamName(const ::testing::TestParamInfo<TestEngine>& info) {
    return testEngineName(info.param);
}

#define RUN_ON_EVERY_ENGINE(fixture)                                                               \
    INSTANTIATE_TEST_SUITE_P(Engines, fixture, ::testing::ValuesIn(testEngines()), engineParamName)
