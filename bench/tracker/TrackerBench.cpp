// What one station-map row costs the viewer's idle cycle, beside the least it
// could cost, and what re-attaching costs while no server runs.
//
// Starts a lumivex-publisher (default motion, 120 writes a second) under a
// private name prefix, and publishes all sixteen channels once under another;
// LUMIVEX_BIN names the directory that holds it (default: this program's own
// directory).
#include <benchmark/benchmark.h>

#include <csignal>
#include <cstdlib>
#include <cstring>
#include <spawn.h>
#include <string>
#include <vector>
#include <sys/wait.h>
#include <unistd.h>
#include <utility>

#include "platform/SharedMemory.h"
#include "tracker/StationLayout.h"
#include "tracker/StationMapEntry.h"
#include "tracker/StationReader.h"
#include "tracker/TrackerSettings.h"

extern char** environ;

namespace {

const std::string publishedPrefix = "lvxbench" + std::to_string(getpid()) + "_";
const std::string fullPrefix = "lvxbench" + std::to_string(getpid()) + "_all_";
const std::string emptyPrefix = "lvxbench" + std::to_string(getpid()) + "_none_";
const StationMapEntry row{0, 1, 2, 3, true, 100.0f};

void UsePrefix(const std::string& prefix) { setenv("LUMIVEX_SHM_PREFIX", prefix.c_str(), 1); }

std::string PublisherPath(const char* program) {
    const char* directory = std::getenv("LUMIVEX_BIN");
    std::string own(program);
    std::string fallback = own.find('/') == std::string::npos ? "." : own.substr(0, own.rfind('/'));
    return (directory ? std::string(directory) : fallback) + "/lumivex-publisher";
}

// Runs the publisher with `arguments`; with `wait`, until it ends.
pid_t StartPublisher(const std::string& path, std::vector<std::string> arguments, bool wait) {
    arguments.insert(arguments.begin(), path);
    std::vector<char*> argv;
    for (std::string& word : arguments) argv.push_back(word.data());
    argv.push_back(nullptr);
    pid_t pid = -1;
    if (posix_spawn(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0) return -1;
    int status = 0;
    if (wait && (waitpid(pid, &status, 0) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0)) return -1;
    return pid;
}

// One row of the idle cycle: select, attach, lock, copy, convert, unlock, with
// the server publishing two of the sixteen channels (the publisher's default)
// or all of them. Attach looks for the missing ones only when the shared
// objects change, so both should cost the same.
void StationRowRead(benchmark::State& state, const std::string& prefix) {
    UsePrefix(prefix);
    TrackerClient client;
    client.Attach();  // as the start-up report does: a new client can select only its current channel
    float pose[6] = {};
    for (auto _ : state) {
        if (BeginStationRead(client, row.bin)) {
            if (CopyStationRecord(client, row.station, pose)) NormalisePosition(pose, row.scale, trackerSettings.originOffset);
            client.Unlock();
        }
        benchmark::DoNotOptimize(pose);
    }
    if (!ReadStationPose(client, row.bin, row.station, pose)) state.SkipWithError("no publisher to read");
}
BENCHMARK_CAPTURE(StationRowRead, TwoChannelsPublished, publishedPrefix);
BENCHMARK_CAPTURE(StationRowRead, AllChannelsPublished, fullPrefix);

// The floor: the same mutex and mapping, with nothing but lock, copy, unlock.
void BareLockCopyUnlock(benchmark::State& state) {
    UsePrefix(publishedPrefix);
    platform::RegionHandle region = platform::OpenRegion("QuillmontShMem01", platform::ViewAccess::Read);
    platform::RegionView view;
    platform::SharedMutex* mutex = platform::OpenSharedMutex("QuillmontMutex01");
    if (!platform::MapRegion(region, platform::ViewAccess::Read, view) || !mutex) state.SkipWithError("no publisher");
    float pose[6] = {};
    for (auto _ : state) {
        if (!view.base || !mutex) break;
        platform::LockSharedMutex(mutex);
        std::memcpy(pose, view.base + station_layout::RecordOffset(row.station), station_layout::recordSize);
        platform::UnlockSharedMutex(mutex);
        benchmark::DoNotOptimize(pose);
    }
    platform::CloseSharedMutex(mutex);
    platform::UnmapRegion(view);
    platform::CloseRegion(region);
}
BENCHMARK(BareLockCopyUnlock);

// Every idle-cycle row pays this while the server is down; without a watch on
// the shared objects, sixteen failed opens.
void AttachWithoutServer(benchmark::State& state) {
    UsePrefix(emptyPrefix);
    TrackerClient client;
    for (auto _ : state) benchmark::DoNotOptimize(client.Attach());
}
BENCHMARK(AttachWithoutServer);

const char* const allBins = "0,1,2,3,4,5,6,7,8,9,10,11,12,13,14,15";

// The objects the benchmarks read: set up before the run, removed after it.
class BenchChannels {
public:
    explicit BenchChannels(std::string publisherPath) : publisher(std::move(publisherPath)) {}

    bool Publish() {
        UsePrefix(fullPrefix);
        if (StartPublisher(publisher, {"--once", "--bins", allBins}, true) < 0) return false;
        UsePrefix(publishedPrefix);
        if (StartPublisher(publisher, {"--once"}, true) < 0) return false;
        running = StartPublisher(publisher, {}, false);
        return running > 0;
    }

    ~BenchChannels() {
        if (running > 0 && kill(running, SIGTERM) == 0) waitpid(running, nullptr, 0);
        UsePrefix(fullPrefix);
        StartPublisher(publisher, {"--unlink", "--bins", allBins}, true);
        UsePrefix(publishedPrefix);
        StartPublisher(publisher, {"--unlink"}, true);
    }

private:
    std::string publisher;
    pid_t running = -1;
};

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    BenchChannels channels(PublisherPath(argv[0]));
    if (!channels.Publish()) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
