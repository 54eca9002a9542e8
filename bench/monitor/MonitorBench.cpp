// What lumivex-monitor pays per station read, beside what the viewer pays for
// one station-map row. The monitor copies whole channels (header, all records,
// description) and compares the selected stations; the viewer copies one
// record. Items per second are station reads.
//
// Starts a lumivex-publisher (120 writes a second, bins 0 and 1) under a
// private name prefix, and publishes all sixteen bins once under another, so
// that both cases show what unpublished channels cost a read. LUMIVEX_BIN names the directory that holds the
// publisher (default: this program's own directory).
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>
#include <vector>

#include "bench/BenchmarkRun.h"
#include "tests/tracker/TrackerTestSupport.h"
#include "channel/ChannelMonitor.h"
#include "channel/StationReader.h"
#include "app/TrackerSettings.h"

namespace {

const std::string twoBinsPrefix = "lvxbenchmon" + std::to_string(getpid()) + "_";
const std::string allBinsPrefix = "lvxbenchmon" + std::to_string(getpid()) + "_all_";

// One station-map row of the viewer's idle cycle: select, attach, lock, copy
// one record, normalise, unlock.
void ViewerStationRead(benchmark::State& state, const std::string& prefix) {
    UsePrefix(prefix);
    TrackerClient client;
    client.Attach();
    float pose[6] = {};
    for (auto _ : state) {
        if (!ReadStationPose(client, 1, 2, pose)) state.SkipWithError("nothing published");
        NormalisePosition(pose, 100.0f, trackerSettings.originOffset);
        benchmark::DoNotOptimize(pose);
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK_CAPTURE(ViewerStationRead, TwoBinsPublished, twoBinsPrefix);
BENCHMARK_CAPTURE(ViewerStationRead, AllBinsPublished, allBinsPrefix);

// One poll of the monitor over `bins` with `stations` selected in each.
void MonitorPoll(benchmark::State& state, const std::string& prefix, uint32_t bins, uint32_t stations) {
    UsePrefix(prefix);
    ChannelMonitor monitor(0, bins, stations);
    std::vector<MonitorEvent> events;
    for (auto _ : state) {
        events.clear();
        monitor.Poll(MonitorClock::now(), events);
        benchmark::DoNotOptimize(events.data());
    }
    if (!monitor.AnyPublished()) state.SkipWithError("nothing published");
    std::size_t reads = 0;
    for (const ChannelWatch& channel : monitor.Channels()) reads += channel.stations.size();
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(reads));
}
BENCHMARK_CAPTURE(MonitorPoll, TwoBinsPublishedTwoBinsFourStations, twoBinsPrefix, 0x3u, 0xFu);
BENCHMARK_CAPTURE(MonitorPoll, TwoBinsPublishedTwoBinsAllStations, twoBinsPrefix, 0x3u, 0xFFFFFFFFu);
BENCHMARK_CAPTURE(MonitorPoll, AllBinsPublishedTwoBinsFourStations, allBinsPrefix, 0x3u, 0xFu);

}  // namespace

int main(int argc, char** argv) {
    if (int status = BenchmarkRun::Start(argc, argv); status >= 0) return status;
    UsePublisherBesideThisProgram(argv[0]);
    BenchChannels channels(allBinsPrefix, twoBinsPrefix);
    if (!channels.Publish()) return std::fprintf(stderr, "bench-monitor: the publisher did not run\n"), 1;
    return BenchmarkRun::Finish();
}
