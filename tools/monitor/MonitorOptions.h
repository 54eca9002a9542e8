#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include <CLI/CLI.hpp>

// Everything the command line of lumivex-monitor sets.
struct MonitorOptions {
    int instrument = 0;
    uint32_t bins = 0x3;      // bit b: bin b
    uint32_t stations = 0xF;  // bit k: station k
    bool once = false;
    std::string csvPath;    // empty: no recording; "-": standard output
    bool force = false;     // the recording may replace a file
    double duration = 0.0;  // seconds; 0: until a signal
};

// The monitor's command line, bound to `options`: once it is parsed
// (RunCommandLine), they hold what it says.
std::unique_ptr<CLI::App> MonitorCommandLine(MonitorOptions& options);
