#pragma once

#include <array>
#include <chrono>
#include <cstddef>

// The spread of the last few dozen durations (how far writes came from their
// beat, how late sleeps ended). A few dozen follow a change of the machine's
// load within a fraction of a second and cost next to nothing to sort.
class RecentSpread {
public:
    using Duration = std::chrono::steady_clock::duration;

    void Add(Duration value);
    void Clear();
    // The value that `fraction` (0..1) of those kept lie below; 0 while none is kept.
    Duration Quantile(double fraction) const;
    struct Span {
        Duration first, last;
    };
    // The quantiles `low` and `high` of those kept, from one sort.
    Span Between(double low, double high) const;
    // The least and the greatest of those kept in the span at most `width`
    // long that holds more of them than any other (the earliest such span);
    // all 0 while none is kept.
    Span DensestSpan(Duration width) const;

private:
    static constexpr std::size_t capacity = 32;
    using Values = std::array<Duration, capacity>;

    Values Sorted() const;
    Duration At(const Values& sorted, double fraction) const;

    Values values{};
    std::size_t count = 0;
    std::size_t next = 0;
};
