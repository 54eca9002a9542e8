#include "tools/publisher/LatenessStats.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr double stepSeconds = 10e-6;
constexpr std::size_t stepCount = 100000;  // one second
constexpr double longestStep = 1e15;       // some 300 years: a step number that still fits

}  // namespace

LatenessStats::LatenessStats() : steps(stepCount, 0) {}

void LatenessStats::Add(double seconds) {
    seconds = std::max(seconds, 0.0);
    const double step = std::min(std::floor(seconds / stepSeconds), longestStep);
    if (step < stepCount)
        ++steps[static_cast<std::size_t>(step)];
    else
        ++beyond[static_cast<uint64_t>(step)];
    ++count;
    max = std::max(max, seconds);
}

// The upper end of the step that holds the quantile, so the figure never
// flatters.
double LatenessStats::Quantile(double fraction) const {
    if (count == 0) return 0.0;
    const uint64_t rank =
        std::max<uint64_t>(static_cast<uint64_t>(std::ceil(fraction * static_cast<double>(count))), 1);
    uint64_t seen = 0;
    for (std::size_t step = 0; step < steps.size(); ++step) {
        seen += steps[step];
        if (seen >= rank) return std::min((step + 1) * stepSeconds, max);
    }
    for (const auto& [step, times] : beyond) {
        seen += times;
        if (seen >= rank) return std::min((step + 1) * stepSeconds, max);
    }
    return max;
}
