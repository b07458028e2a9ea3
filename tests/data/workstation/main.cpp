// One workstation of the two-workstation test: edits, adds and deletes customers through the
// program's own Query and prints every save the database confirmed and every refusal.
//   custdesk_workstation <connString> <name> <rounds>

#include "data/AppError.h"
#include "data/Engine.h"
#include "data/Query.h"

#include <QCoreApplication>
#include <QRandomGenerator>
#include <cstdio>

namespace {

void report(const QString& line) {
    std::printf("%s\n", line.toUtf8().constData());
    std::fflush(stdout);
}

// Rows whose company starts with prefix, by position.
QList<int> rowsStartingWith(const Query& query, const QString& prefix) {
    QList<int> rows;
    const int company = query.fieldByName("Company");
    for (int r = 0; r < query.recordCount(); ++r)
        if (query.displayText(r, company).startsWith(prefix))
            rows << r;
    return rows;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 4)
        return 2;
    const QString name = args[2];
    const int rounds = args[3].toInt();
    QRandomGenerator random(qHash(name));
    try {
        auto connection = openDatabase(args[1]);
        Query query("Qry_Cust", connection.get());
        query.setCommand({"select * from Custom", {}});
        for (int i = 0; i < rounds; ++i) {
            if (i % 5 == 0)
                query.open(); // between refreshes the rows may grow stale, as on screen
            const int action = int(random.bounded(4));
            try {
                if (action <= 1 && !query.isEmpty()) {
                    query.setRecNo(int(random.bounded(query.recordCount())));
                    const QString token = QString("%1%2").arg(name).arg(i);
                    query.edit({{"memo2", query.asString("memo2") + token + ";"}});
                    report(QString("edit %1 %2").arg(query.asInteger("CustCode")).arg(token));
                } else if (action == 2) {
                    query.append({{"Company", QString("%1-add-%2").arg(name).arg(i)}});
                    report(QString("add %1").arg(query.asInteger("CustCode")));
                } else {
                    const QList<int> own = rowsStartingWith(query, name + "-add-");
                    if (own.isEmpty())
                        continue;
                    query.setRecNo(own[int(random.bounded(own.size()))]);
                    const qint64 code = query.asInteger("CustCode");
                    query.remove();
                    report(QString("delete %1").arg(code));
                }
            } catch (const AppError& e) {
                report(e.text().contains("其他用户") ? "conflict" : "error " + e.text());
            }
        }
    } catch (const AppError& e) {
        report("error " + e.text());
        return 1;
    }
    return 0;
}
