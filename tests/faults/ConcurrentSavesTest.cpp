// Saves from two processes at once, and a saver killed at random moments: nothing that was
// reported saved may be missing or silently overwritten, and the file stays sound.

#include "SaverProcess.h"

#include "data/Engine.h"
#include "tests/support/TempProgram.h"

#include <QMap>
#include <QRandomGenerator>
#include <QThread>
#include <gtest/gtest.h>

namespace {

constexpr int kRows = 20;
constexpr int kEditsEach = 500;

struct Row {
    QString company, tel;
};

QMap<qint64, Row> rowsOf(const QString& databasePath) {
    auto connection = openDatabase(databasePath);
    auto rows = connection->query({"SELECT CustCode, Company, tel FROM Custom", {}});
    const auto text = [&](int i) {
        return QString::fromUtf8(rows->text(i).data(), qsizetype(rows->text(i).size()));
    };
    QMap<qint64, Row> out;
    while (rows->next())
        out.insert(rows->toInt64(0), {text(1), text(2)});
    return out;
}

struct Save {
    qint64 code;
    QString before, after;
};

// The successful saves of one row, each taking the value the previous one left, must form
// one chain from the first value to the stored one: two saves from the same value would mean
// one silently overwrote the other.
void expectOneChain(qint64 code, const QList<Save>& saves, const QString& stored) {
    QMap<QString, QString> next;
    for (const Save& s : saves) {
        EXPECT_FALSE(next.contains(s.before))
            << "row " << code << ": two saves both replaced " << s.before.toStdString();
        next.insert(s.before, s.after);
    }
    QString value = QString("init-%1").arg(code);
    int steps = 0;
    while (next.contains(value) && steps <= saves.size()) {
        value = next.value(value);
        ++steps;
    }
    EXPECT_EQ(steps, saves.size()) << "row " << code << ": a saved value was lost";
    EXPECT_EQ(value, stored) << "row " << code;
}

TEST(ConcurrentSaves, TwoProcessesEditingTheSameRowsLoseNoReportedSave) {
    TempProgram program;
    for (int i = 1; i <= kRows; ++i)
        program.exec(QString("INSERT INTO Custom (Company) VALUES ('init-%1')").arg(i));
    openDatabase(program.databasePath()); // the first opening switches the file to WAL

    SaverProcess a({"edit", program.databasePath(), "a", QString::number(kEditsEach), "1"});
    SaverProcess b({"edit", program.databasePath(), "b", QString::number(kEditsEach), "2"});
    ASSERT_TRUE(a.finish(60000)) << a.errors().toStdString();
    ASSERT_TRUE(b.finish(60000)) << b.errors().toStdString();

    QMap<qint64, QList<Save>> saves;
    QStringList refused;
    int conflicts = 0;
    for (SaverProcess* p : {&a, &b}) {
        ASSERT_EQ(p->lines().size(), kEditsEach);
        for (const QString& line : p->lines()) {
            const QStringList parts = line.split(' ');
            if (parts[0] == "OK" && parts.size() == 4) {
                saves[parts[1].toLongLong()].append({parts[1].toLongLong(), parts[2], parts[3]});
            } else if (parts[0] == "CONFLICT" && parts.size() == 3) {
                refused << parts[2];
                ++conflicts;
            } else {
                ADD_FAILURE() << "neither saved nor a conflict: " << line.toStdString();
            }
        }
    }

    const QMap<qint64, Row> stored = rowsOf(program.databasePath());
    ASSERT_EQ(stored.size(), kRows);
    for (auto it = stored.begin(); it != stored.end(); ++it) {
        expectOneChain(it.key(), saves.value(it.key()), it->company);
        EXPECT_FALSE(refused.contains(it->company)) << "a refused save landed";
    }
    for (const auto& rowSaves : saves)
        for (const Save& s : rowSaves)
            EXPECT_FALSE(refused.contains(s.before)) << "a save started from a refused value";
    EXPECT_EQ(integrityOf(program.databasePath()), "ok");
    std::printf("%lld saves landed, %d refused as conflicts\n",
                qlonglong(2 * kEditsEach - conflicts), conflicts);
}

// What the killed savers confirmed; a save in flight at the kill may or may not have landed.
class ConfirmedSaves {
  public:
    void read(const QStringList& lines) {
        inFlight_.clear();
        for (const QString& line : lines) {
            const QStringList parts = line.split(' ');
            if (parts[0] == "TRY") {
                inFlight_ = parts;
            } else if (parts[0] == "OK") {
                const qint64 code = parts[1].toLongLong();
                if (inFlight_.value(1) == "new")
                    rows_.insert(code, {parts[3], parts[3]});
                else
                    rows_[code].tel = parts[3];
                inFlight_.clear();
                ++confirmed_;
            } else {
                ADD_FAILURE() << "saver said: " << line.toStdString();
            }
        }
    }

    // Every confirmed save is there; anything else is the one save in flight.
    void check(const QMap<qint64, Row>& stored) {
        const QString flying = inFlight_.value(2);
        for (auto it = stored.begin(); it != stored.end(); ++it) {
            if (!rows_.contains(it.key())) {
                EXPECT_TRUE(inFlight_.value(1) == "new" && it->company == flying)
                    << "unexplained row " << it.key();
                rows_.insert(it.key(), *it);
                continue;
            }
            const Row& known = rows_[it.key()];
            EXPECT_EQ(it->company, known.company);
            const bool editInFlight = inFlight_.value(1) == QString::number(it.key());
            EXPECT_TRUE(it->tel == known.tel || (editInFlight && it->tel == flying))
                << "row " << it.key() << " has " << it->tel.toStdString() << ", confirmed "
                << known.tel.toStdString();
            rows_[it.key()].tel = it->tel;
        }
        EXPECT_EQ(stored.size(), rows_.size()) << "a confirmed row is missing";
    }

    int confirmed() const { return confirmed_; }

  private:
    QMap<qint64, Row> rows_;
    QStringList inFlight_;
    int confirmed_ = 0;
};

TEST(KilledSaver, EveryConfirmedSaveSurvivesFiftyKillsAtRandomMoments) {
    TempProgram program;
    openDatabase(program.databasePath());
    QRandomGenerator random(20240601);
    ConfirmedSaves model;
    for (int run = 0; run < 50; ++run) {
        SaverProcess saver(
            {"stream", program.databasePath(), QString("k%1").arg(run), QString::number(run)});
        QThread::msleep(random.bounded(10, 160));
        saver.kill();
        model.read(saver.lines());
        ASSERT_EQ(integrityOf(program.databasePath()), "ok") << "after kill " << run;
        model.check(rowsOf(program.databasePath()));
        if (::testing::Test::HasFailure())
            FAIL() << "after kill " << run;
    }
    EXPECT_GT(model.confirmed(), 50) << "the savers should have got some work done";
    std::printf("%d saves confirmed across 50 kills\n", model.confirmed());
}

} // namespace
