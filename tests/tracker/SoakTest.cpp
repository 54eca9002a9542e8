// A reader copying every station of two bins while a publisher rewrites them
// as fast as it can: no copy may mix two writes. Runs a few seconds;
// LUMIVEX_SOAK_SECONDS makes it longer.
#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "tests/tracker/TrackerTestSupport.h"
#include "tracker/StationReader.h"

namespace {

using SoakTest = SharedMemoryTest;

double SoakSeconds() {
    const char* text = std::getenv("LUMIVEX_SOAK_SECONDS");
    double seconds = text ? std::atof(text) : 0.0;
    return seconds > 0.0 ? seconds : 3.0;
}

bool Torn(const float (&pose)[6]) {
    for (float value : pose)
        if (value != pose[0]) return true;
    return false;
}

TEST_F(SoakTest, CounterPublisherAtFullSpeedNeverYieldsATornRecord) {
    ASSERT_EQ(Publisher::Run({"--bins", "0,1", "--motion", "counter", "--once"}), 0);
    Publisher publisher({"--bins", "0,1", "--motion", "counter", "--rate", "0"});
    TrackerClient client;
    long copies = 0, torn = 0, failed = 0;
    float highest = 0.0f;
    auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(SoakSeconds());
    while (std::chrono::steady_clock::now() < end) {
        for (int bin = 0; bin < 2; ++bin) {
            for (int station = 0; station < 32; ++station) {
                float pose[6] = {};
                if (!ReadStationPose(client, bin, station, pose)) {
                    ++failed;
                    continue;
                }
                ++copies;
                torn += Torn(pose);
                if (pose[0] > highest) highest = pose[0];
            }
        }
    }
    std::printf("soak: %ld copies, %ld torn, %ld failed reads, publisher reached write %.0f\n", copies, torn, failed,
                highest);
    EXPECT_EQ(torn, 0);
    EXPECT_EQ(failed, 0);
    EXPECT_GT(copies, 0);
    EXPECT_GT(highest, 1.0f) << "the publisher never wrote while the reader was reading";
}

}  // namespace
