#include "output/ZipEntryWorker.h"

#include "output/ZipWriter.h"

#include <memory>
#include <utility>

namespace {
constexpr size_t kQueuedChunks = 4;
}

ZipEntryWorker::ZipEntryWorker(ZipWriter& zip) : zip_(zip), worker_({}, kQueuedChunks) {}

ZipEntryWorker::~ZipEntryWorker() {
    worker_.abandon();
}

bool ZipEntryWorker::push(std::string& chunk) {
    auto queued = std::make_shared<std::string>(std::exchange(chunk, {}));
    const bool taken = worker_.post([this, queued](const std::atomic_bool&) {
        zip_.append(queued->data(), queued->size());
        queued->clear();
        std::lock_guard lock(spareMutex_);
        spare_.push_back(std::move(*queued));
    });
    if (!taken)
        return false;
    std::lock_guard lock(spareMutex_);
    if (!spare_.empty()) {
        chunk = std::move(spare_.back());
        spare_.pop_back();
    }
    return true;
}

void ZipEntryWorker::finish() {
    worker_.wait();
    worker_.rethrow();
}
