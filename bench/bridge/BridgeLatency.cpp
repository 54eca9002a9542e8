// One-way latency of the bridge on one machine: a write into a channel under
// one shared-memory prefix until the same write is readable under another,
// with lumivex-bridge send and receive in between, at 120 Hz, 500 Hz and
// 1 kHz with all 32 stations changing, and the sender's CPU over each rate's
// run (from /proc). Beside it, DDS's bare round trip measured by
// ddsperf ping/pong in the same run with a sample of about the same size.
//
//   bench-bridge [--rig] [WRITES] [POLL-US...]   (default 2000 writes, poll 100 and 0)
//
// With --rig it measures each bridge run and ddsperf twice: plain, and as
// members of a secure rig made for the run with lumivex-bridge's rig commands
// (ddsperf with the security configuration of one of its member folders).
// It ends with each one-way median over the round trip median of the same
// mode and rate. The one-way time includes the sender's poll delay (reading
// the channel), its encoding and DDS write, DDS's delivery, the receiver's
// decoding and channel write, and this program's spinning read of the mirror;
// start and end are read from one steady clock in this process.
//
// Everything runs over loopback in DDS domain 230 unless CYCLONEDDS_URI and
// LUMIVEX_BENCH_DOMAIN say otherwise. LUMIVEX_BIN names the directory that
// holds lumivex-bridge (default: this program's own directory).
#include <sched.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "bench/BenchArguments.h"
#include "bench/bridge/BridgeBench.h"
#include "bridge/SecuritySettings.h"
#include "bridge/SourceClient.h"
#include "platform/SharedMemory.h"
#include "server/ChannelWriter.h"
#include "tests/support/OutputFile.h"
#include "channel/StationReader.h"

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
    std::size_t timed = 0;  // none: nothing arrived, and there is no figure to print
};

std::string Setting(const char* name, const char* fallback) {
    const char* value = std::getenv(name);
    return value && *value ? value : fallback;
}

// A secure run's rig: its folder, "" for plain runs.
std::string rigFolder;

std::vector<std::string> Environment(const std::string& prefix, const std::string& extraConfig = "") {
    return ChildEnvironment(
        {"LUMIVEX_SHM_PREFIX=" + prefix, "CYCLONEDDS_URI=" + Setting("CYCLONEDDS_URI", loopbackOnly) + extraConfig});
}

void Use(const std::string& prefix) { setenv("LUMIVEX_SHM_PREFIX", prefix.c_str(), 1); }

Percentiles Summarise(std::vector<double> micros, int lostCount) {
    Percentiles result;
    result.lost = lostCount;
    result.timed = micros.size();
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
        // The writer checks its own objects by name now and then, and the
        // mirror is read by name: each under its own prefix.
        Use(sourcePrefix);
        source.Publish(state);
        Use(mirrorPrefix);
        double latency = WaitForWrite(mirror, count, start);
        if (latency < 0)
            ++lostCount;
        else
            micros.push_back(latency);
        next = std::max(next, Clock::now() - period);
    }
    return Summarise(micros, lostCount);
}

// ddsperf takes its security from its configuration, not from properties.
std::string DdsperfSecurity(const std::string& member) {
    if (member.empty()) return "";
    SecuritySettings security;
    std::string error;
    if (!security.Load(member, error)) std::fprintf(stderr, "%s\n", error.c_str());
    return security.ConfigXml();
}

