// One-way latency of the bridge on one machine: a write into a channel under
// one shared-memory prefix until the same write is readable under another,
// with lumivex-bridge send and receive in between, at 500 Hz and 1 kHz with
// all 32 stations changing. Beside it, DDS's bare round trip measured by
// ddsperf ping/pong in the same run with a sample of about the same size.
//
//   bench-bridge [WRITES] [POLL-US...]     (default 2000 writes, poll 100 and 0)
//
// Everything runs over loopback in DDS domain 230 unless CYCLONEDDS_URI and
// LUMIVEX_BENCH_DOMAIN say otherwise. LUMIVEX_BIN names the directory that
// holds lumivex-bridge (default: this program's own directory).
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "bridge/SourceClient.h"
#include "platform/SharedMemory.h"
#include "server/ChannelWriter.h"
#include "tests/support/OutputFile.h"
#include "tracker/StationReader.h"

namespace {

using namespace testsupport;
using Clock = std::chrono::steady_clock;

const char* const loopbackOnly =
    "<General><Interfaces><NetworkInterface name=\"lo\"/></Interfaces><AllowMulticast>false</AllowMulticast>"
    "</General><Discovery><ParticipantIndex>auto</ParticipantIndex><MaxAutoParticipantIndex>30"
    "</MaxAutoParticipantIndex><Peers><Peer address=\"127.0.0.1\"/></Peers></Discovery>";
const std::string sourcePrefix = "lvxbenchbridge" + std::to_string(getpid()) + "_A_";
const std::string mirrorPrefix = "lvxbenchbridge" + std::to_string(getpid()) + "_B_";
const Milliseconds lost(200);

struct Percentiles {
    double p50 = 0, p99 = 0;
    int lost = 0;
};

std::string Setting(const char* name, const char* fallback) {
    const char* value = std::getenv(name);
    return value && *value ? value : fallback;
}

std::vector<std::string> Environment(const std::string& prefix) {
    return ChildEnvironment(
        {"LUMIVEX_SHM_PREFIX=" + prefix, "CYCLONEDDS_URI=" + Setting("CYCLONEDDS_URI", loopbackOnly)});
}

void Use(const std::string& prefix) { setenv("LUMIVEX_SHM_PREFIX", prefix.c_str(), 1); }

Percentiles Summarise(std::vector<double> micros, int lostCount) {
    Percentiles result;
    result.lost = lostCount;
    if (micros.empty()) return result;
    std::sort(micros.begin(), micros.end());
    result.p50 = micros[micros.size() / 2];
    result.p99 = micros[std::min(micros.size() - 1, micros.size() * 99 / 100)];
    return result;
}

// Spins on the mirror until it holds write `count`; microseconds since `start`, or -1.
double WaitForWrite(TrackerClient& mirror, uint32_t count, Clock::time_point start) {
    ChannelState seen;
    while (Clock::now() - start < lost) {
        if (ReadChannelState(mirror, 0, seen) && seen.writeCount == count)
            return std::chrono::duration<double, std::micro>(Clock::now() - start).count();
        std::this_thread::yield();
    }
    return -1;
}

void Change(ChannelState& state, uint32_t count) {
    state.writeCount = count;
    for (StationRecord& record : state.records) record.x = record.y = static_cast<float>(count);
}

Percentiles MeasureBridge(ChannelWriter& source, TrackerClient& mirror, uint32_t& count, double rate, int writes) {
    ChannelState state;
    state.flags = 0x21F;
    state.description = "Bridge benchmark";
    std::vector<double> micros;
    int lostCount = 0;
    auto period = std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(1.0 / rate));
    for (Clock::time_point next = Clock::now(); writes-- > 0; std::this_thread::sleep_until(next += period)) {
        Change(state, ++count);
        Clock::time_point start = Clock::now();
        state.timestampMicros = static_cast<uint32_t>(start.time_since_epoch().count() / 1000);
        source.Publish(state);
        double latency = WaitForWrite(mirror, count, start);
        if (latency < 0) ++lostCount;
        else micros.push_back(latency);
        next = std::max(next, Clock::now() - period);
    }
    return Summarise(micros, lostCount);
}

