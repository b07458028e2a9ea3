#include "AdminCommands.h"

#include "data/AppError.h"
#include "data/postgres/PgEngine.h"
#include "data/postgres/PgSchema.h"

#include <QFile>

namespace {

// "--force" and "--fix" anywhere; the rest are the positional arguments.
QStringList positional(const QStringList& args, Pg::CopyOptions& options) {
    QStringList rest;
    for (const QString& a : args) {
        if (a == "--force")
            options.force = true;
        else if (a == "--fix")
            options.fix = true;
        else
            rest << a;
    }
    return rest;
}

void print(const Pg::CopyReport& report, QTextStream& out) {
    for (const QString& line : report.tables)
        out << "  " << line << "\n";
    for (const QString& note : report.notes)
        out << "注意: " << note << "\n";
    if (!report.fixes.isEmpty())
        out << "按 --fix 改动了 " << report.fixes.size() << " 个值:\n  "
            << report.fixes.join("\n  ") << "\n";
}

int refuse(const QString& text, QTextStream& out) {
    out << text << "\n";
    return 2;
}

} // namespace

int runInit(const QStringList& args, QTextStream& out) {
    Pg::CopyOptions options;
    const QStringList rest = positional(args, options);
    if (rest.size() != 1 || !Pg::isPostgresUri(rest[0]))
        return refuse("用法: custdesk-admin init [--force] postgresql://...", out);
    QFile schema(":/schema.sql");
    if (!schema.open(QIODevice::ReadOnly))
        return refuse("内置的数据库结构无法读取", out);
    auto target = Pg::openPostgresDatabase(rest[0]);
    const Pg::CopyReport report =
        Pg::initFromSchema(QString::fromUtf8(schema.readAll()), *target, options);
    out << "已在服务器上建立交付的数据库:\n";
    print(report, out);
    return 0;
}

int runCopy(const QStringList& args, QTextStream& out) {
    Pg::CopyOptions options;
    const QStringList rest = positional(args, options);
    if (rest.size() != 2 || Pg::isPostgresUri(rest[0]) || !Pg::isPostgresUri(rest[1]))
        return refuse("用法: custdesk-admin copy [--force] [--fix] Custom.db postgresql://...",
                      out);
    auto target = Pg::openPostgresDatabase(rest[1]);
    const Pg::CopyReport report = Pg::copyFromSqlite(rest[0], *target, options);
    out << "已复制并逐行核对:\n";
    print(report, out);
    return 0;
}
