// The whole program over a slow network: the real main sequence reaches a PostgreSQL server
// through a relay of the benchmark's own that holds every chunk 0, 5 and 20 ms each way, and
// counts round trips. Per operator action it prints the round trips, the time from the action
// to its result at each delay, and how long the window's thread was held at most meanwhile.
// Runs when CUSTDESK_BENCH_PG holds a server URI on a Unix socket (scripts/bench.sh sets it).

#include "app/MainSequence.h"
#include "app/U_Main.h"
#include "app/U_login.h"
#include "bench/support/BenchSupport.h"
#include "bench/support/CustomerGenerator.h"
#include "bench/support/DelayRelay.h"
#include "customers/U_AddCust.h"
#include "customers/U_Custom.h"
#include "data/U_Data.h"
#include "data/WriteQueue.h"
#include "data/postgres/PgEngine.h"
#include "data/postgres/PgSchema.h"
#include "grid/DataGrid.h"
#include "grid/ExcelExport.h"

#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QUrlQuery>
#include <cstdio>
#include <functional>
#include <map>

namespace {

using BenchData::Clock;

const int delays[] = {0, 5, 20};

struct Figure {
    long trips = 0;
    double ms = 0;
    double heldMs = 0; // the longest the window's thread went without turning its loop
};

// action -> delay -> figure, in the order the walk takes them.
std::vector<std::string> actions;
std::map<std::string, std::map<int, Figure>> figures;

// Answers the delete question with yes and any other box with its first button, so the walk
// goes on; every text is printed, as a box in a benchmark means something went wrong elsewhere.
class AnsweringMessages : public MessageService {
  public:
    AnsweringMessages() : MessageService("roundtrip_bench") {}

  protected:
    int present(const MessageBoxRequest& request) override {
        if (request.buttons & mbYes)
            return mbYes;
        std::printf("box: %s\n", qPrintable(request.text));
        return mbOK;
    }
};

// One action of the walk: begun, then finished once done() holds at a turn of the loop.
struct Step {
    std::string name;
    std::function<void()> begin;
    std::function<bool()> done;
    std::function<void()> after; // runs once measured, e.g. closes the window it opened
};

template <class T> T* activeModal() {
    auto* widget = qobject_cast<T*>(QApplication::activeModalWidget());
    return widget && widget->isVisible() ? widget : nullptr;
}

// Drives the steps from a timer that ticks every millisecond, inside whatever loop runs, modal
// ones included; the gaps between its ticks are how long the thread was held.
class Walk : public QObject {
  public:
    Walk(BenchData::DelayRelay& relay, int delay) : relay_(relay), delay_(delay) {
        tick_.setTimerType(Qt::PreciseTimer);
        tick_.setInterval(1);
        connect(&tick_, &QTimer::timeout, this, [this] { onTick(); });
    }

    void add(Step step) { steps_.push_back(std::move(step)); }

    // The first step begins at once: it may not return until the program ends.
    void start() {
        tick_.start();
        beginStep();
    }

  private:
    void beginStep() {
        if (next_ >= steps_.size())
            return;
        Step& step = steps_[next_];
        running_ = true;
        trips_ = relay_.roundTrips();
        held_ = 0;
        started_ = lastTick_ = Clock::now();
        step.begin();
    }

    void onTick() {
        const auto now = Clock::now();
        held_ = std::max(held_, std::chrono::duration<double, std::milli>(now - lastTick_).count());
        lastTick_ = now;
        if (settling_) {
            settle(now);
            return;
        }
        if (!running_ || next_ >= steps_.size())
            return;
        Step& step = steps_[next_];
        if (!step.done()) {
            if (now - started_ > std::chrono::seconds(120)) {
                std::printf("%s did not finish\n", step.name.c_str());
                std::exit(1);
            }
            return;
        }
        running_ = false;
        Figure& f = figures[step.name][delay_];
        f.ms = std::chrono::duration<double, std::milli>(now - started_).count();
        f.heldMs = held_;
        if (delay_ == 0)
            actions.push_back(step.name);
        settling_ = true;
        lastTrips_ = relay_.roundTrips();
        quietSince_ = now;
    }

