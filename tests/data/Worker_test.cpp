#include "data/Worker.h"

#include <gtest/gtest.h>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

// Spins until abandoned, so a job is known to be running and only stopping ends it.
void untilAbandoned(std::atomic_bool& started, const std::atomic_bool& abandoned) {
    started = true;
    while (!abandoned)
        std::this_thread::yield();
}

void waitFor(const std::atomic_bool& flag) {
    while (!flag)
        std::this_thread::yield();
}

} // namespace

// Abandoning stops the running job, tells the queued ones they will never run and lets later
// work run; a failure drops what was queued behind it, refuses new work and comes back once;
// the worker destroyed while busy stops its job rather than waiting for it.
TEST(Worker, AbandonsFailsAndStopsWhileBusy) {
    std::vector<std::string> log; // written on the worker's thread, read once it is idle
    std::atomic_bool started{false};
    int dropped = 0, hooked = 0;
    auto note = [&log](std::string what) { return [&log, what](auto&) { log.push_back(what); }; };
    {
        Worker worker({nullptr, [&hooked] { ++hooked; }, nullptr});
        worker.post([&](const std::atomic_bool& a) { untilAbandoned(started, a); });
        worker.post(note("queued"), [&] { ++dropped; });
        waitFor(started);
        worker.replace(note("replacement"), [&] { ++dropped; });
        worker.wait();
        EXPECT_EQ(log, std::vector<std::string>{"replacement"});
        EXPECT_EQ(dropped, 1);
        EXPECT_EQ(hooked, 1) << "the running job's stop hook";

        worker.post([](auto&) { throw std::runtime_error("broken"); });
        worker.post(note("behind the failure"), [&] { ++dropped; });
        worker.wait();
        EXPECT_FALSE(worker.post(note("refused"), [&] { ++dropped; }));
        EXPECT_EQ(dropped, 3);
        EXPECT_THROW(worker.rethrow(), std::runtime_error);
        EXPECT_NO_THROW(worker.rethrow()) << "a failure comes back once";
        EXPECT_TRUE(worker.post(note("after")));
        worker.wait();
        EXPECT_EQ(log, (std::vector<std::string>{"replacement", "after"}));

        started = false;
        worker.post([&](const std::atomic_bool& a) { untilAbandoned(started, a); });
        worker.post(note("never"), [&] { ++dropped; });
        waitFor(started);
    } // the destructor returns only because the running job saw itself abandoned
    EXPECT_EQ(dropped, 4);
    EXPECT_EQ(log.size(), 2u);
}

// A bounded queue makes the producer wait, and every job still runs in order.
TEST(Worker, BoundedQueueKeepsOrder) {
    std::vector<int> seen;
    {
        Worker worker({}, 2);
        for (int i = 0; i < 200; ++i)
            ASSERT_TRUE(worker.post([&seen, i](auto&) { seen.push_back(i); }));
        worker.wait();
    }
    ASSERT_EQ(seen.size(), 200u);
    for (int i = 0; i < 200; ++i)
        EXPECT_EQ(seen[size_t(i)], i);
}
