#pragma once

// Reads a fuzzer's bytes as small structured choices, so random bytes reach the interesting
// paths (brackets, equals signs, line breaks) instead of being mostly noise.

#include <QByteArray>
#include <QString>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <initializer_list>

class FuzzInput {
  public:
    FuzzInput(const uint8_t* data, size_t size) : p_(data), end_(data + size) {}

    bool empty() const { return p_ == end_; }
    uint8_t byte() { return p_ < end_ ? *p_++ : 0; }
    uint64_t bits64() {
        uint64_t v = 0;
        for (int i = 0; i < 8; ++i)
            v = (v << 8) | byte();
        return v;
    }
    int below(int n) { return n <= 1 ? 0 : byte() % n; }

    // Up to maxCount pieces, each one of the given texts.
    QByteArray pieces(std::initializer_list<const char*> alphabet, int maxCount) {
        QByteArray out;
        const int count = below(maxCount + 1);
        for (int i = 0; i < count && !empty(); ++i)
            out += *(alphabet.begin() + below(int(alphabet.size())));
        return out;
    }
    // Raw bytes up to the next zero byte (or the end).
    QByteArray rawUntilZero() {
        const auto* zero = static_cast<const uint8_t*>(std::memchr(p_, 0, size_t(end_ - p_)));
        const uint8_t* stop = zero ? zero : end_;
        QByteArray out(reinterpret_cast<const char*>(p_), stop - p_);
        p_ = zero ? stop + 1 : end_;
        return out;
    }

  private:
    const uint8_t* p_;
    const uint8_t* end_;
};

// Stops the run with a message the fuzzer (or the bounded driver) reports as a crash.
[[noreturn]] void fuzzFailure(const QString& what);

#define FUZZ_CHECK(condition, what)                                                                \
    do {                                                                                           \
        if (!(condition))                                                                          \
            fuzzFailure(what);                                                                     \
    } while (false)
