// The bridge's Windows sender under Wine against the Linux sender, on one
// machine: lumivex-publisher writes channel (0, 0) at 120 Hz and at 1 kHz,
// lumivex-bridge send publishes it, the Linux lumivex-bridge receive writes
// the mirror under another prefix, and this program spins on the mirror.
// Each write is timed one way from the publisher's own stamp
// (timestampMicros, taken just before it locks the channel) to the moment
// this program first reads it in the mirror. Beside it, in the same run:
// each sender's CPU (its process, from /proc, over the timed writes), Wine's
// wineserver's CPU, and ddsperf's round trip Wine to Linux and Linux to
// Linux with 800-byte samples at the same rates.
//
//   bench-bridge-windows [--rig] [WRITES-AT-1KHZ] [POLL-US]   (default 2000, the sender's default poll)
//
// At 120 Hz it times half as many writes. With --rig both senders, the
// receiver and ddsperf are members of a secure rig made for the run.
//
// Clocks: the Linux publisher stamps with steady_clock, which is
// CLOCK_MONOTONIC; the Windows one with its steady_clock, which Wine serves
// from QueryPerformanceCounter, counted from CLOCK_MONOTONIC_RAW. This
// program reads the same clock as the sender's publisher, in microseconds,
// low 32 bits.
//
// Programs: LUMIVEX_BIN holds the Linux ones (default: this program's
// directory), LUMIVEX_WINDOWS_BIN the Windows ones (default: build-windows/bin
// beside the build directory this program is in), with ddsperf.exe there or
// in ../third-party/bin; WINE names the loader (default /usr/lib/wine/wine64)
// and WINEPREFIX, passed on as it is, the prefix. A prefix of its own keeps
// the wineserver's CPU this run's. Everything runs over loopback in DDS
// domain 229 unless CYCLONEDDS_URI and LUMIVEX_BENCH_DOMAIN say otherwise.
#include <sched.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "bench/BenchArguments.h"
#include "bench/bridge/BridgeBench.h"
#include "bridge/SecuritySettings.h"
#include "bridge/SourceClient.h"
#include "channel/StationReader.h"
#include "server/ChannelWriter.h"
#include "tests/support/OutputFile.h"

