#pragma once

#include <array>
#include <cstdint>
#include <limits>
#include <map>

#include "plot/PoseSample.h"

// Writes in the moving average that jitter is measured against, centred on
// the write it judges.
constexpr int jitterWindow = 5;

// How far one station's poses stray from the mean of the `jitterWindow`
// writes centred on each. A window across a dropout would count the movement
// during it as noise, but which intervals are dropouts is known only at the
// end of the recording; so each window's squared deviations are summed under
// its longest interval, and the windows under a limit are added up at the end.
class JitterSums {
public:
    // An interval that windows never span: one across writes the recorder
    // missed, or the first write (which has no interval).
    static constexpr std::uint64_t barrier = std::numeric_limits<std::uint64_t>::max();

    JitterSums() = default;
    // Moves only: `lastSum` points into the map it came with.
    JitterSums(const JitterSums&) = delete;
    JitterSums& operator=(const JitterSums&) = delete;
    JitterSums(JitterSums&&) = default;
    JitterSums& operator=(JitterSums&&) = default;

    // `intervalMicros`: since the station's previous write.
    void Add(const PoseSample& sample, std::uint64_t intervalMicros);

    // RMS deviation of the position (mm) and of the angles (degrees) over the
    // windows whose intervals are all at most `limitMicros`; NaN without one.
    struct Jitter {
        double millimetres;
        double degrees;
    };
    Jitter Within(std::uint64_t limitMicros) const;
    std::size_t Lengths() const { return sums.size(); }

private:
    struct Sum {
        std::uint64_t windows = 0;
        double position = 0.0;  // m²
        double angles = 0.0;    // deg²
    };
    void JudgeCentre();

    std::array<PoseSample, jitterWindow> window{};
    std::array<std::uint64_t, jitterWindow> intervals{};  // before each write of the window
    int filled = 0;
    std::map<std::uint64_t, Sum> sums;
    Sum* lastSum = nullptr;  // a map's entries stay where they are
    std::uint64_t lastLongest = 0;
};
