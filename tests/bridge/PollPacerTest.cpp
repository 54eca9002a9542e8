#include <gtest/gtest.h>

#include "bridge/PollPacer.h"

namespace {

using Clock = PollPacer::Clock;
using us = std::chrono::microseconds;

// A server writing every 1000 us, seen at 0 and 1000: the next write is due at
// 2000. The sender reads without pause from 1875 to 2500, and otherwise at
// least every idle interval.
TEST(PollPacerTest, ReadsWithoutPauseOnlyAroundTheNextWrite) {
    const Clock::time_point start{};
    PollPacer pacer(us(100));
    EXPECT_EQ(pacer.Pause(start), us(100)) << "rate unknown";
    pacer.Changed(start);
    pacer.Changed(start + us(1000));
    const struct { int at; int pause; } expected[] = {
        {1100, 100}, {1850, 25}, {1875, 0}, {2000, 0}, {2499, 0}, {2500, 100}, {9000, 100}};
    for (const auto& row : expected) EXPECT_EQ(pacer.Pause(start + us(row.at)), us(row.pause)) << "at " << row.at;
}

// A slow server: reading without pause starts at most 150 us early.
TEST(PollPacerTest, SlowServersCostLittleSpinning) {
    const Clock::time_point start{};
    PollPacer pacer(us(100));
    pacer.Changed(start);
    pacer.Changed(start + us(8000));
    EXPECT_EQ(pacer.Pause(start + us(15800)), us(50));
    EXPECT_EQ(pacer.Pause(start + us(15850)), us(0));
}

// A pause of the server is not taken for its rate.
TEST(PollPacerTest, LongGapsLeaveTheRateAlone) {
    const Clock::time_point start{};
    PollPacer pacer(us(100));
    pacer.Changed(start);
    pacer.Changed(start + us(1000));
    pacer.Changed(start + std::chrono::seconds(5));
    EXPECT_EQ(pacer.Pause(start + std::chrono::seconds(5) + us(950)), us(0));
}

}  // namespace
