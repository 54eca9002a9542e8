// What lumivex-monitor pays per station read, beside what the viewer pays for
// one station-map row. The monitor copies whole channels (header, all records,
// description) and compares the selected stations; the viewer copies one
// record. Items per second are station reads.
//
// Starts a lumivex-publisher (120 writes a second, bins 0 and 1) under a
// private name prefix, and publishes all sixteen bins once under another:
// every read re-attaches the channels that are not published, which costs
// more than the copy. LUMIVEX_BIN names the directory that holds the
// publisher (default: this program's own directory).
#include <benchmark/benchmark.h>

#include <csignal>
#include <cstdlib>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "tools/monitor/ChannelMonitor.h"
#include "tracker/StationReader.h"
#include "tracker/TrackerSettings.h"

extern char** environ;

namespace {

const std::string twoBinsPrefix = "lvxbenchmon" + std::to_string(getpid()) + "_";
const std::string allBinsPrefix = "lvxbenchmon" + std::to_string(getpid()) + "_all_";
const char* const allBins = "0,1,2,3,4,5,6,7,8,9,10,11,12,13,14,15";

void UsePrefix(const std::string& prefix) { setenv("LUMIVEX_SHM_PREFIX", prefix.c_str(), 1); }

std::string PublisherPath(const char* program) {
    const char* directory = std::getenv("LUMIVEX_BIN");
    std::string own(program);
    std::string fallback = own.find('/') == std::string::npos ? "." : own.substr(0, own.rfind('/'));
    return (directory ? std::string(directory) : fallback) + "/lumivex-publisher";
}

pid_t Start(std::vector<std::string> arguments) {
    std::vector<char*> argv;
    for (std::string& word : arguments) argv.push_back(word.data());
    argv.push_back(nullptr);
    pid_t pid = -1;
    return posix_spawn(&pid, argv[0], nullptr, nullptr, argv.data(), environ) == 0 ? pid : -1;
}

int Finish(pid_t pid) {
    int status = 0;
    return pid > 0 && waitpid(pid, &status, 0) == pid && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

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
    benchmark::Initialize(&argc, argv);
    std::string publisher = PublisherPath(argv[0]);
    UsePrefix(allBinsPrefix);
    bool published = Finish(Start({publisher, "--once", "--bins", allBins})) == 0;
    UsePrefix(twoBinsPrefix);
    published = published && Finish(Start({publisher, "--once"})) == 0;
    pid_t running = published ? Start({publisher}) : -1;
    if (running > 0) benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    if (running > 0 && kill(running, SIGTERM) == 0) Finish(running);
    UsePrefix(twoBinsPrefix);
    bool removed = Finish(Start({publisher, "--unlink"})) == 0;
    UsePrefix(allBinsPrefix);
    removed = Finish(Start({publisher, "--unlink", "--bins", allBins})) == 0 && removed;
    return running > 0 && removed ? 0 : 1;
}
