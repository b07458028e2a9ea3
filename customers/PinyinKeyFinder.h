#pragma once

// Searches the pinyin keys and reads the customers they find on a thread and connection of its
// own, so a search's pinyin customers are ready when its plain statement ends. Only the latest
// request is worked on: a newer one tells the older to stop, as the searches they belong to are
// overtaken too.

#include "customers/PinyinKeyReader.h"
#include "data/QueryStore.h"
#include "data/Worker.h"
#include "data/Rights.h"

#include <QString>
#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

class PinyinKeyFinder {
  public:
    // One search of the keys, shared by the finder and the step that waits for its customers.
    class Request {
      public:
        Request(std::shared_ptr<PinyinKeys> keys, QString keyword)
            : keys_(std::move(keys)), keyword_(keyword) {}
        // The customers found, in code order, null when none; throws AppError when the search
        // failed, was stopped, or abandoned was set while waiting.
        std::unique_ptr<QueryStore> wait(const std::atomic_bool& abandoned);

      private:
        friend class PinyinKeyFinder;
        void finish(std::unique_ptr<QueryStore> rows, QString error);

        const std::shared_ptr<PinyinKeys> keys_;
        const PinyinKeyword keyword_;
        std::mutex mutex_; // guards the members below
        std::condition_variable done_;
        bool finished_ = false;
        std::unique_ptr<QueryStore> rows_;
        QString error_;
    };

    using Connect = std::function<std::unique_ptr<Connection>()>;
    // connect opens the finder's connection on its thread, at the first customers to read.
    // rights narrow the customers read to those the operator may see.
    explicit PinyinKeyFinder(Connect connect, Rights rights = {});
    PinyinKeyFinder(const PinyinKeyFinder&) = delete;
    PinyinKeyFinder& operator=(const PinyinKeyFinder&) = delete;

    std::shared_ptr<Request> find(std::shared_ptr<PinyinKeys> keys, const QString& keyword);

  private:
    void serve(Request& request, const std::atomic_bool& stop);

    Connect connect_;
    const Rights rights_;
    std::unique_ptr<Connection> connection_; // made, used and dropped on the finder's thread
    Worker worker_;                          // last, so it stops before the connection goes
};
