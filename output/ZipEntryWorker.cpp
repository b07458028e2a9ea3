#include "output/ZipEntryWorker.h"

#include "output/ZipWriter.h"

#include <utility>

namespace {
constexpr size_t kQueuedChunks = 4;
}

ZipEntryWorker::ZipEntryWorker(ZipWriter& zip) : zip_(zip), thread_([this] { run(); }) {}

ZipEntryWorker::~ZipEntryWorker() {
    stop(true);
}

bool ZipEntryWorker::push(std::string& chunk) {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return failed_ || queue_.size() < kQueuedChunks; });
    if (failed_)
        return false;
    queue_.push_back(std::move(chunk));
    chunk = {};
    if (!spare_.empty()) {
        chunk = std::move(spare_.back());
        spare_.pop_back();
    }
    changed_.notify_all();
    return true;
}

void ZipEntryWorker::giveBack(std::string chunk) {
    chunk.clear();
    std::lock_guard lock(mutex_);
    spare_.push_back(std::move(chunk));
}

void ZipEntryWorker::finish() {
    stop(false);
    if (error_)
        std::rethrow_exception(std::exchange(error_, nullptr));
}

void ZipEntryWorker::stop(bool abandon) {
    {
        std::lock_guard lock(mutex_);
        closed_ = true;
        abandoned_ = abandon;
        changed_.notify_all();
    }
    if (thread_.joinable())
        thread_.join();
}

std::optional<std::string> ZipEntryWorker::pop() {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return abandoned_ || closed_ || !queue_.empty(); });
    if (abandoned_ || queue_.empty())
        return std::nullopt;
    std::string chunk = std::move(queue_.front());
    queue_.pop_front();
    changed_.notify_all();
    return chunk;
}

void ZipEntryWorker::run() {
    try {
        while (std::optional<std::string> chunk = pop()) {
            zip_.append(chunk->data(), chunk->size());
            giveBack(std::move(*chunk));
        }
    } catch (...) {
        std::lock_guard lock(mutex_);
        error_ = std::current_exception();
        failed_ = true;
        changed_.notify_all();
    }
}
