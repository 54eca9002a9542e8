#include "recording/IntervalCounts.h"

#include <algorithm>
#include <cmath>

void IntervalCounts::Add(std::uint64_t micros, bool acrossMissedWrites) {
    Tally& tally = counts[micros];
    ++tally.all;
    tally.acrossMissedWrites += acrossMissedWrites;
    ++count;
}

std::uint64_t IntervalCounts::Percentile(double fraction) const {
    const std::uint64_t rank = std::max<std::uint64_t>(1, static_cast<std::uint64_t>(std::ceil(fraction * count)));
    std::uint64_t below = 0;
    for (const auto& [micros, tally] : counts) {
        below += tally.all;
        if (below >= rank) return micros;
    }
    return 0;
}

std::uint64_t IntervalCounts::SilencesAbove(std::uint64_t limit) const {
    std::uint64_t silences = 0;
    for (auto entry = counts.upper_bound(limit); entry != counts.end(); ++entry)
        silences += entry->second.all - entry->second.acrossMissedWrites;
    return silences;
}
