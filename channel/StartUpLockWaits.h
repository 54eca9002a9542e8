#pragma once

#include <chrono>

// How long a one-off read of the channels (the viewer's start-up report,
// lumivex-monitor --once) waits for their mutexes. What it reads decides what
// it shows (the viewer fixes each row's unit scale for the whole run), so it
// waits out a live server that holds its mutex for a slow write, a tenth of a
// second or more, where a frame gives up after ShMemChannelSet::lockBudget.
// The whole read stays bounded: once its share is spent, each further channel
// gets what a frame gets, so that sixteen stuck channels cannot hold it for
// sixteen seconds; only a server that is really stuck shows as not read.
class StartUpLockWaits {
public:
    std::chrono::nanoseconds ForNextChannel() const;

private:
    using Clock = std::chrono::steady_clock;
    static constexpr std::chrono::seconds perChannel{1};
    static constexpr std::chrono::seconds wholeRead{2};
    Clock::time_point deadline = Clock::now() + wholeRead;
};
