#include "plot/AxisNumbers.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

// Ticks that need more significant digits than this are numbered from an
// offset: with at most three, a label never exceeds six characters.
constexpr double mostTicksFromZero = 1000.0;

std::string Printed(const char* format, double value, int digits = 0) {
    char text[48];
    std::snprintf(text, sizeof text, format, digits, value);
    return text;
}

}  // namespace

// The offset is a round number a power of ten above the span, so that it is
// a multiple of the step and the ticks stay round numbers from it.
AxisNumbers::AxisNumbers(double low, double high, double step) : step(step) {
    if (!(step > 0.0) || !std::isfinite(low) || !std::isfinite(high)) return;
    double largest = std::max(std::fabs(low), std::fabs(high));
    if (largest / step >= mostTicksFromZero) {
        const double unit = std::pow(10.0, std::ceil(std::log10(std::max(high - low, step))));
        offset = std::round((low + high) / 2 / unit) * unit;
        largest = std::max(std::fabs(low - offset), std::fabs(high - offset));
    }
    if (step < 1e-3 || largest >= 1000.0) exponent = 3 * static_cast<int>(std::floor(std::log10(largest) / 3.0));
    const double scaled = step / std::pow(10.0, exponent);
    decimals = std::max(0, static_cast<int>(std::ceil(-std::log10(scaled) - 1e-9)));
}

std::string AxisNumbers::Label(double value) const {
    double shown = (value - offset) / std::pow(10.0, exponent);
    if (std::fabs(shown) < 1e-9 * std::pow(10.0, -decimals)) shown = 0.0;  // no "-0"
    return Printed("%.*f", shown, decimals);
}

std::string AxisNumbers::Unit(const std::string& unit) const {
    std::string text = unit;
    if (exponent != 0)
        text +=
            " \xC3\x97"
            "1e" +
            std::to_string(exponent);
    if (offset != 0.0) text += (offset > 0 ? " + " : " - ") + Printed("%.*g", std::fabs(offset), 12);
    return text;
}