// As many pings as the bridge gets writes at the same rate: ddsperf reports
// one line a second, so it runs a second longer than that (the first second
// warms up, as the bridge's first writes do) and the last seconds count.
Percentiles MeasureDdsperf(const std::string& domain, int rate, int writes, const std::string& member) {
    int seconds = std::max(1, writes / rate);
    OutputFile pongOutput, pingOutput;
    ChildProcess pong, ping;
    std::vector<std::string> environment = Environment("", DdsperfSecurity(member));
    pong.Start({{"ddsperf", "-i", domain, "-D", std::to_string(seconds + 5), "pong"}, environment, pongOutput.Path()});
    ping.Start({{"ddsperf", "-i", domain, "-D", std::to_string(seconds + 1), "ping", std::to_string(rate) + "Hz",
                 "size", "800"},
                environment,
                pingOutput.Path()});
    int status = 0;
    ping.WaitExit(Milliseconds(1000 * (seconds + 8)), status);
    std::vector<double> p50s, p99s;
    std::istringstream lines(pingOutput.Text());
    for (std::string line; std::getline(lines, line);)
        if (DdsperfField(line, "50%") >= 0)
            p50s.push_back(DdsperfField(line, "50%")), p99s.push_back(DdsperfField(line, "99%"));
    size_t skip = p50s.size() > static_cast<size_t>(seconds) ? p50s.size() - seconds : 0;
    p50s.erase(p50s.begin(), p50s.begin() + skip);
    p99s.erase(p99s.begin(), p99s.begin() + skip);
    Percentiles result = Summarise(p50s, 0);  // the median second's p50
    result.p99 = Summarise(p99s, 0).p50;      // and the median second's p99
    if (result.timed == 0) std::fprintf(stderr, "no ddsperf figures:\n%s\n", pingOutput.Text().c_str());
    return result;
}

struct Bridge {
    ChildProcess sender, receiver;
};

bool StartBridge(Bridge& bridge, const std::string& domain, const std::string& pollMicros, bool secure) {
    std::string program = ProgramPath("lumivex-bridge");
    std::vector<std::string> send{program, "send", "--bins", "0", "--domain", domain, "--poll-us", pollMicros};
    std::vector<std::string> receive{program, "receive", "--bins", "0", "--domain", domain};
    if (secure) {
        send.insert(send.end(), {"--rig", rigFolder + "/sender"});
        receive.insert(receive.end(), {"--rig", rigFolder + "/viewer"});
    }
    return bridge.sender.Start({send, Environment(sourcePrefix), ""}) &&
           bridge.receiver.Start({receive, Environment(mirrorPrefix), ""});
}

// Every p50 printed, by what and rate, for the ratios at the end.
std::map<std::string, double> printedMedians;

// `cpu`: the share of a core the sender used, negative when not measured.
void Print(const char* what, const std::string& rate, const Percentiles& figures, double cpu = -1) {
    printedMedians[std::string(what) + " " + rate] = figures.p50;
    std::printf("%-36s %6s   p50 %8.1f us   p99 %8.1f us   lost %d", what, rate.c_str(), figures.p50, figures.p99,
                figures.lost);
    if (cpu >= 0) std::printf("   sender CPU %5.2f %% of a core", 100 * cpu);
    std::printf("\n");
    std::fflush(stdout);
}

const int rates[] = {120, 500, 1000};

std::string OneWay(bool secure, const std::string& pollMicros) {
    return std::string(secure ? "secure" : "plain") + " bridge one-way, poll " + pollMicros + " us";
}

std::string RoundTrip(bool secure) { return secure ? "secure ddsperf round trip" : "plain ddsperf round trip"; }

// The goal in one figure: a one-way median over the round trip median of the
// same mode, rate and run.
void PrintRatios(const std::vector<std::string>& polls, const std::vector<bool>& modes) {
    for (const std::string& poll : polls)
        for (bool secure : modes)
            for (const char* rate : {" 120Hz", " 500Hz", " 1000Hz"}) {
                double trip = printedMedians[RoundTrip(secure) + rate];
                std::printf("%-36s %6s   one-way / round trip %5.2f\n", OneWay(secure, poll).c_str(), rate + 1,
                            trip > 0 ? printedMedians[OneWay(secure, poll) + rate] / trip : 0.0);
            }
}

