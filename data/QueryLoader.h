#pragma once

// Reads query results off the calling thread, on a connection of its own, so a long statement
// never holds up the window that asked for it. Only the latest request counts: a newer one
// abandons the one still running, whose result is never delivered.

#include "Engine.h"
#include "Worker.h"

#include <QObject>
#include <atomic>
#include <functional>
#include <memory>
#include <mutex>

class QueryStore;

class QueryLoader : public QObject {
    Q_OBJECT
  public:
    using Connect = std::function<std::unique_ptr<Connection>()>;
    using Loaded = std::function<void(SqlCommand, std::unique_ptr<QueryStore>)>;
    using Failed = std::function<void(SqlCommand, QString)>;
    using Part = std::function<void(SqlCommand, std::unique_ptr<QueryStore>, bool last)>;
    // More work on a read result, on the loader's thread and connection before it is
    // delivered; it may throw, and should stop soon once abandoned is set.
    using Finish = std::function<void(Connection&, QueryStore&, const std::atomic_bool& abandoned)>;

    // connect opens the loader's connection on its thread, at the first load. loaded and
    // failed run on the thread that created the loader, from its event loop.
    QueryLoader(Connect connect, Loaded loaded, Failed failed, QObject* parent = nullptr);
    ~QueryLoader() override;

    // Opens the connection now, off the calling thread, so the first load finds it made; a
    // failure is left for that load to meet and report.
    void warmUp();
    // Abandons the load still waiting or running.
    void load(const SqlCommand& command, Finish finish = nullptr);
    // Like load(), but the rows are delivered in parts as they arrive, each to part, the first
    // soon; a failure goes to failed as with load().
    void loadInParts(const SqlCommand& command, Part part);
    void abandon();                     // nothing more is delivered until the next load
    bool busy() const { return busy_; } // a load is outstanding
    const SqlCommand& loading() const { return latest_; }

  private:
    void connectOnce(); // on the worker's thread; throws what connect_ throws
    void work(quint64 ticket, const SqlCommand& command, const Finish& finish,
              const std::atomic_bool& abandoned);
    void deliver(quint64 ticket, std::function<void()> report, bool last = true);

    Connect connect_;
    Loaded loaded_;
    Failed failed_;
    SqlCommand latest_;
    bool busy_ = false;
    quint64 ticket_ = 0; // of the latest load; only its result is delivered

    std::mutex connecting_; // guards the pointer below, so an abandoned statement is interrupted
    std::unique_ptr<Connection> connection_; // made, used and dropped on the worker's thread
    Worker worker_;                          // last, so it stops before the members its jobs use go
};
