#pragma once

// Writes to the database off the window's thread, one after another in the order given, on a
// connection of their own that carries the operator's name into the change history. Each
// write's end is reported back on the thread that made the queue, so a window stays usable
// for the round trips a write costs and shows its outcome where it showed everything else.

#include "Engine.h"
#include "Query.h"
#include "Worker.h"

#include <QObject>
#include <exception>
#include <functional>
#include <memory>

class WriteQueue : public QObject {
    Q_OBJECT
  public:
    using Connect = std::function<std::unique_ptr<Connection>()>;
    using Job = std::function<void(Connection&)>;
    // What the job threw; null when it went through.
    using Done = std::function<void(std::exception_ptr failure)>;

    // connect opens the queue's connection on its thread, at the first write.
    explicit WriteQueue(Connect connect, QObject* parent = nullptr);
    // Writes run at once on the given connection, which already carries the operator's name,
    // and report before run() returns: for a database file on this machine, where a write
    // takes no round trip and a lock held elsewhere is waited for with the operator's note.
    explicit WriteQueue(Connection& inPlace, QObject* parent = nullptr);
    ~WriteQueue() override; // waits for the writes already given: none is lost

    // Opens the connection now, off the calling thread, with the author's name, so the first
    // write finds it made; a failure is left for that write to meet and report.
    void warmUp(const ChangeAuthor& author);
    // job runs on the queue's thread and connection with the author's name; done runs later
    // on this queue's thread, from its event loop (at once for a queue in place).
    void run(const ChangeAuthor& author, Job job, Done done);
    bool busy() const { return outstanding_ > 0; } // a write has not reported yet
    Connection* inPlace() const { return inPlace_; }

  private:
    void connectAs(const ChangeAuthor& author); // on the worker's thread
    void deliver(Done done, std::exception_ptr failure);

    Connect connect_;
    Connection* inPlace_ = nullptr;
    int outstanding_ = 0;
    std::unique_ptr<Connection> connection_; // made, used and dropped on the worker's thread
    Worker worker_;                          // last, so it stops before the members its jobs use go
};

// The change of the query's current row, or an append, prepared here (the query's check may
// refuse it at once), sent through the queue and taken into the query when it comes back, if
// the query is still there. done hears what failed, a refusal after another workstation's
// change included.
void writeRow(WriteQueue& queue, const ChangeAuthor& author, Query& query, RowChange change,
              const QVariantMap& values, WriteQueue::Done done);
