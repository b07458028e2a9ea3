#include "customers/PinyinKeyFinder.h"

#include "data/AppError.h"

#include <chrono>

namespace {
const char* const abandonedText = "查询已放弃";
} // namespace

std::vector<qint64> PinyinKeyFinder::Request::wait(const std::atomic_bool& abandoned) {
    std::unique_lock lock(mutex_);
    while (!finished_) {
        if (abandoned)
            throw AppError(abandonedText);
        done_.wait_for(lock, std::chrono::milliseconds(5));
    }
    if (!error_.isEmpty())
        throw AppError(error_);
    return std::move(ids_);
}

void PinyinKeyFinder::Request::run() {
    try {
        finish(keys_->find(keyword_, stop_), {});
    } catch (const std::exception& e) {
        finish({}, QString::fromUtf8(e.what()));
    }
}

void PinyinKeyFinder::Request::finish(std::vector<qint64> ids, QString error) {
    {
        std::lock_guard lock(mutex_);
        ids_ = std::move(ids);
        error_ = std::move(error);
        finished_ = true;
    }
    done_.notify_all();
}

PinyinKeyFinder::~PinyinKeyFinder() {
    {
        std::lock_guard lock(mutex_);
        quit_ = true;
        dropWaiting();
    }
    wake_.notify_one();
    if (thread_.joinable())
        thread_.join();
}

std::shared_ptr<PinyinKeyFinder::Request> PinyinKeyFinder::find(std::shared_ptr<PinyinKeys> keys,
                                                                const QString& keyword) {
    auto request = std::make_shared<Request>(std::move(keys), keyword);
    {
        std::lock_guard lock(mutex_);
        dropWaiting();
        next_ = request;
    }
    if (!thread_.joinable())
        thread_ = std::thread([this] { run(); });
    wake_.notify_one();
    return request;
}

void PinyinKeyFinder::dropWaiting() {
    if (next_)
        next_->finish({}, abandonedText);
    next_.reset();
    if (running_)
        running_->stop_ = true;
}

void PinyinKeyFinder::run() {
    for (;;) {
        std::shared_ptr<Request> request;
        {
            std::unique_lock lock(mutex_);
            wake_.wait(lock, [this] { return quit_ || next_; });
            if (quit_)
                return;
            request = running_ = std::move(next_);
            next_.reset();
        }
        request->run();
        std::lock_guard lock(mutex_);
        running_.reset();
    }
}