namespace {

using namespace testsupport;
using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;

// Interfaces by address: Wine's Cyclone knows no interface called "lo".
const char* const loopbackOnly =
    "<General><Interfaces><NetworkInterface address=\"127.0.0.1\"/></Interfaces><AllowMulticast>false"
    "</AllowMulticast></General><Discovery><ParticipantIndex>auto</ParticipantIndex><MaxAutoParticipantIndex>30"
    "</MaxAutoParticipantIndex><Peers><Peer address=\"127.0.0.1\"/></Peers></Discovery>";
const std::string prefixBase = "lvxbenchwin" + std::to_string(getpid()) + "_";

std::string Setting(const char* name, const std::string& fallback) {
    const char* value = std::getenv(name);
    return value && *value ? value : fallback;
}

std::string rigFolder;  // "" for plain runs
std::string windowsBin, windowsDdsperf, wine;

std::vector<std::string> Environment(const std::string& prefix, const std::string& extraConfig = "") {
    return ChildEnvironment({"LUMIVEX_SHM_PREFIX=" + prefix,
                             "CYCLONEDDS_URI=" + Setting("CYCLONEDDS_URI", loopbackOnly) + extraConfig,
                             "WINEDEBUG=" + Setting("WINEDEBUG", "-all")});
}

void Use(const std::string& prefix) { setenv("LUMIVEX_SHM_PREFIX", prefix.c_str(), 1); }

// A Windows program runs as its loader's process: the id it was started with.
std::vector<std::string> Program(bool windows, const std::string& name) {
    if (windows) return {wine, windowsBin + "/" + name + ".exe"};
    return {ProgramPath(name)};
}

struct Percentiles {
    double p50 = 0, p99 = 0;
    std::size_t count = 0;  // none: nothing was measured, and there is no figure to print
};

Percentiles Summarise(std::vector<double> values) {
    Percentiles result;
    result.count = values.size();
    if (values.empty()) return result;
    std::sort(values.begin(), values.end());
    result.p50 = values[values.size() / 2];
    result.p99 = values[std::min(values.size() - 1, values.size() * 99 / 100)];
    return result;
}

uint32_t NowMicros(clockid_t clock) {
    timespec now{};
    clock_gettime(clock, &now);
    return static_cast<uint32_t>(static_cast<uint64_t>(now.tv_sec) * 1000000u + now.tv_nsec / 1000);
}

// The prefix's wineserver works in a directory named after the prefix's
// device and inode; 0 when none runs.
long Wineserver() {
    struct stat prefix {};
    std::string path = Setting("WINEPREFIX", Setting("HOME", "/") + "/.wine");
    if (stat(path.c_str(), &prefix) != 0) return 0;
    char name[64];
    std::snprintf(name, sizeof name, "/server-%llx-%llx", static_cast<unsigned long long>(prefix.st_dev),
                  static_cast<unsigned long long>(prefix.st_ino));
    std::error_code error;
    for (const fs::directory_entry& entry : fs::directory_iterator("/proc", error)) {
        std::string cwd = fs::read_symlink(entry.path() / "cwd", error).string();
        if (!error && cwd.size() >= std::strlen(name) &&
            cwd.compare(cwd.size() - std::strlen(name), cwd.npos, name) == 0)
            return std::atol(entry.path().filename().c_str());
    }
    return 0;
}

// Shares of a core, negative when not measured.
struct SenderFigures {
    Percentiles oneWay;
    int timed = 0, lost = 0, early = 0;
    double cpu = -1, wineserverCpu = -1;
    double rate = 0;  // writes a second the publisher made while they were timed
};

// Follows the mirror from the first write it shows: `warm` writes pass
// untimed (discovery, first allocations), then `writes` are timed. A write
// counter that the mirror never shows is lost; so are the rest when the
// mirror stops changing for a second.
SenderFigures Follow(TrackerClient& mirror, clockid_t clock, uint32_t warm, uint32_t writes, const ChildProcess& sender,
                     long wineserver) {
    SenderFigures figures;
    std::vector<double> micros;
    ChannelState seen;
    bool any = false, started = false;
    uint32_t last = 0, first = 0, end = 0;
    double cpuBefore = 0, serverBefore = 0;
    Clock::time_point startedAt, changedAt = Clock::now();
    for (;;) {
        bool read = ReadChannelState(mirror, 0, seen);
        uint32_t now = NowMicros(clock);
        if (!read || (any && seen.writeCount == last)) {
            if (Clock::now() - changedAt > std::chrono::seconds(any ? 1 : 10)) break;
            std::this_thread::yield();
            continue;
        }
        changedAt = Clock::now();
        if (!any) {
            any = true;
            first = seen.writeCount + warm;
            end = first + writes;
        } else if (seen.writeCount >= first) {
            if (!started) {
                started = true;
                startedAt = changedAt;
                cpuBefore = sender.CpuSeconds();
                serverBefore = CpuSecondsOf(wineserver);
            }
            figures.lost += static_cast<int>(std::min(seen.writeCount, end) - std::max(last + 1, first));
            if (seen.writeCount < end) {
                auto latency = static_cast<int32_t>(now - seen.timestampMicros);
                figures.early += latency < 0;
                micros.push_back(latency);
            }
        }
        last = seen.writeCount;
        if (started && last + 1 >= end) break;
    }
    if (!started) return figures.lost = static_cast<int>(writes), figures;
    figures.lost += static_cast<int>(end - std::min(end, last + 1));
    double seconds = std::chrono::duration<double>(Clock::now() - startedAt).count();
    figures.cpu = (sender.CpuSeconds() - cpuBefore) / seconds;
    figures.rate = (last - first) / seconds;
    if (wineserver > 0) figures.wineserverCpu = (CpuSecondsOf(wineserver) - serverBefore) / seconds;
    figures.timed = static_cast<int>(micros.size());
    figures.oneWay = Summarise(micros);
    return figures;
}

std::vector<std::string> Bridge(bool windows, const std::string& mode, const std::string& domain,
                                const std::string& member) {
    std::vector<std::string> command = Program(windows, "lumivex-bridge");
    command.insert(command.end(), {mode, "--bins", "0", "--domain", domain});
    if (!rigFolder.empty()) command.insert(command.end(), {"--rig", rigFolder + "/" + member});
    return command;
}

void Unlink(const std::string& prefix) {
    Use(prefix);
    ChannelWriter(0, 0).Unlink();
}

// One sender, one rate: a publisher, the sender and a receiver of their own,
// under prefixes of their own. The publisher's time limit only guards
// against a run that hangs; it is stopped once the writes are timed.
SenderFigures MeasureSender(bool windows, int rate, int writes, const std::string& domain, const std::string& poll) {
    static int run = 0;
    std::string source = prefixBase + std::to_string(++run) + "_A_", mirror = prefixBase + std::to_string(run) + "_B_";
    SenderFigures figures;
    {
        CoreSplit cores;
        OutputFile senderOutput, publisherOutput, receiverOutput;
        ChildProcess receiver, sender, publisher;
        std::vector<std::string> send = Bridge(windows, "send", domain, "sender");
        if (!poll.empty()) send.insert(send.end(), {"--poll-us", poll});
        std::vector<std::string> publish = Program(windows, "lumivex-publisher");
        publish.insert(publish.end(), {"--instrument", "0", "--bins", "0", "--rate", std::to_string(rate), "--duration",
                                       std::to_string(60 + writes / rate)});
        if (!receiver.Start({Bridge(false, "receive", domain, "viewer"), Environment(mirror), receiverOutput.Path()}) ||
            !sender.Start({send, Environment(source), senderOutput.Path()}) ||
            !publisher.Start({publish, Environment(source), publisherOutput.Path()}))
            return std::fprintf(stderr, "cannot start the bridge or the publisher\n"), figures;
        cores.TakeLastCore();
        Use(mirror);
        SourceClient reader(0, 1u);
        for (auto give = Clock::now() + std::chrono::seconds(30); !reader.Attach() && Clock::now() < give;)
            std::this_thread::sleep_for(Milliseconds(10));
        // Wine starts its server with its first program: the publisher's or the sender's.
        long wineserver = windows ? Wineserver() : 0;
        figures = Follow(reader, windows ? CLOCK_MONOTONIC_RAW : CLOCK_MONOTONIC, static_cast<uint32_t>(rate / 2),
                         static_cast<uint32_t>(writes), sender, wineserver);
        if (figures.timed == 0)
            std::fprintf(stderr, "no write timed; sender:\n%s\npublisher:\n%s\nreceiver:\n%s\n",
                         senderOutput.Text().c_str(), publisherOutput.Text().c_str(), receiverOutput.Text().c_str());
    }
    Unlink(mirror);
    if (!windows) Unlink(source);
    return figures;
}

// ddsperf takes its security from its configuration, not from properties.
std::string DdsperfSecurity() {
    if (rigFolder.empty()) return "";
    SecuritySettings security;
    std::string error;
    if (!security.Load(rigFolder + "/viewer", error)) std::fprintf(stderr, "%s\n", error.c_str());
    return security.ConfigXml();
}

// Wine's ddsperf loads the Windows plugins beside it, by name.
std::string ForWindows(const std::string& xml) {
    return std::regex_replace(xml, std::regex("path=\"[^\"]*lib(dds_security_[a-z]+)\\.so[^\"]*\""), "path=\"$1\"");
}

// As many pings as the senders get writes at the rate, the median of the
// per-second medians and 99th percentiles of the last seconds; Wine's
// start takes the first seconds.
Percentiles MeasureDdsperf(bool windowsPing, const std::string& domain, int rate, int writes) {
    int seconds = std::max(1, writes / rate);
    OutputFile pongOutput, pingOutput;
    ChildProcess pong, ping;
    std::string security = DdsperfSecurity();
    std::vector<std::string> environment = Environment("", security);
    std::vector<std::string> command{"ddsperf"};
    if (windowsPing) command = {wine, windowsDdsperf};
    std::vector<std::string> pingEnvironment = windowsPing ? Environment("", ForWindows(security)) : environment;
    command.insert(command.end(), {"-i", domain, "-D", std::to_string(seconds + (windowsPing ? 3 : 1)), "ping",
                                   std::to_string(rate) + "Hz", "size", "800"});
    pong.Start({{"ddsperf", "-i", domain, "-D", std::to_string(seconds + 8), "pong"}, environment, pongOutput.Path()});
    ping.Start({command, pingEnvironment, pingOutput.Path()});
    int status = 0;
    ping.WaitExit(Milliseconds(1000 * (seconds + 15)), status);
    std::vector<double> p50s, p99s;
    std::istringstream lines(pingOutput.Text());
    for (std::string line; std::getline(lines, line);)
        if (DdsperfField(line, "50%") >= 0)
            p50s.push_back(DdsperfField(line, "50%")), p99s.push_back(DdsperfField(line, "99%"));
    size_t skip = p50s.size() > static_cast<size_t>(seconds) ? p50s.size() - seconds : 0;
    p50s.erase(p50s.begin(), p50s.begin() + skip);
    p99s.erase(p99s.begin(), p99s.begin() + skip);
    if (p50s.empty()) std::fprintf(stderr, "no ddsperf figures:\n%s\n", pingOutput.Text().c_str());
    Percentiles result;
    result.p50 = Summarise(p50s).p50;
    result.p99 = Summarise(p99s).p50;
    return result;
}

void Print(const char* what, int rate, const Percentiles& figures) {
    std::printf("%-30s %5d Hz   p50 %8.1f us   p99 %8.1f us\n", what, rate, figures.p50, figures.p99);
}

void Print(const char* what, int rate, const SenderFigures& figures) {
    std::printf("%-30s %5d Hz   p50 %8.1f us   p99 %8.1f us   timed %d lost %d", what, rate, figures.oneWay.p50,
                figures.oneWay.p99, figures.timed, figures.lost);
    if (figures.early > 0) std::printf("   %d before their stamp", figures.early);
    std::printf("   %.0f writes/s   sender CPU %5.2f %%", figures.rate, 100 * figures.cpu);
    if (figures.wineserverCpu >= 0) std::printf("   wineserver CPU %5.2f %%", 100 * figures.wineserverCpu);
    std::printf("\n");
}

// One rate: each sender and each ddsperf round trip; false, with a message,
// at the first that measured nothing, whose figure would read as a result.
bool MeasureRate(int rate, int count, const std::string& domain, const std::string& poll) {
    SenderFigures windowsSender = MeasureSender(true, rate, count, domain, poll);
    if (windowsSender.timed == 0) return false;
    Print("Windows sender one-way", rate, windowsSender);
    SenderFigures linuxSender = MeasureSender(false, rate, count, domain, poll);
    if (linuxSender.timed == 0) return false;
    Print("Linux sender one-way", rate, linuxSender);
    Percentiles wineTrip = MeasureDdsperf(true, domain, rate, count);
    if (wineTrip.count == 0) return false;
    Print("ddsperf round trip Wine-Linux", rate, wineTrip);
    Percentiles linuxTrip = MeasureDdsperf(false, domain, rate, count);
    if (linuxTrip.count == 0) return false;
    Print("ddsperf round trip Linux", rate, linuxTrip);
    std::printf("%-30s %5d Hz   Windows %.2f   Linux %.2f   CPU Windows/Linux %.2f\n", "one-way p50 / round trip p50",
                rate, windowsSender.oneWay.p50 / wineTrip.p50, linuxSender.oneWay.p50 / linuxTrip.p50,
                linuxSender.cpu > 0 ? windowsSender.cpu / linuxSender.cpu : 0.0);
    std::fflush(stdout);
    return true;
}

void FindPrograms() {
    fs::path own = fs::read_symlink("/proc/self/exe").parent_path();
    if (!std::getenv("LUMIVEX_BIN")) setenv("LUMIVEX_BIN", own.c_str(), 1);
    windowsBin = Setting("LUMIVEX_WINDOWS_BIN", (own.parent_path().parent_path() / "build-windows/bin").string());
    windowsDdsperf = windowsBin + "/ddsperf.exe";
    if (!fs::exists(windowsDdsperf)) windowsDdsperf = windowsBin + "/../third-party/bin/ddsperf.exe";
    wine = Setting("WINE", "/usr/lib/wine/wine64");
}

const char* const usage =
    "usage: bench-bridge-windows [--rig] [WRITES-AT-1KHZ] [POLL-US]\n"
    "  the Windows sender under Wine against the Linux sender at 120 Hz and 1 kHz, beside ddsperf;\n"
    "  WRITES-AT-1KHZ timed (default 2000, half as many at 120 Hz), the senders' poll in microseconds\n"
    "  (default: the sender's own); --rig: in a secure rig made for the run\n";

}  // namespace

int main(int argc, char** argv) {
    using Kind = BenchOperand::Kind;
    BenchArguments arguments(usage, {"--rig"}, {{"WRITES-AT-1KHZ", Kind::Whole, 2}, {"POLL-US", Kind::Whole, 0}});
    if (int status = arguments.Parse(argc, argv); status >= 0) return status;
    FindPrograms();
    bool rig = arguments.Has("--rig");
    if (rig && (rigFolder = MakeBenchRig("lvxbenchwinrig")).empty())
        return std::fprintf(stderr, "cannot make the rig\n"), 1;
    int writes = static_cast<int>(arguments.Number(0, 2000));
    std::string poll = arguments.Count() > 1 ? arguments.Operand(1) : "";
    std::string domain = Setting("LUMIVEX_BENCH_DOMAIN", "229");
    std::printf("%s, sender poll %s\n", rig ? "secure rig" : "plain DDS", poll.empty() ? "default" : poll.c_str());
    bool measured = MeasureRate(120, writes / 2, domain, poll) && MeasureRate(1000, writes, domain, poll);
    if (rig) fs::remove_all(fs::path(rigFolder).parent_path());
    return measured ? 0 : 1;
}
