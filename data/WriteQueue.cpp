#include "data/WriteQueue.h"

#include <QMetaObject>
#include <QPointer>

namespace {

bool sameAuthor(const ChangeAuthor& a, const ChangeAuthor& b) {
    return a.who == b.who && a.host == b.host && a.mayDelete == b.mayDelete;
}

} // namespace

WriteQueue::WriteQueue(Connect connect, QObject* parent)
    : QObject(parent), connect_(std::move(connect)),
      worker_({nullptr, nullptr, [this] { connection_.reset(); }}) {}

WriteQueue::WriteQueue(Connection& inPlace, QObject* parent)
    : QObject(parent), inPlace_(&inPlace) {}

WriteQueue::~WriteQueue() {
    worker_.wait();
}

void WriteQueue::connectAs(const ChangeAuthor& author) {
    if (!connection_)
        connection_ = connect_();
    if (!sameAuthor(connection_->author(), author))
        connection_->setAuthor(author);
}

void WriteQueue::warmUp(const ChangeAuthor& author) {
    if (inPlace_)
        return;
    worker_.post([this, author](const std::atomic_bool&) {
        try {
            connectAs(author);
        } catch (const std::exception&) {
            // The first write tries again and reports what it meets.
        }
    });
}

void WriteQueue::run(const ChangeAuthor& author, Job job, Done done) {
    if (inPlace_) {
        std::exception_ptr failure;
        try {
            job(*inPlace_);
        } catch (...) {
            failure = std::current_exception();
        }
        if (done)
            done(failure);
        return;
    }
    ++outstanding_;
    worker_.post([this, author, job = std::move(job),
                  done = std::move(done)](const std::atomic_bool&) mutable {
        std::exception_ptr failure;
        try {
            connectAs(author);
            job(*connection_);
        } catch (...) {
            failure = std::current_exception();
        }
        deliver(std::move(done), failure);
    });
}

void WriteQueue::deliver(Done done, std::exception_ptr failure) {
    QMetaObject::invokeMethod(
        this,
        [this, done = std::move(done), failure] {
            --outstanding_;
            if (done)
                done(failure);
        },
        Qt::QueuedConnection);
}

void writeRow(WriteQueue& queue, const ChangeAuthor& author, Query& query, RowChange change,
              const QVariantMap& values, WriteQueue::Done done) {
    auto write = std::make_shared<RowWrite>(query.prepare(change, values));
    queue.run(
        author, [write](Connection& c) { write->run(c); },
        [write, target = QPointer<Query>(&query),
         done = std::move(done)](std::exception_ptr failure) {
            if (!failure && target) {
                try {
                    target->take(*write);
                } catch (...) {
                    failure = std::current_exception();
                }
            }
            if (done)
                done(failure);
        });
}
