#include "QueryLoader.h"

#include "QueryStore.h"

#include <QMetaObject>

QueryLoader::QueryLoader(Connect connect, Loaded loaded, Failed failed, QObject* parent)
    : QObject(parent), connect_(std::move(connect)), loaded_(std::move(loaded)),
      failed_(std::move(failed)) {}

QueryLoader::~QueryLoader() {
    {
        std::lock_guard lock(mutex_);
        quit_ = true;
        next_.reset();
        stopRunning();
    }
    wake_.notify_one();
    if (thread_.joinable())
        thread_.join();
}

void QueryLoader::load(const SqlCommand& command, Finish finish) {
    latest_ = command;
    busy_ = true;
    {
        std::lock_guard lock(mutex_);
        next_ = Job{++ticket_, command, std::move(finish)};
        stopRunning();
    }
    startThread();
    wake_.notify_one();
}

void QueryLoader::warmUp() {
    startThread();
}

void QueryLoader::startThread() {
    if (!thread_.joinable())
        thread_ = std::thread([this] { run(); });
}

void QueryLoader::connect() {
    auto made = connect_();
    std::lock_guard lock(mutex_);
    connection_ = std::move(made);
}

void QueryLoader::abandon() {
    busy_ = false;
    std::lock_guard lock(mutex_);
    ++ticket_;
    next_.reset();
    stopRunning();
}

void QueryLoader::stopRunning() {
    if (!running_)
        return;
    abandoned_ = true;
    if (connection_)
        connection_->interrupt();
}

void QueryLoader::run() {
    try {
        connect();
    } catch (const std::exception&) {
        // The first load tries again and reports what it meets.
    }
    for (;;) {
        Job job;
        {
            std::unique_lock lock(mutex_);
            wake_.wait(lock, [this] { return quit_ || next_; });
            if (quit_)
                break;
            job = std::move(*next_);
            next_.reset();
            abandoned_ = false;
            running_ = true;
            if (connection_)
                connection_->resume(); // no interruption is left from the job before
        }
        work(job);
        std::lock_guard lock(mutex_);
        running_ = false;
    }
    std::lock_guard lock(mutex_);
    connection_.reset();
}

void QueryLoader::work(const Job& job) {
    try {
        if (!connection_) {
            connect();
            if (abandoned_)
                return; // overtaken while connecting, when there was nothing to interrupt
        }
        // Shared, so a result whose delivery never runs is still freed.
        auto rows = std::make_shared<std::unique_ptr<QueryStore>>(
            QueryStore::read(*connection_, job.command, &abandoned_));
        if (job.finish)
            job.finish(*connection_, **rows, abandoned_);
        deliver(job.ticket,
                [this, command = job.command, rows] { loaded_(command, std::move(*rows)); });
    } catch (const std::exception& e) {
        if (abandoned_)
            return; // its failure is only the interruption
        deliver(job.ticket, [this, command = job.command, text = QString::fromUtf8(e.what())] {
            failed_(command, text);
        });
    }
}

// Runs report on the loader's own thread if the ticket is still the latest when it gets there.
void QueryLoader::deliver(quint64 ticket, std::function<void()> report) {
    QMetaObject::invokeMethod(
        this,
        [this, ticket, report = std::move(report)] {
            if (ticket != ticket_)
                return;
            busy_ = false;
            report();
        },
        Qt::QueuedConnection);
}
