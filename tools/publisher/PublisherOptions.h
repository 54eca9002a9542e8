#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include <CLI/CLI.hpp>

#include "channel/ChannelState.h"

enum class Motion { Still, Orbit, Counter };

// Everything the command line of the test publisher sets.
struct PublisherOptions {
    int instrument = 0;
    uint32_t bins = 0x3;
    uint32_t flags = 0x21F;  // stations 0..3 active, Cartesian, metres
    std::string description = "Simulated tracker";
    StationRecord fixedPoses[station_layout::stationCount] = {};
    uint32_t fixedStations = 0;  // bit k: station k keeps fixedPoses[k]
    Motion motion = Motion::Orbit;
    double rate = 120.0;    // writes per second; 0: as fast as possible
    double duration = 0.0;  // seconds; 0: until a signal
    bool once = false;
    bool unlink = false;
    bool force = false;  // --unlink also a channel that a live writer writes
    unsigned mode = 0600;
    int holdLockMs = 0;
    long crashAfter = 0;                  // 0: never
    std::string replay;                   // a recording to play instead of the motion; empty: none; "-": standard input
    bool loop = false;                    // play the recording again and again
    double speed = 1.0;                   // 2: the recording plays twice as fast
    double from = 0.0;                    // seconds into the recording where replay starts
    double to = -1.0;                     // ... and where it ends; negative: at its end
    uint32_t replayInstruments = 0xFFFF;  // bit i: replay the recording's instrument i (--instrument)
    uint32_t replayBins = 0xFFFF;         // bit b: replay its bin b (--bins)
    int asInstrument = -1;                // publish the replayed channels under this instrument; -1: their own
};

// The slowest rate the publisher accepts: one write a day. A longer period
// is no use to anyone and only invites overflow in the timing.
constexpr double minimumRate = 1.0 / 86400.0;

// The publisher's command line, bound to `options`: once it is parsed
// (RunCommandLine), they hold what it says.
std::unique_ptr<CLI::App> PublisherCommandLine(PublisherOptions& options);
