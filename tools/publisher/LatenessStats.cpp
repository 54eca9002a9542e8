#include "tools/publisher/LatenessStats.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr double stepSeconds = 10e-6;
constexpr std::size_t stepCount = 100000;  // one second

}  // namespace

LatenessStats::LatenessStats() : steps(stepCount, 0) {}

void LatenessStats::Add(double seconds) {
    seconds = std::max(seconds, 0.0);
    std::size_t step = static_cast<std::size_t>(std::min(seconds / stepSeconds, static_cast<double>(stepCount - 1)));
    ++steps[step];
    ++count;
    max = std::max(max, seconds);
}

// The upper end of the step that holds the quantile, so the figure never
// flatters.
double LatenessStats::Quantile(double fraction) const {
    if (count == 0) return 0.0;
    uint64_t rank = static_cast<uint64_t>(std::ceil(fraction * static_cast<double>(count)));
    uint64_t seen = 0;
    for (std::size_t step = 0; step < steps.size(); ++step) {
        seen += steps[step];
        if (seen >= std::max<uint64_t>(rank, 1)) return std::min((step + 1) * stepSeconds, max);
    }
    return max;
}
