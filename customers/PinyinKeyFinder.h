#pragma once

// Searches the pinyin keys on a thread of its own, so a search's pinyin customers are found
// while its plain statement runs. Only the latest request is worked on: a newer one tells the
// older to stop, as the searches they belong to are overtaken too.

#include "customers/PinyinKeyReader.h"

#include <QString>
#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

class PinyinKeyFinder {
  public:
    // One search of the keys, shared by the finder and the step that waits for its ids.
    class Request {
      public:
        Request(std::shared_ptr<PinyinKeys> keys, QString keyword)
            : keys_(std::move(keys)), keyword_(keyword) {}
        // The ids found; throws AppError when the search failed, was stopped, or abandoned
        // was set while waiting.
        std::vector<qint64> wait(const std::atomic_bool& abandoned);

      private:
        friend class PinyinKeyFinder;
        void run();
        void finish(std::vector<qint64> ids, QString error);

        const std::shared_ptr<PinyinKeys> keys_;
        const PinyinKeyword keyword_;
        std::atomic_bool stop_{false};
        std::mutex mutex_; // guards the members below
        std::condition_variable done_;
        bool finished_ = false;
        std::vector<qint64> ids_;
        QString error_;
    };

    PinyinKeyFinder() = default;
    ~PinyinKeyFinder();
    PinyinKeyFinder(const PinyinKeyFinder&) = delete;
    PinyinKeyFinder& operator=(const PinyinKeyFinder&) = delete;

    std::shared_ptr<Request> find(std::shared_ptr<PinyinKeys> keys, const QString& keyword);

  private:
    void run();
    void dropWaiting(); // with mutex_ held

    std::mutex mutex_; // guards the members below
    std::condition_variable wake_;
    std::shared_ptr<Request> next_, running_;
    bool quit_ = false;
    std::thread thread_;
};