// ddsperf prints one line a second: "... size 800 mean ...us min ...us 50% Xus 90% ...us 99% Yus ...".
double Field(const std::string& line, const std::string& name) {
    size_t at = line.find(" " + name + " ");
    return at == std::string::npos ? -1 : std::atof(line.c_str() + at + name.size() + 2);
}

Percentiles MeasureDdsperf(const std::string& domain, const std::string& rate) {
    OutputFile pongOutput, pingOutput;
    ChildProcess pong, ping;
    pong.Start({{"ddsperf", "-i", domain, "-D", "12", "pong"}, Environment(""), pongOutput.Path()});
    ping.Start({{"ddsperf", "-i", domain, "-D", "8", "ping", rate, "size", "800"}, Environment(""), pingOutput.Path()});
    int status = 0;
    ping.WaitExit(Milliseconds(15000), status);
    std::vector<double> p50s, p99s;
    std::istringstream lines(pingOutput.Text());
    for (std::string line; std::getline(lines, line);)
        if (Field(line, "50%") >= 0) p50s.push_back(Field(line, "50%")), p99s.push_back(Field(line, "99%"));
    Percentiles result = Summarise(p50s, 0);  // the median second's p50
    result.p99 = Summarise(p99s, 0).p50;      // and the median second's p99
    return result;
}

struct Bridge {
    ChildProcess sender, receiver;
};

bool StartBridge(Bridge& bridge, const std::string& domain, const std::string& pollMicros) {
    std::string program = ProgramPath("lumivex-bridge");
    return bridge.sender.Start({{program, "send", "--bins", "0", "--domain", domain, "--poll-us", pollMicros},
                                Environment(sourcePrefix), ""}) &&
           bridge.receiver.Start({{program, "receive", "--domain", domain}, Environment(mirrorPrefix), ""});
}

void Print(const char* what, const std::string& rate, const Percentiles& figures) {
    std::printf("%-28s %6s   p50 %8.1f us   p99 %8.1f us   lost %d\n", what, rate.c_str(), figures.p50, figures.p99,
                figures.lost);
    std::fflush(stdout);
}

void MeasureThroughBridge(ChannelWriter& source, const std::string& domain, const std::string& pollMicros, int writes) {
    Bridge bridge;
    if (!StartBridge(bridge, domain, pollMicros)) return (void)std::fprintf(stderr, "cannot start lumivex-bridge\n");
    Use(mirrorPrefix);
    SourceClient mirror(0, 1u);  // bin 0 only: no failed opens of absent bins while spinning
    for (auto give = Clock::now() + std::chrono::seconds(10); !mirror.Attach() && Clock::now() < give;)
        std::this_thread::sleep_for(Milliseconds(10));
    uint32_t count = 0;
    MeasureBridge(source, mirror, count, 500, 200);  // warm-up
    std::string what = "bridge one-way, poll " + pollMicros + " us";
    for (int rate : {500, 1000})
        Print(what.c_str(), std::to_string(rate) + "Hz", MeasureBridge(source, mirror, count, rate, writes));
}

// The channel under both prefixes is removed however the run ends.
void RunBridge(const std::string& domain, const std::string& pollMicros, int writes) {
    Use(sourcePrefix);
    ChannelWriter source(0, 0);
    if (source.Open(0600, ChannelState{})) MeasureThroughBridge(source, domain, pollMicros, writes);
    else std::fprintf(stderr, "cannot create the source channel\n");
    for (const std::string& prefix : {sourcePrefix, mirrorPrefix}) {
        Use(prefix);
        source.Unlink();
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (!std::getenv("LUMIVEX_BIN"))
        setenv("LUMIVEX_BIN", std::filesystem::read_symlink("/proc/self/exe").parent_path().c_str(), 1);
    int writes = argc > 1 ? std::atoi(argv[1]) : 2000;
    std::vector<std::string> polls(argv + std::min(argc, 2), argv + argc);
    if (polls.empty()) polls = {"100", "0"};
    std::string domain = Setting("LUMIVEX_BENCH_DOMAIN", "230");
    for (const std::string& poll : polls) RunBridge(domain, poll, writes);
    for (const char* rate : {"500Hz", "1kHz"})
        Print("ddsperf ping/pong round trip", rate, MeasureDdsperf(domain, rate));
    return 0;
}
