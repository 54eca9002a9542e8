#include <gtest/gtest.h>

#include <vector>

#include "channel/ChangeDetector.h"

namespace {

using us = std::chrono::microseconds;
using Clock = ChangeDetector::Clock;

const us slowPoll(250);
const Clock::time_point origin = Clock::time_point{} + std::chrono::seconds(5);

struct Write {
    long long at;  // microseconds after origin, when the server wrote it
    uint32_t count;
};

// The server stamps each write; the reader reads it 5 us later.
uint32_t Feed(ChangeDetector& detector, const std::vector<Write>& writes) {
    uint32_t missed = 0;
    for (const Write& write : writes) {
        Clock::time_point written = origin + us(write.at);
        auto stamp = static_cast<uint32_t>(std::chrono::duration_cast<us>(written.time_since_epoch()).count());
        missed += detector.Saw(0, written + us(5), write.count, stamp);
    }
    return missed;
}

std::vector<Write> Steady(long long from, long long period, int writes, uint32_t firstCount) {
    std::vector<Write> steady;
    for (int i = 0; i < writes; ++i) steady.push_back({from + i * period, firstCount + static_cast<uint32_t>(i)});
    return steady;
}

std::vector<Write> Joined(std::vector<Write> first, const std::vector<Write>& second) {
    first.insert(first.end(), second.begin(), second.end());
    return first;
}

// Each row: the writes seen, a read at `now`, and when the next read is due
// (`now` itself while a write may land any moment), in microseconds after
// the origin; `missed` is what the counter's jumps showed.
TEST(ChangeDetectorTest, ReadsDenselyOnlyAroundForeseenWrites) {
    const struct {
        const char* what;
        std::vector<Write> writes;
        long long now, next;
        uint32_t missed;
    } rows[] = {
        {"1 kHz: asleep until 20 us before the next write", Steady(0, 1000, 5, 1), 4100, 4980, 0},
        {"1 kHz: inside the window", Steady(0, 1000, 5, 1), 4985, 4985, 0},
        {"1 kHz: the write is late, read at the slow pace", Steady(0, 1000, 5, 1), 5040, 5290, 0},
        {"125 Hz", Steady(0, 8000, 5, 1), 32100, 39980, 0},
        {"too few writes to trust", Steady(0, 1000, 3, 1), 2100, 2350, 0},
        {"irregular writes: slow pace", {{0, 1}, {1000, 2}, {3100, 3}, {3400, 4}, {7000, 5}, {7900, 6}}, 8000, 8250, 0},
        {"missed writes: counted, and the period still known", {{0, 1}, {1000, 2}, {4000, 5}, {5000, 6}, {6000, 7}, {8000, 9}},
         8100, 8980, 3},
        {"the rate changed: learnt afresh", Joined(Steady(0, 1000, 5, 1), Steady(12000, 8000, 8, 6)), 68100, 75980, 0},
        {"a restarted counter is no jump", Joined(Steady(0, 1000, 5, 1000), Steady(5000, 1000, 5, 1)), 9100, 9980, 0},
        {"a paused server: slow pace until learnt again", Joined(Steady(0, 1000, 5, 1), Steady(900000, 1000, 2, 6)), 901100, 901350, 0},
    };
    for (const auto& row : rows) {
        ChangeDetector detector(1, slowPoll);
        EXPECT_EQ(Feed(detector, row.writes), row.missed) << row.what;
        EXPECT_EQ(detector.NextRead(origin + us(row.now)) - origin, us(row.next)) << row.what;
    }
}

// A recorder reads once, 20 us after a steady server's write is due, and at
// the slow pace while a write is late.
TEST(ChangeDetectorTest, CaptureReadsOnceJustAfterTheWriteIsDue) {
    ChangeDetector detector(1, slowPoll, ChangeDetector::Pursuit::Capture);
    Feed(detector, Steady(0, 1000, 5, 1));
    EXPECT_EQ(detector.NextRead(origin + us(4100)) - origin, us(5020));
    EXPECT_EQ(detector.NextRead(origin + us(5020)) - origin, us(5270));
}

// Writes up to 90 us off their beat, and one write 400 us late: the window
// opens earlier than the 20 us of a steady server, yet well after the last
// write, and the beat is kept.
TEST(ChangeDetectorTest, JitterAndALateWriteWidenTheWindowButKeepTheBeat) {
    const struct {
        std::vector<Write> writes;
        long long now, earliest, latest;
    } rows[] = {
        {{{0, 1}, {1000, 2}, {2060, 3}, {2960, 4}, {4050, 5}, {4980, 6}, {6040, 7}}, 6100, 6700, 6940},
        {{{0, 1}, {1000, 2}, {2000, 3}, {3000, 4}, {4000, 5}, {5400, 6}, {6000, 7}, {7000, 8}}, 7100, 7750, 7940},
    };
    for (const auto& row : rows) {
        ChangeDetector detector(1, slowPoll);
        Feed(detector, row.writes);
        long long next = std::chrono::duration_cast<us>(detector.NextRead(origin + us(row.now)) - origin).count();
        EXPECT_LT(next, row.latest);
        EXPECT_GT(next, row.earliest);
    }
}

// The soonest channel decides; one that cannot be read is looked at rarely
// and never keeps the others at the slow pace.
TEST(ChangeDetectorTest, FollowsTheSoonestChannelAndForgetsALostOne) {
    ChangeDetector detector(2, slowPoll);
    for (const Write& write : Steady(0, 1000, 5, 1)) {
        Clock::time_point written = origin + us(write.at);
        auto stamp = static_cast<uint32_t>(std::chrono::duration_cast<us>(written.time_since_epoch()).count());
        detector.Saw(0, written, write.count, stamp);
        detector.Saw(1, written + us(400), write.count, stamp + 400);
    }
    EXPECT_EQ(detector.NextRead(origin + us(4500)) - origin, us(4980));
    detector.Lost(0);
    EXPECT_EQ(detector.NextRead(origin + us(4500)) - origin, us(5380));
    detector.Lost(1);
    EXPECT_EQ(detector.NextRead(origin + us(4500)) - origin, us(5500));
}

}  // namespace
