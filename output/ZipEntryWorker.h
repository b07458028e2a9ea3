#pragma once

#include "data/Worker.h"

#include <mutex>
#include <string>
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
    ZipWriter& zip_;
    std::mutex spareMutex_;
    std::vector<std::string> spare_; // written chunks, their memory kept for the next ones
    Worker worker_;                  // last, so it stops before the members its jobs use go
};
