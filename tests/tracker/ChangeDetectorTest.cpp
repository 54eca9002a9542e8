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
// the origin; `missed` is what the counter's jumps showed. A steady server's
// window opens 5 us before its write is due.
TEST(ChangeDetectorTest, ReadsDenselyOnlyAroundForeseenWrites) {
    const struct {
        const char* what;
        std::vector<Write> writes;
        long long now, next;
        uint32_t missed;
    } rows[] = {
        {"1 kHz: asleep until the window opens", Steady(0, 1000, 5, 1), 4100, 4995, 0},
        {"1 kHz: inside the window", Steady(0, 1000, 5, 1), 4997, 4997, 0},
        {"1 kHz: the write is late, read at the slow pace", Steady(0, 1000, 5, 1), 5010, 5260, 0},
        {"125 Hz", Steady(0, 8000, 5, 1), 32100, 39995, 0},
        {"too few writes to trust", Steady(0, 1000, 3, 1), 2100, 2350, 0},
        {"irregular writes: slow pace", {{0, 1}, {1000, 2}, {3100, 3}, {3400, 4}, {7000, 5}, {7900, 6}}, 8000, 8250, 0},
        {"missed writes: counted, and the period still known",
         {{0, 1}, {1000, 2}, {4000, 5}, {5000, 6}, {6000, 7}, {8000, 9}},
         8100,
         8995,
         3},
        {"a round the server skipped keeps the beat", Joined(Steady(0, 1000, 5, 1), {{6000, 6}}), 6100, 6995, 0},
        {"the rate changed to a multiple: learnt afresh", Joined(Steady(0, 1000, 5, 1), Steady(12000, 8000, 8, 6)),
         68100, 75995, 0},
        {"a restarted counter is no jump", Joined(Steady(0, 1000, 5, 1000), Steady(5000, 1000, 5, 1)), 9100, 9995, 0},
        {"a paused server: slow pace until learnt again", Joined(Steady(0, 1000, 5, 1), Steady(900000, 1000, 2, 6)),
         901100, 901350, 0},
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

struct Window {
    long long opens, closes;  // microseconds after the origin
};

// Where a forwarder reads without pause after a read at `from`, found the
// way its loop finds it.
Window WindowAfter(const ChangeDetector& detector, long long from) {
    long long opens = std::chrono::duration_cast<us>(detector.NextRead(origin + us(from)) - origin).count();
    long long closes = opens;
    while (detector.NextRead(origin + us(closes + 1)) == origin + us(closes + 1)) ++closes;
    return {opens, closes};
}

// A 1 kHz server whose writes stray from the beat: the window spans them
// while that takes no more than a tenth of the period, else where most of
// them come; a write 400 us late keeps the beat. Writes come at k ms plus
// the row's strays in turn; the next is due at 40 ms.
TEST(ChangeDetectorTest, TheWindowSpansTheStraysWithinATenthOfThePeriod) {
    const struct {
        const char* what;
        std::vector<long long> strays;
        long long earliestOpen, latestOpen, earliestClose, latestClose;
    } rows[] = {
        {"steady", {0}, 39995, 39995, 40005, 40005},
        {"40 us either way", {-40, 40}, 39940, 39960, 40040, 40060},
        {"most early, some late: the early ones", {-80, -80, -80, 80}, 39890, 39910, 39910, 39999},
        {"one write in ten 400 us late", {0, 0, 0, 0, 0, 0, 0, 0, 0, 400}, 39950, 40000, 40005, 40060},
    };
    for (const auto& row : rows) {
        std::vector<Write> writes;
        for (uint32_t k = 0; k < 40; ++k) writes.push_back({k * 1000 + row.strays[k % row.strays.size()], k + 1});
        ChangeDetector detector(1, slowPoll);
        Feed(detector, writes);
        Window window = WindowAfter(detector, 39500);
        EXPECT_GE(window.opens, row.earliestOpen) << row.what;
        EXPECT_LE(window.opens, row.latestOpen) << row.what;
        EXPECT_GE(window.closes, row.earliestClose) << row.what;
        EXPECT_LE(window.closes, row.latestClose) << row.what;
        EXPECT_LE(window.closes - window.opens, 100) << row.what;
    }
}

// Sleeps that end 30 us late: a forwarder sets off that much before its
// window opens.
TEST(ChangeDetectorTest, SetsOffAsEarlyAsSleepsEndLate) {
    ChangeDetector detector(1, slowPoll);
    Feed(detector, Steady(0, 1000, 5, 1));
    for (int sleep = 0; sleep < 5; ++sleep) detector.Woke(origin + us(sleep * 1000), origin + us(sleep * 1000 + 30));
    EXPECT_EQ(detector.NextRead(origin + us(4100)) - origin, us(4965));
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
    EXPECT_EQ(detector.NextRead(origin + us(4500)) - origin, us(4995));
    detector.Lost(0);
    EXPECT_EQ(detector.NextRead(origin + us(4500)) - origin, us(5395));
    detector.Lost(1);
    EXPECT_EQ(detector.NextRead(origin + us(4500)) - origin, us(5500));
}

}  // namespace
