// A reader copying every station of two bins while a publisher rewrites them
// as fast as it can: no copy may mix two writes, whether the reader locks the
// mutex or, as a member of the channels' group, reads through the write
// sequence. Runs a few seconds each; LUMIVEX_SOAK_SECONDS makes it longer.
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <set>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

#include "tests/tracker/TrackerTestSupport.h"
#include "channel/ChannelState.h"
#include "channel/StationReader.h"

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

// Reads both bins both ways for the soak's time.
Tally Soak(TrackerClient& client) {
    Tally tally;
    auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(SoakSeconds());
    for (int round = 0; std::chrono::steady_clock::now() < end; ++round)
        for (int bin = 0; bin < 2; ++bin) ReadBothWays(client, bin, round % station_layout::stationCount, tally);
    return tally;
}

// This process's mappings of the test's objects, a line of /proc/self/maps each.
std::set<std::string> MappingsOf(const std::string& prefix) {
    std::set<std::string> found;
    std::ifstream maps("/proc/self/maps");
    for (std::string line; std::getline(maps, line);)
        if (line.find(prefix) != std::string::npos) found.insert(line);
    return found;
}

// Whether, of the mappings made since `before` (those inherited from the
// server's process are not the watcher's), none is of a mutex object and
// none is writable.
bool MappedOnlyRegionsReadOnly(const std::string& prefix, const std::set<std::string>& before) {
    for (const std::string& line : MappingsOf(prefix)) {
        if (before.count(line)) continue;
        if (line.find("Mutex") != std::string::npos || line.substr(line.find(' ') + 1, 4) != "r--s") return false;
    }
    return true;
}

// The watcher runs as another user in the channels' group (region 0640,
// mutex object 0600), while a server of root's writes flat out.
TEST_F(SoakTest, AGroupMemberReadsThroughTheWriteSequenceWithoutATornRecord) {
    if (geteuid() != 0) GTEST_SKIP() << "watching as another user needs root";
    SequencedServer servers[2];
    for (int bin = 0; bin < 2; ++bin) ASSERT_TRUE(servers[bin].Open(bin, 0640, 0600, otherGroup));
    pid_t writer = fork();
    if (writer == 0)
        for (uint32_t count = 1;; ++count)
            for (SequencedServer& server : servers) server.Write(count);
    int channel[2];
    ASSERT_EQ(pipe(channel), 0);
    const std::string mutexPath = Path(MutexName(0, 0));
    pid_t watcher = StartAsOtherUser([&] {
        const std::set<std::string> inherited = MappingsOf(Prefix());
        TrackerClient client;
        Tally tally = Soak(client);
        bool kept = write(channel[1], &tally, sizeof tally) == sizeof tally;
        bool readOnly = client.IsReadOnly(0) && client.IsReadOnly(1) && MappedOnlyRegionsReadOnly(Prefix(), inherited);
        return (kept ? 0 : 1) | (readOnly ? 0 : 2) | (open(mutexPath.c_str(), O_RDONLY) < 0 ? 0 : 4);
    });
    Tally tally;
    bool reported = read(channel[0], &tally, sizeof tally) == sizeof tally;
    EXPECT_EQ(WaitForChild(watcher), 0) << "1: no report, 2: a mutex or a writable mapping, 4: the mutex object opened";
    kill(writer, SIGKILL);
    waitpid(writer, nullptr, 0);
    close(channel[0]);
    close(channel[1]);
    ASSERT_TRUE(reported);
    std::printf("group soak: %ld copies, %ld torn, %ld failed reads, server reached write %.0f\n", tally.copies,
                tally.torn, tally.failed, tally.highest);
    EXPECT_EQ(tally.torn, 0);
    EXPECT_LT(tally.failed * 100, tally.copies);
    EXPECT_GT(tally.highest, 1.0f) << "the server never wrote while the watcher was reading";
}

TEST_F(SoakTest, CounterPublisherAtFullSpeedNeverYieldsATornRecord) {
    ASSERT_EQ(Publisher::Run({"--bins", "0,1", "--motion", "counter", "--once"}), 0);
    Publisher publisher({"--bins", "0,1", "--motion", "counter", "--rate", "0"});
    TrackerClient client;
    auto start = std::chrono::steady_clock::now();
    Tally tally = Soak(client);
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
