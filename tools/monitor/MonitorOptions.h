#pragma once

#include <cstdint>
#include <string>

#include "tools/common/NumberList.h"
#include "tools/common/OptionRules.h"

// Everything the command line of lumivex-monitor sets.
struct MonitorOptions {
    int instrument = 0;
    uint32_t bins = 0x3;      // bit b: bin b
    uint32_t stations = 0xF;  // bit k: station k
    bool once = false;
    std::string csvPath;      // empty: no recording; "-": standard output
    double duration = 0.0;    // seconds; 0: until a signal
};

using OptionsOutcome = CommandLineOutcome;

// Reads the command line into `options`; prints nothing. On Help `message` is
// the help or version text, on Error it says what is wrong.
OptionsOutcome ParseMonitorOptions(int argc, const char* const* argv, MonitorOptions& options, std::string& message);
