#pragma once

#include <cstdint>
#include <vector>

// How late replayed writes came, in a histogram of fixed size however long
// the replay runs: 10 µs steps up to one second, later ones in the last step
// (the maximum is kept exactly).
class LatenessStats {
public:
    LatenessStats();

    void Add(double seconds);
    uint64_t Count() const { return count; }
    // The `fraction` (0..1) quantile in seconds, to 10 µs; 0 with no writes.
    double Quantile(double fraction) const;
    double Max() const { return max; }

private:
    std::vector<uint64_t> steps;
    uint64_t count = 0;
    double max = 0.0;
};
