#pragma once

#include <cstdint>
#include <string>

// Everything the command line of lumivex-monitor sets.
struct MonitorOptions {
    int instrument = 0;
    uint32_t bins = 0x3;      // bit b: bin b
    uint32_t stations = 0xF;  // bit k: station k
    bool once = false;
    std::string csvPath;      // empty: no recording
};

enum class OptionsOutcome { Run, Help, Error };

// Reads the command line into `options`; prints nothing. On Help `message` is
// the help text, on Error it says what is wrong.
OptionsOutcome ParseMonitorOptions(int argc, const char* const* argv, MonitorOptions& options, std::string& message);

// "N" and "N-M" items, comma-separated, each number 0..highest, into a mask.
bool ParseNumberList(const std::string& text, int highest, uint32_t& mask);
// The mask as the shortest such list, e.g. "0-3,7"; "none" for 0.
std::string DescribeNumberList(uint32_t mask);
