// What one station-map row costs the viewer's idle cycle, beside the least it
// could cost, read under the mutex and through the write sequence, and what
// re-attaching costs while no server runs.
//
// Starts a lumivex-publisher (default motion, 120 writes a second) under a
// private name prefix, and publishes all sixteen channels once under another;
// LUMIVEX_BIN names the directory that holds it (default: this program's own
// directory).
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>
#include <fcntl.h>
#include <pthread.h>
#include <sys/mman.h>
#include <unistd.h>

#include "bench/BenchmarkRun.h"
#include "platform/SharedMemory.h"
#include "tests/tracker/TrackerTestSupport.h"
#include "channel/StationLayout.h"
#include "app/StationMapEntry.h"
#include "channel/StationReader.h"
#include "app/TrackerSettings.h"

namespace {

const std::string publishedPrefix = "lvxbench" + std::to_string(getpid()) + "_";
const std::string fullPrefix = "lvxbench" + std::to_string(getpid()) + "_all_";
const std::string emptyPrefix = "lvxbench" + std::to_string(getpid()) + "_none_";
const std::string readOnlyPrefix = "lvxbench" + std::to_string(getpid()) + "_sequence_";
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
        if (ReadStationPose(client, row.bin, row.station, pose))
            NormalisePosition(pose, row.scale, trackerSettings.originOffset);
        benchmark::DoNotOptimize(pose);
    }
    if (!ReadStationPose(client, row.bin, row.station, pose)) state.SkipWithError("no publisher to read");
}
BENCHMARK_CAPTURE(StationRowRead, TwoChannelsPublished, publishedPrefix);
BENCHMARK_CAPTURE(StationRowRead, AllChannelsPublished, fullPrefix);

// The same row read from a channel this user may not lock: through the write
// sequence, with nobody writing.
void SequenceRowRead(benchmark::State& state) { StationRowRead(state, readOnlyPrefix); }
BENCHMARK(SequenceRowRead);

// A mutex object mapped by hand: the ready word, then the mutex at its alignment.
pthread_mutex_t* MapMutexByHand(const std::string& name, std::size_t& length) {
    length = alignof(pthread_mutex_t) + sizeof(pthread_mutex_t);
    int descriptor = open(testsupport::SharedObjectPath("", platform::SharedObjectName(name.c_str())).c_str(), O_RDWR);
    void* base = descriptor < 0 ? MAP_FAILED : mmap(nullptr, length, PROT_READ | PROT_WRITE, MAP_SHARED, descriptor, 0);
    if (descriptor >= 0) close(descriptor);
    return base == MAP_FAILED ? nullptr
                              : reinterpret_cast<pthread_mutex_t*>(static_cast<char*>(base) + alignof(pthread_mutex_t));
}

// The floor: the same mutex and mapping, with nothing but lock, copy, unlock
// (each lock and unlock with its one check that the object is still there).
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

// Below the floor: the C library's lock and unlock alone, without a check.
void PthreadLockCopyUnlock(benchmark::State& state) {
    UsePrefix(publishedPrefix);
    platform::RegionHandle region = platform::OpenRegion("QuillmontShMem01", platform::ViewAccess::Read);
    platform::RegionView view;
    std::size_t length = 0;
    pthread_mutex_t* mutex = MapMutexByHand("QuillmontMutex01", length);
    if (!platform::MapRegion(region, platform::ViewAccess::Read, view) || !mutex) state.SkipWithError("no publisher");
    float pose[6] = {};
    for (auto _ : state) {
        if (!view.base || !mutex) break;
        pthread_mutex_lock(mutex);
        std::memcpy(pose, view.base + station_layout::RecordOffset(row.station), station_layout::recordSize);
        pthread_mutex_unlock(mutex);
        benchmark::DoNotOptimize(pose);
    }
    if (mutex) munmap(reinterpret_cast<char*>(mutex) - alignof(pthread_mutex_t), length);
    platform::UnmapRegion(view);
    platform::CloseRegion(region);
}
BENCHMARK(PthreadLockCopyUnlock);

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
    if (int status = BenchmarkRun::Start(argc, argv); status >= 0) return status;
    UsePublisherBesideThisProgram(argv[0]);
    BenchChannels channels(fullPrefix, publishedPrefix);
    if (!channels.Publish()) return std::fprintf(stderr, "bench-tracker: the publisher did not run\n"), 1;
    // A mutex object its group may write is not locked: the channel is read
    // through its sequence.
    UsePrefix(readOnlyPrefix);
    SequencedServer readOnly;
    if (!readOnly.Open(row.bin, 0640, 0660, getegid()))
        return std::fprintf(stderr, "bench-tracker: cannot create the channel read through its sequence\n"), 1;
    int status = BenchmarkRun::Finish();
    readOnly.Unlink();
    return status;
}