    // The action's round trips include the background work it started: counted once the relay
    // has carried nothing new for a while, before the next action begins.
    void settle(Clock::time_point now) {
        const long trips = relay_.roundTrips();
        if (trips != lastTrips_) {
            lastTrips_ = trips;
            quietSince_ = now;
            return;
        }
        const auto quiet = std::chrono::milliseconds(std::max(50, 10 * delay_));
        if (now - quietSince_ < quiet)
            return;
        settling_ = false;
        Step& step = steps_[next_];
        figures[step.name][delay_].trips = trips - trips_;
        ++next_;
        // The next action comes from the loop, so an action that waits in a modal loop of its
        // own is not begun inside the one before it.
        QTimer::singleShot(0, this, [this, after = step.after] {
            if (after)
                after();
            QTimer::singleShot(20, this, [this] { beginStep(); });
        });
    }

    BenchData::DelayRelay& relay_;
    int delay_;
    QTimer tick_;
    std::vector<Step> steps_;
    size_t next_ = 0;
    bool running_ = false;
    bool settling_ = false;
    long trips_ = 0, lastTrips_ = 0;
    Clock::time_point quietSince_;
    double held_ = 0;
    Clock::time_point started_, lastTick_;
};

// Which server socket a Unix-socket URI names: its host folder and the default port.
QString socketOf(const QString& uri) {
    const QUrlQuery query(QUrl(uri).query());
    const QString port = query.hasQueryItem("port") ? query.queryItemValue("port") : "5432";
    return query.queryItemValue("host") + "/.s.PGSQL." + port;
}

QString filledDatabase(const QString& server, int rows, const QTemporaryDir& dir) {
    const QString name = QString("custdesk_roundtrip_%1").arg(rows);
    auto admin = Pg::openPostgresDatabase(server);
    admin->executeNative("DROP DATABASE IF EXISTS " + name + " WITH (FORCE)");
    admin->executeNative("CREATE DATABASE " + name);
    const QString uri = Pg::uriWithDatabase(server, name);
    const QString file = BenchData::customerDatabase(dir.filePath("source.db"), rows);
    BenchData::addActivities(file, QStringLiteral("Admin"), rows);
    auto target = Pg::openPostgresDatabase(uri);
    Pg::copyFromSqlite(file, *target);
    target->executeNative("VACUUM ANALYZE");
    return name;
}

TFrm_Custom* shownList() {
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* main = qobject_cast<TFrm_Main*>(w))
            if (main->isVisible() && main->customerList())
                return main->customerList();
    return nullptr;
}

TFrm_Main* mainWindow() {
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* main = qobject_cast<TFrm_Main*>(w))
            return main;
    return nullptr;
}

// Begins a search of the list as a released key does.
void search(const char* title, const char* keyword) {
    TFrm_Custom& list = *shownList();
    list.Combo_Type->setCurrentIndex(list.Combo_Type->findText(QString::fromUtf8(title)));
    list.Edit_Key->setText(QString::fromUtf8(keyword));
    list.Edit_KeyKeyUp(Qt::Key_7);
}

bool listSettled() {
    TFrm_Custom* list = shownList();
    return list && !list->searching() && !QApplication::activeModalWidget();
}

// Closes the modal window of class T the step opened.
template <class T> std::function<void()> closeModal() {
    return [] {
        if (T* window = activeModal<T>())
            window->reject();
    };
}

// A step done when its action has returned.
Step returned(std::string name, std::function<void()> act, std::function<void()> after = nullptr) {
    auto back = std::make_shared<bool>(false);
    return {std::move(name),
            [act, back] {
                *back = false;
                act();
                *back = true;
            },
            [back] { return *back; }, std::move(after)};
}

