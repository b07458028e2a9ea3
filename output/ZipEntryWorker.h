#pragma once

#include <condition_variable>
#include <deque>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

class ZipWriter;

// Compresses one entry of a ZipWriter on a thread of its own while the caller produces the
// entry's bytes, so producing and compressing share the processors. A small bounded queue
// keeps memory flat. Exceptions from the worker come back on the caller's thread.
class ZipEntryWorker {
  public:
    explicit ZipEntryWorker(ZipWriter& zip);
    ~ZipEntryWorker(); // abandons the entry unless finish() ran

    ZipEntryWorker(const ZipEntryWorker&) = delete;
    ZipEntryWorker& operator=(const ZipEntryWorker&) = delete;

    // Takes chunk, leaving an emptied earlier one in its place so buffers are reused; waits
    // while the queue is full. False once the worker failed (finish() tells why).
    bool push(std::string& chunk);
    // Waits for the last chunk to be written; throws what the worker threw.
    void finish();

  private:
    void run();
    std::optional<std::string> pop();
    void giveBack(std::string chunk);
    void stop(bool abandon);

    ZipWriter& zip_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<std::string> queue_;
    std::vector<std::string> spare_; // written chunks, their memory kept for the next ones
    bool closed_ = false, abandoned_ = false, failed_ = false;
    std::exception_ptr error_;
    std::thread thread_;
};
