// A reader copying every station of two bins while a publisher rewrites them
// as fast as it can: no copy may mix two writes. Runs a few seconds;
// LUMIVEX_SOAK_SECONDS makes it longer.
#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "tests/tracker/TrackerTestSupport.h"
#include "tracker/ChannelState.h"
#include "tracker/StationReader.h"

namespace {

using SoakTest = SharedMemoryTest;

double SoakSeconds() {
    const char* text = std::getenv("LUMIVEX_SOAK_SECONDS");
    double seconds = text ? std::atof(text) : 0.0;
    return seconds > 0.0 ? seconds : 3.0;
}

bool Torn(const float* pose, float expected) {
    for (int i = 0; i < 6; ++i)
        if (pose[i] != expected) return true;
    return false;
}

struct Tally {
    long copies = 0, torn = 0, failed = 0;
    float highest = 0.0f;

    void Count(const float* pose, float expected) {
        ++copies;
        torn += Torn(pose, expected);
        if (pose[0] > highest) highest = pose[0];
    }
};

// Both ways a reader copies: one record under the lock (the stations in
// turn), and a whole channel (header and all 32 records) under one lock,
// whose records must all carry the write count of the header.
void ReadBothWays(TrackerClient& client, int bin, int station, Tally& tally) {
    float pose[6] = {};
    if (ReadStationPose(client, bin, station, pose))
        tally.Count(pose, pose[0]);
    else
        ++tally.failed;
    ChannelState state;
    if (!ReadChannelState(client, bin, state)) {
        ++tally.failed;
        return;
    }
    float written = static_cast<float>(state.writeCount % (1u << 24));
    for (const StationRecord& record : state.records) tally.Count(&record.x, written);
}

TEST_F(SoakTest, CounterPublisherAtFullSpeedNeverYieldsATornRecord) {
    ASSERT_EQ(Publisher::Run({"--bins", "0,1", "--motion", "counter", "--once"}), 0);
    Publisher publisher({"--bins", "0,1", "--motion", "counter", "--rate", "0"});
    TrackerClient client;
    Tally tally;
    auto start = std::chrono::steady_clock::now();
    auto end = start + std::chrono::duration<double>(SoakSeconds());
    for (int round = 0; std::chrono::steady_clock::now() < end; ++round)
        for (int bin = 0; bin < 2; ++bin) ReadBothWays(client, bin, round % station_layout::stationCount, tally);
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("soak: %ld copies (%.0f a second), %ld torn, %ld failed reads, publisher reached write %.0f\n",
                tally.copies, tally.copies / seconds, tally.torn, tally.failed, tally.highest);
    EXPECT_EQ(tally.torn, 0);
    // A wait is bounded, so a read fails when the writer was preempted
    // holding the mutex; on a busy machine that happens, but rarely.
    EXPECT_LT(tally.failed * 100, tally.copies);
    EXPECT_GT(tally.copies, 0);
    EXPECT_GT(tally.highest, 1.0f) << "the publisher never wrote while the reader was reading";
}

}  // namespace