void walkProgram(const QString& programDir, BenchData::DelayRelay& relay, int delay) {
    relay.setDelay(std::chrono::milliseconds(delay));
    AnsweringMessages messages;
    Walk walk(relay, delay);
    const QString exported = QDir(programDir).filePath("export.csv");
    walk.add({"start to login window", [&] { RunMainSequence(programDir, messages); },
              [] { return activeModal<TFrm_Login>() != nullptr; }, nullptr});
    walk.add({"login to list",
              [] {
                  TFrm_Login* login = activeModal<TFrm_Login>();
                  login->Combo_User->setCurrentIndex(login->Combo_User->findText("Admin"));
                  login->Btn_ok->click();
              },
              listSettled, nullptr});
    walk.add({"keystroke 1%", [] { search("手机号码", "567"); }, listSettled, nullptr});
    walk.add({"keystroke all", [] { search("客户名称", ""); }, listSettled, nullptr});
    walk.add({"open editor", [] { mainWindow()->EditCust->trigger(); },
              [] { return activeModal<TFrm_AddCust>() != nullptr; }, nullptr});
    // A save leaves the editor open on the saved row; it is done when its outcome shows.
    walk.add({"save",
              [delay] {
                  TFrm_AddCust* editor = activeModal<TFrm_AddCust>();
                  editor->Edit_OtherInfo->setText(QString("changed at %1 ms").arg(delay));
                  editor->Btn_OK->click();
              },
              [] { return !activeModal<TFrm_AddCust>()->saving(); }, closeModal<TFrm_AddCust>()});
    walk.add({"delete", [] { mainWindow()->DelCust->trigger(); },
              [] { return !mainWindow()->data().writes().busy(); }, nullptr});
    walk.add({"open activities", [] { mainWindow()->ShowActivities->trigger(); },
              [] { return activeModal<QDialog>() != nullptr; }, closeModal<QDialog>()});
    walk.add({"open reminders", [] { mainWindow()->OpenAwoke->trigger(); },
              [] { return activeModal<QDialog>() != nullptr; }, closeModal<QDialog>()});
    walk.add(returned(
        "export",
        [exported] {
            TFrm_Custom* list = shownList();
            writeGridFile(ExportFormat::Csv, *list->Grid_Cust->query(), *list->Grid_Cust, exported,
                          nullptr);
        },
        [] { mainWindow()->close(); }));
    walk.start();
}

void printFigures() {
    std::printf("\n%-22s %6s %10s %10s %10s %9s\n", "action", "trips", "0 ms", "5 ms", "20 ms",
                "held ms");
    for (const std::string& action : actions) {
        auto& byDelay = figures[action];
        std::printf("%-22s %6ld %10.1f %10.1f %10.1f %9.1f\n", action.c_str(), byDelay[20].trips,
                    byDelay[0].ms, byDelay[5].ms, byDelay[20].ms, byDelay[20].heldMs);
    }
    std::printf(
        "trips: round trips at 20 ms each way, with those of the background work the action "
        "started; held: the longest the window's thread went without turning its loop at "
        "20 ms\n");
    const double roundTrip = 40;
    auto bar = [&](const char* action, double most) {
        const Figure& f = figures[action][20];
        BenchData::printBar(std::string(action) + " at 20 ms each way, " + std::to_string(f.trips) +
                                " round trips",
                            f.ms, most, " ms");
    };
    bar("keystroke 1%", 2 * roundTrip + 20);
    bar("save", 2 * roundTrip + 20);
    bar("login to list", 6 * roundTrip + figures["login to list"][0].ms);
    double held = 0;
    for (const char* action : {"keystroke 1%", "keystroke all", "open editor", "save", "delete"})
        held = std::max(held, figures[action][20].heldMs);
    BenchData::printBar("window's thread held at 20 ms, list actions", held, 50, " ms");
}

} // namespace

int main(int argc, char** argv) {
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    prepareProcess();
    BenchData::preferOffscreen();
    QApplication app(argc, argv);
    applyProgramFont();
    const QString server = qEnvironmentVariable("CUSTDESK_BENCH_PG");
    if (server.isEmpty()) {
        std::printf("skipped: CUSTDESK_BENCH_PG names no PostgreSQL server\n");
        return 0;
    }
    const int rows = qEnvironmentVariableIntValue("ROUNDTRIP_BENCH_ROWS") > 0
                         ? qEnvironmentVariableIntValue("ROUNDTRIP_BENCH_ROWS")
                         : 100'000;
    QTemporaryDir dir;
    const QString name = filledDatabase(server, rows, dir);
    BenchData::DelayRelay relay(socketOf(server));
    const QString user = QUrlQuery(QUrl(server).query()).queryItemValue("user");
    const QString uri =
        QString("postgresql://%1@127.0.0.1:%2/%3").arg(user).arg(relay.port()).arg(name);
    std::printf("%d customers, each with an activity; the program reaches the server over %s\n",
                rows, qPrintable(uri));
    for (int delay : delays) {
        QTemporaryDir program;
        QDir(program.path()).mkpath("DataBase");
        QFile ini(QDir(program.path()).filePath("Config.ini"));
        ini.open(QIODevice::WriteOnly);
        ini.write("[Config]\r\nDBConn=" + uri.toUtf8() +
                  "\r\n[login]\r\nusername=0\r\n[OtherInfo]\r\nawoke=1\r\nDay=0\r\n");
        ini.close();
        walkProgram(program.path(), relay, delay);
    }
    printFigures();
    return 0;
}
