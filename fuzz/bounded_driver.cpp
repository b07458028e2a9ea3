// Runs a fuzz target on seeded random inputs for a bounded time, so every build checks it.
// FUZZ_ITERATIONS and FUZZ_SECONDS change the bounds.

#include <QtGlobal>
#include <chrono>
#include <cstdint>
#include <gtest/gtest.h>
#include <random>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace {

int bound(const char* name, int fallback) {
    bool ok = false;
    const int v = qEnvironmentVariableIntValue(name, &ok);
    return ok && v > 0 ? v : fallback;
}

TEST(Fuzz, SeededRandomInputs) {
    const int iterations = bound("FUZZ_ITERATIONS", 20000);
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::seconds(bound("FUZZ_SECONDS", 10));
    std::mt19937 random(20240601);
    std::vector<uint8_t> input;
    int done = 0;
    for (; done < iterations && std::chrono::steady_clock::now() < deadline; ++done) {
        // Mostly short inputs, now and then a long one.
        const size_t size = random() % 8 == 0 ? random() % 4096 : random() % 96;
        input.resize(size);
        for (uint8_t& b : input)
            b = uint8_t(random());
        LLVMFuzzerTestOneInput(input.data(), input.size());
    }
    std::printf("%d inputs\n", done);
}

} // namespace
