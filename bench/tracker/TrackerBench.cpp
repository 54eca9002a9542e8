// What one station-map row costs the viewer's idle cycle, beside the least it
// could cost, and what re-attaching costs while no server runs.
//
// Starts a lumivex-publisher (default motion, 120 writes a second) under a
// private name prefix, and publishes all sixteen channels once under another;
// LUMIVEX_BIN names the directory that holds it (default: this program's own
// directory).
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>
#include <unistd.h>

#include "platform/SharedMemory.h"
#include "tests/tracker/TrackerTestSupport.h"
#include "tracker/StationLayout.h"
#include "tracker/StationMapEntry.h"
#include "tracker/StationReader.h"
#include "tracker/TrackerSettings.h"

namespace {

const std::string publishedPrefix = "lvxbench" + std::to_string(getpid()) + "_";
const std::string fullPrefix = "lvxbench" + std::to_string(getpid()) + "_all_";
const std::string emptyPrefix = "lvxbench" + std::to_string(getpid()) + "_none_";
const StationMapEntry row{0, 1, 2, 3, true, 100.0f};

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

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    UsePublisherBesideThisProgram(argv[0]);
    BenchChannels channels(fullPrefix, publishedPrefix);
    if (!channels.Publish()) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
