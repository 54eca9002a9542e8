#pragma once

#include <cstdint>
#include <map>
#include <vector>

// How late replayed writes came, in 10 µs steps: a table of fixed size up to
// one second, and beyond it a count per step that is used (a stall of
// seconds is rare), so that no figure is capped however late a write was.
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
    std::map<uint64_t, uint64_t> beyond;  // by step
    uint64_t count = 0;
    double max = 0.0;
};
