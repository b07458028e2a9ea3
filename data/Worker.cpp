#include "data/Worker.h"

#include <utility>

Worker::Worker(Hooks hooks, size_t maxQueued) : hooks_(std::move(hooks)), maxQueued_(maxQueued) {}

Worker::~Worker() {
    std::deque<Entry> dropped;
    {
        std::lock_guard lock(mutex_);
        quit_ = true;
        dropped = takeQueue();
    }
    changed_.notify_all();
    if (thread_.joinable())
        thread_.join();
    tellDropped(dropped);
}

bool Worker::post(Job job, Dropped dropped) {
    {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [this] { return error_ || queue_.size() < maxQueued_; });
        if (!error_) {
            queue_.push_back({std::move(job), std::move(dropped)});
            if (!thread_.joinable())
                thread_ = std::thread([this] { run(); });
            changed_.notify_all();
            return true;
        }
    }
    if (dropped)
        dropped();
    return false;
}

void Worker::replace(Job job, Dropped dropped) {
    std::deque<Entry> overtaken;
    {
        std::lock_guard lock(mutex_);
        overtaken = takeQueue();
        queue_.push_back({std::move(job), std::move(dropped)});
        if (!thread_.joinable())
            thread_ = std::thread([this] { run(); });
    }
    changed_.notify_all();
    tellDropped(overtaken);
}

void Worker::abandon() {
    std::deque<Entry> dropped;
    {
        std::lock_guard lock(mutex_);
        dropped = takeQueue();
    }
    changed_.notify_all();
    tellDropped(dropped);
}

void Worker::wait() {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return queue_.empty() && !running_; });
}

void Worker::rethrow() {
    std::exception_ptr error;
    {
        std::lock_guard lock(mutex_);
        error = std::exchange(error_, nullptr);
    }
    changed_.notify_all();
    if (error)
        std::rethrow_exception(error);
}

std::deque<Worker::Entry> Worker::takeQueue() {
    if (running_ && !abandoned_) {
        abandoned_ = true;
        if (hooks_.abandoned)
            hooks_.abandoned();
    }
    return std::exchange(queue_, {});
}

void Worker::tellDropped(std::deque<Entry>& entries) {
    for (Entry& entry : entries)
        if (entry.dropped)
            entry.dropped();
}

void Worker::run() {
    for (;;) {
        Entry entry;
        {
            std::unique_lock lock(mutex_);
            changed_.wait(lock, [this] { return quit_ || !queue_.empty(); });
            if (quit_)
                break;
            entry = std::move(queue_.front());
            queue_.pop_front();
            abandoned_ = false;
            running_ = true;
            if (hooks_.starting)
                hooks_.starting();
        }
        changed_.notify_all(); // a place in the queue is free
        std::exception_ptr error;
        try {
            entry.job(abandoned_);
        } catch (...) {
            error = std::current_exception();
        }
        if (error) {
            std::deque<Entry> dropped;
            {
                std::lock_guard lock(mutex_);
                error_ = error;
                dropped = std::exchange(queue_, {}); // they build on the work that failed
            }
            tellDropped(dropped);
        }
        {
            std::lock_guard lock(mutex_);
            running_ = false;
        }
        changed_.notify_all();
    }
    if (hooks_.ending)
        hooks_.ending();
}
