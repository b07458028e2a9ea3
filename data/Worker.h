#pragma once

// The program's one background thread class: a queue of jobs worked in order on a thread of
// its own, so every background task shares one stop, abandon and failure story.

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <exception>
#include <functional>
#include <limits>
#include <mutex>
#include <thread>

class Worker {
  public:
    // A job should stop soon once abandoned is set; what it throws ends the queue behind it.
    using Job = std::function<void(const std::atomic_bool& abandoned)>;
    using Dropped = std::function<void()>; // a queued job that will never run
    struct Hooks {
        std::function<void()> starting;  // on the thread, under the worker's lock, before a job
        std::function<void()> abandoned; // under the worker's lock, as a running job is abandoned
        std::function<void()> ending;    // on the thread as it ends, e.g. to drop its connection
    };

    // post() waits while maxQueued jobs are waiting.
    explicit Worker(Hooks hooks = {}, size_t maxQueued = std::numeric_limits<size_t>::max());
    ~Worker(); // abandons everything and waits for the thread
    Worker(const Worker&) = delete;
    Worker& operator=(const Worker&) = delete;

    // Queues job behind the others; false (and job dropped) once a job failed, until rethrow().
    bool post(Job job, Dropped dropped = nullptr);
    // job becomes the only work: the queued jobs are dropped and the running one abandoned.
    void replace(Job job, Dropped dropped = nullptr);
    void abandon(); // the queued jobs are dropped and the running one abandoned
    void wait();    // until nothing is queued or running
    void rethrow(); // throws, once, what a job threw

  private:
    struct Entry {
        Job job;
        Dropped dropped;
    };
    void run();
    std::deque<Entry> takeQueue(); // with mutex_ held: the queue, the running job abandoned
    static void tellDropped(std::deque<Entry>& entries);

    const Hooks hooks_;
    const size_t maxQueued_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<Entry> queue_;
    std::atomic_bool abandoned_{false}; // the running job is no longer wanted
    bool running_ = false, quit_ = false;
    std::exception_ptr error_;
    std::thread thread_;
};
