#include "plot/JitterSums.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr int centre = jitterWindow / 2;

double SquaredPositionDeviation(const std::array<PoseSample, jitterWindow>& window) {
    double squared = 0.0;
    for (int axis = 0; axis < 3; ++axis) {
        double sum = 0.0;
        for (const PoseSample& sample : window) sum += sample.position[axis];
        double deviation = window[centre].position[axis] - sum / jitterWindow;
        squared += deviation * deviation;
    }
    return squared;
}

// Angles wrap at ±180°: each is taken as its shortest way from the centre's,
// so that a roll about 180° is not read as a jump of 360°.
double Turn(double from, double to) {
    double turn = to - from;
    return std::fabs(turn) <= 180.0 ? turn : std::remainder(turn, 360.0);
}

double SquaredAngleDeviation(const std::array<PoseSample, jitterWindow>& window) {
    double squared = 0.0;
    for (int angle = 0; angle < 3; ++angle) {
        double sum = 0.0;
        for (const PoseSample& sample : window) sum += Turn(window[centre].angles[angle], sample.angles[angle]);
        double deviation = sum / jitterWindow;
        squared += deviation * deviation;
    }
    return squared;
}

}  // namespace

void JitterSums::Add(const PoseSample& sample, std::uint64_t intervalMicros) {
    std::move(window.begin() + 1, window.end(), window.begin());
    std::move(intervals.begin() + 1, intervals.end(), intervals.begin());
    window.back() = sample;
    intervals.back() = intervalMicros;
    filled = std::min(filled + 1, jitterWindow);
    if (filled == jitterWindow) JudgeCentre();
}

// A window with a value the server could not give judges nothing.
void JitterSums::JudgeCentre() {
    for (const PoseSample& sample : window)
        if (!FinitePose(sample)) return;
    // The interval before the window's first write lies outside it.
    std::uint64_t longest = *std::max_element(intervals.begin() + 1, intervals.end());
    // Nearly every window has the same longest interval as the one before.
    if (!lastSum || longest != lastLongest) lastSum = &sums[longest], lastLongest = longest;
    Sum& sum = *lastSum;
    ++sum.windows;
    sum.position += SquaredPositionDeviation(window);
    sum.angles += SquaredAngleDeviation(window);
}

JitterSums::Jitter JitterSums::Within(std::uint64_t limitMicros) const {
    Sum total;
    for (auto entry = sums.begin(); entry != sums.end() && entry->first <= limitMicros; ++entry) {
        total.windows += entry->second.windows;
        total.position += entry->second.position;
        total.angles += entry->second.angles;
    }
    if (total.windows == 0) return {std::nan(""), std::nan("")};
    return {std::sqrt(total.position / total.windows) * 1000.0, std::sqrt(total.angles / total.windows)};
}
