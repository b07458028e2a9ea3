#pragma once

#include "data/Engine.h"
#include "data/Query.h"
#include "tests/support/TempProgram.h"

#include <QVariant>
#include <memory>

// A throw-away copy of the delivered database with one connection open on it.
struct TempDatabase {
    TempProgram program;
    std::unique_ptr<Connection> connection = openDatabase(program.databasePath());

    // A second, independent connection: another copy of the program on the same file.
    std::unique_ptr<Connection> secondConnection() const {
        return openDatabase(program.databasePath());
    }

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