// False, with a message, when the bridge does not start or a rate's writes all go missing.
bool MeasureThroughBridge(ChannelWriter& source, const std::string& domain, const std::string& pollMicros, int writes,
                          bool secure) {
    CoreSplit cores;
    Bridge bridge;
    if (!StartBridge(bridge, domain, pollMicros, secure))
        return std::fprintf(stderr, "cannot start lumivex-bridge\n"), false;
    cores.TakeLastCore();
    Use(mirrorPrefix);
    SourceClient mirror(0, 1u);  // bin 0 only: no failed opens of absent bins while spinning
    for (auto give = Clock::now() + std::chrono::seconds(10); !mirror.Attach() && Clock::now() < give;)
        std::this_thread::sleep_for(Milliseconds(10));
    if (!mirror.Attach()) return std::fprintf(stderr, "lumivex-bridge receive made no mirror\n"), false;
    uint32_t count = 0;
    MeasureBridge(source, mirror, count, 500, 200);  // warm-up
    std::string what = OneWay(secure, pollMicros);
    for (int rate : rates) {
        double cpuBefore = bridge.sender.CpuSeconds();
        Clock::time_point start = Clock::now();
        Percentiles figures = MeasureBridge(source, mirror, count, rate, writes);
        double seconds = std::chrono::duration<double>(Clock::now() - start).count();
        if (figures.timed == 0)
            return std::fprintf(stderr, "%s: no write reached the mirror at %d Hz\n", what.c_str(), rate), false;
        Print(what.c_str(), std::to_string(rate) + "Hz", figures, (bridge.sender.CpuSeconds() - cpuBefore) / seconds);
    }
    return true;
}

// The channel under both prefixes is removed however the run ends.
bool RunBridge(const std::string& domain, const std::string& pollMicros, int writes, bool secure) {
    Use(sourcePrefix);
    ChannelWriter source(0, 0);
    bool measured = source.Open(0600, ChannelState{});
    if (measured)
        measured = MeasureThroughBridge(source, domain, pollMicros, writes, secure);
    else
        std::fprintf(stderr, "cannot create the source channel\n");
    for (const std::string& prefix : {sourcePrefix, mirrorPrefix}) {
        Use(prefix);
        source.Unlink();
    }
    return measured;
}

// Every run stops at the first part that measures nothing: a figure of a
// part that failed would read as a result.
bool MeasureAll(const std::vector<std::string>& polls, const std::vector<bool>& modes, int writes) {
    std::string domain = Setting("LUMIVEX_BENCH_DOMAIN", "230");
    for (const std::string& poll : polls)
        for (bool secure : modes)
            if (!RunBridge(domain, poll, writes, secure)) return false;
    for (bool secure : modes)
        for (int rate : rates) {
            Percentiles trip = MeasureDdsperf(domain, rate, writes, secure ? rigFolder + "/viewer" : "");
            if (trip.timed == 0) return false;
            Print(RoundTrip(secure).c_str(), std::to_string(rate) + "Hz", trip);
        }
    PrintRatios(polls, modes);
    return true;
}

const char* const usage =
    "usage: bench-bridge [--rig] [WRITES] [POLL-US...]\n"
    "  the bridge's one-way latency at 120, 500 and 1000 Hz beside ddsperf's round trip;\n"
    "  WRITES per rate (default 2000), the sender's poll in microseconds (default 100 and 0);\n"
    "  --rig: each run plain and in a secure rig made for it\n";

}  // namespace

int main(int argc, char** argv) {
    using Kind = BenchOperand::Kind;
    BenchArguments arguments(usage, {"--rig"}, {{"WRITES", Kind::Whole, 1}, {"POLL-US", Kind::Whole, 0}}, true);
    if (int status = arguments.Parse(argc, argv); status >= 0) return status;
    if (!std::getenv("LUMIVEX_BIN"))
        setenv("LUMIVEX_BIN", std::filesystem::read_symlink("/proc/self/exe").parent_path().c_str(), 1);
    bool rig = arguments.Has("--rig");
    if (rig && (rigFolder = MakeBenchRig("lvxbenchrig")).empty())
        return std::fprintf(stderr, "cannot make the rig\n"), 1;
    std::vector<std::string> polls = arguments.OperandsFrom(1);
    if (polls.empty()) polls = {"100", "0"};
    std::vector<bool> modes = rig ? std::vector<bool>{false, true} : std::vector<bool>{false};
    bool measured = MeasureAll(polls, modes, static_cast<int>(arguments.Number(0, 2000)));
    if (rig) std::filesystem::remove_all(std::filesystem::path(rigFolder).parent_path());
    return measured ? 0 : 1;
}
