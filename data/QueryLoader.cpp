#include "QueryLoader.h"

#include "QueryStore.h"

#include <QMetaObject>

QueryLoader::QueryLoader(Connect connect, Loaded loaded, Failed failed, QObject* parent)
    : QObject(parent), connect_(std::move(connect)), loaded_(std::move(loaded)),
      failed_(std::move(failed)),
      worker_({[this] {
                   std::lock_guard lock(connecting_);
                   if (connection_)
                       connection_->resume(); // no interruption is left from the job before
               },
               [this] {
                   std::lock_guard lock(connecting_);
                   if (connection_)
                       connection_->interrupt();
               },
               [this] {
                   std::lock_guard lock(connecting_);
                   connection_.reset();
               }}) {}

QueryLoader::~QueryLoader() = default;

void QueryLoader::load(const SqlCommand& command, Finish finish) {
    latest_ = command;
    busy_ = true;
    worker_.replace([this, ticket = ++ticket_, command,
                     finish = std::move(finish)](const std::atomic_bool& abandoned) {
        work(ticket, command, finish, abandoned);
    });
}

void QueryLoader::loadInParts(const SqlCommand& command, Part part) {
    latest_ = command;
    busy_ = true;
    worker_.replace([this, ticket = ++ticket_, command,
                     part = std::move(part)](const std::atomic_bool& abandoned) {
        try {
            if (!connection_) {
                connectOnce();
                if (abandoned)
                    return;
            }
            QueryStore::readInParts(
                *connection_, command,
                [&](std::unique_ptr<QueryStore> store, bool last) {
                    auto rows = std::make_shared<std::unique_ptr<QueryStore>>(std::move(store));
                    deliver(
                        ticket,
                        [command, rows, last, part] { part(command, std::move(*rows), last); },
                        last);
                },
                &abandoned);
        } catch (const std::exception& e) {
            if (abandoned)
                return;
            deliver(ticket, [this, command, text = QString::fromUtf8(e.what())] {
                failed_(command, text);
            });
        }
    });
}

void QueryLoader::warmUp() {
    worker_.post([this](const std::atomic_bool&) {
        try {
            connectOnce();
        } catch (const std::exception&) {
            // The first load tries again and reports what it meets.
        }
    });
}

void QueryLoader::connectOnce() {
    if (connection_)
        return;
    auto made = connect_();
    std::lock_guard lock(connecting_);
    connection_ = std::move(made);
}

void QueryLoader::abandon() {
    busy_ = false;
    ++ticket_;
    worker_.abandon();
}

void QueryLoader::work(quint64 ticket, const SqlCommand& command, const Finish& finish,
                       const std::atomic_bool& abandoned) {
    try {
        if (!connection_) {
            connectOnce();
            if (abandoned)
                return; // overtaken while connecting, when there was nothing to interrupt
        }
        // Shared, so a result whose delivery never runs is still freed.
        auto rows = std::make_shared<std::unique_ptr<QueryStore>>(
            QueryStore::read(*connection_, command, &abandoned));
        if (finish)
            finish(*connection_, **rows, abandoned);
        deliver(ticket, [this, command, rows] { loaded_(command, std::move(*rows)); });
    } catch (const std::exception& e) {
        if (abandoned)
            return; // its failure is only the interruption
        deliver(ticket,
                [this, command, text = QString::fromUtf8(e.what())] { failed_(command, text); });
    }
}

// Runs report on the loader's own thread if the ticket is still the latest when it gets there.
void QueryLoader::deliver(quint64 ticket, std::function<void()> report, bool last) {
    QMetaObject::invokeMethod(
        this,
        [this, ticket, report = std::move(report), last] {
            if (ticket != ticket_)
                return;
            if (last)
                busy_ = false;
            report();
        },
        Qt::QueuedConnection);
}
