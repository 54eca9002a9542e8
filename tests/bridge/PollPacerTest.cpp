#include <gtest/gtest.h>

#include "bridge/PollPacer.h"

namespace {

using us = std::chrono::microseconds;

// Changes seen at 0 and `period`: the next is due at 2 * period. The sender
// reads without pause from a little before it (period / 8, at most 150 us)
// until half a period after, and otherwise at least every 100 us. A gap of
// seconds is a pause of the server, not its rate.
TEST(PollPacerTest, ReadsWithoutPauseOnlyAroundTheNextWrite) {
    const struct { int period, pauseOfServer, at, pause; } rows[] = {
        {1000, 0, 1100, 100}, {1000, 0, 1850, 25}, {1000, 0, 1875, 0}, {1000, 0, 2499, 0}, {1000, 0, 2500, 100},
        {8000, 0, 15800, 50}, {8000, 0, 15850, 0}, {1000, 5000000, 5001000 + 950, 0},
    };
    for (const auto& row : rows) {
        const PollPacer::Clock::time_point start{};
        PollPacer pacer(us(100));
        EXPECT_EQ(pacer.Pause(start), us(100)) << "rate unknown";
        pacer.Changed(start);
        pacer.Changed(start + us(row.period));
        if (row.pauseOfServer) pacer.Changed(start + us(row.period + row.pauseOfServer));
        EXPECT_EQ(pacer.Pause(start + us(row.at)), us(row.pause)) << "period " << row.period << ", at " << row.at;
    }
}

}  // namespace
