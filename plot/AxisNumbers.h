#pragma once

#include <string>

// How an axis numbers its ticks so that every number fits the room beside
// a panel (six characters, a minus sign included): values far from zero
// compared with their step are numbered from a round offset, and values far
// from 1 are scaled by a power of 1000. The axis's unit then says both once,
// "deg ×1e-3 + 180": a number n stands for n × 1e-3 + 180 degrees.
class AxisNumbers {
public:
    AxisNumbers() = default;
    // Ticks every `step` between `low` and `high`.
    AxisNumbers(double low, double high, double step);

    double Step() const { return step; }
    std::string Label(double value) const;
    // `unit` with the scale and offset the labels leave out.
    std::string Unit(const std::string& unit) const;

private:
    double step = 0.0;
    double offset = 0.0;
    int exponent = 0;  // a multiple of 3
    int decimals = 0;
};
