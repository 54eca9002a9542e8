#pragma once

#include <cstdint>
#include <map>

// The intervals between one station's writes, in whole microseconds, kept as
// a count per length: a tracker writes at a steady rate, so an hour of writes
// has a few hundred lengths, and the percentiles stay exact however long the
// recording is. An interval across writes the recorder missed is counted, but
// it is no silence of the server.
class IntervalCounts {
public:
    void Add(std::uint64_t micros, bool acrossMissedWrites);

    std::uint64_t Count() const { return count; }
    std::size_t Lengths() const { return counts.size(); }
    // Nearest rank: the shortest interval with at least `fraction` of all at
    // or below it. 0 when there is none.
    std::uint64_t Percentile(double fraction) const;
    std::uint64_t Longest() const { return counts.empty() ? 0 : counts.rbegin()->first; }
    // Intervals longer than `limit` in which the server wrote nothing.
    std::uint64_t SilencesAbove(std::uint64_t limit) const;

private:
    struct Tally {
        std::uint64_t all = 0;
        std::uint64_t acrossMissedWrites = 0;
    };
    std::map<std::uint64_t, Tally> counts;
    std::uint64_t count = 0;
};
