// The bridge between Windows and Linux: the Windows programs run under Wine
// beside this build's Linux programs, on the loopback interface only. A
// "machine" is an object-name prefix; the Windows side's objects live in
// Wine's server, the Linux side's in /dev/shm. scripts/test-windows.sh runs
// these tests, naming the Windows build in LUMIVEX_WINDOWS_BIN.
#include <gtest/gtest.h>

#include <unistd.h>

#include <csignal>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <iterator>
#include <memory>
#include <thread>

#include "recording/RecordingReader.h"
#include "recording/RecordingSyntax.h"
#include "tests/bridge/BridgeTestSupport.h"

namespace {

using namespace testsupport;
using namespace bridgetest;

// Wine's Cyclone finds the loopback interface by its address, not its name.
const char* const loopback =
    "<General><Interfaces><NetworkInterface address=\"127.0.0.1\"/></Interfaces><AllowMulticast>false"
    "</AllowMulticast></General><Discovery><ParticipantIndex>auto</ParticipantIndex><MaxAutoParticipantIndex>30"
    "</MaxAutoParticipantIndex><Peers><Peer address=\"127.0.0.1\"/></Peers></Discovery>";

struct Crossing {
    const char* name;
    bool windowsSends;  // else Linux sends and Windows receives
    bool rig;
};

const Crossing crossings[] = {
    {"WindowsToLinuxPlain", true, false},
    {"WindowsToLinuxRig", true, true},
    {"LinuxToWindowsPlain", false, false},
    {"LinuxToWindowsRig", false, true},
};

void PrintTo(const Crossing& crossing, std::ostream* out) { *out << crossing.name; }

using Records = std::map<uint32_t, std::vector<RecordedStation>>;

// The writes of a recording, by write counter.
Records WritesOf(const std::string& path) {
    Records writes;
    RecordingReader reader;
    EXPECT_TRUE(reader.Open(path)) << reader.Error();
    for (RecordedWrite write; reader.Next(write);) writes[write.writeCount] = write.stations;
    return writes;
}

class WindowsBridgeTest : public ::testing::TestWithParam<Crossing> {
protected:
    void SetUp() override {
        const char* bin = std::getenv("LUMIVEX_WINDOWS_BIN");
        if (!bin || !*bin) GTEST_SKIP() << "LUMIVEX_WINDOWS_BIN names no Windows build (scripts/test-windows.sh does)";
        windowsBin = bin;
        char folder[] = "/tmp/lvxwinXXXXXX";
        ASSERT_NE(mkdtemp(folder), nullptr);
        files = folder;
        base = "lvxwin" + std::to_string(getpid()) + "_";
        domain = std::to_string(1 + getpid() % 200);
        for (const std::vector<std::string>& command : {std::vector<std::string>{"rig", "init", files + "/rig"},
                                                        {"rig", "add", files + "/rig", "sender", "--send", "3"},
                                                        {"rig", "add", files + "/rig", "viewer", "--receive"},
                                                        {"rig", "init", files + "/other"},
                                                        {"rig", "add", files + "/other", "sender", "--send", "3"}})
            ASSERT_EQ(RunBridge(command).status, 0);
    }
    void TearDown() override {
        programs.clear();
        for (const char* machine : {"L_", "LP_", "LF_"}) Unlink(base + machine);
        if (!files.empty()) std::filesystem::remove_all(files);
    }

    // The sending side is the server's machine; intruders have machines of
    // their own on the same system.
    bool WindowsOn(bool sending) const { return sending == GetParam().windowsSends; }
    std::string Prefix(bool sending, const std::string& machine = "") const {
        return base + (WindowsOn(sending) ? "W" : "L") + machine + "_";
    }
    Launch LaunchOf(bool sending, const std::string& machine, std::vector<std::string> arguments,
                    const std::string& output) const {
        const bool windows = WindowsOn(sending);
        arguments.front() = windows ? windowsBin + "/" + arguments.front() + ".exe" : ProgramPath(arguments.front());
        if (windows) arguments.insert(arguments.begin(), "/usr/lib/wine/wine64");
        return Launch{arguments,
                      ChildEnvironment({"LUMIVEX_SHM_PREFIX=" + Prefix(sending, machine),
                                        "CYCLONEDDS_URI=" + std::string(loopback), "WINEDEBUG=-all"}),
                      output};
    }
    Program& Start(bool sending, const std::string& machine, const std::vector<std::string>& arguments) {
        programs.push_back(std::make_unique<Program>());
        Program& program = *programs.back();
        EXPECT_TRUE(program.process.Start(LaunchOf(sending, machine, arguments, program.output.Path())));
        return program;
    }
    std::vector<std::string> Bridge(const std::string& command, const std::string& member) const {
        std::vector<std::string> arguments{"lumivex-bridge", command, "--domain",     domain,
                                           "--bins",         "0",     "--instrument", "3"};
        if (!member.empty()) arguments.insert(arguments.end(), {"--rig", files + "/" + member});
        return arguments;
    }
    std::string Member(const std::string& name) const { return GetParam().rig ? name : ""; }

    // A server whose writes come at no steady pace, each with poses of its own,
    // about ten a second: a pace every reader keeps up with on a loaded machine.
    std::string Recording(uint32_t writes) const {
        const double gaps[] = {0.060, 0.110, 0.075, 0.200, 0.050, 0.090, 0.065, 0.120};
        std::string text = "# lumivex recording 2\n# stations 0-1\n" + std::string(recording_syntax::columnLine) +
                           "\n# channel 3 0 flags 0x0000021F description irregular\n";
        double seconds = 0;
        char row[200];
        for (uint32_t k = 1; k <= writes; seconds += gaps[k++ % 8])
            for (int station = 0; station < 2; ++station) {
                std::snprintf(row, sizeof row, "%.6f,3,0,%u,%u,%d,%.9g,%.9g,%.9g,%.9g,%.9g,%.9g\n", seconds, k,
                              1000 * k, station, k / 3.0, -1.5 * k + station, 1e-3 * k, 0.7 * k, -k / 7.0,
                              station * 0.1);
                text += row;
            }
        std::ofstream(files + "/source.csv") << text;
        return files + "/source.csv";
    }

    std::string windowsBin, files, base, domain;
    std::vector<std::unique_ptr<Program>> programs;
};

std::string TextOf(const std::string& path) {
    std::ifstream file(path);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

// The server replays its writes over and over, its write counter going on
// from round to round. Once a recorder on the viewer's machine holds the end
// of the third round, it holds a whole round: every write in order, each
// station's pose bit for bit. With a rig, a plain sender
// and a sender of another rig, both writing the same channel meanwhile, are
// kept out.
TEST_P(WindowsBridgeTest, EveryWriteArrivesBitExactAndStrangersStayOut) {
    const uint32_t writes = 16;
    const std::string source = Recording(writes), recorded = files + "/recorded.csv";
    Program& recorder = Start(
        false, "", {"lumivex-monitor", "--instrument", "3", "--bins", "0", "--stations", "0-1", "--csv", recorded});
    ASSERT_NE(recorder.output.WaitFor("recording ", 0, patience), std::string::npos) << recorder.output.Text();
    Program& receiver = Start(false, "", Bridge("receive", Member("rig/viewer")));
    Program& sender = Start(true, "", Bridge("send", Member("rig/sender")));
    if (GetParam().rig)
        for (const char* stranger : {"", "other/sender"}) {
            const std::string machine = *stranger ? "F" : "P";
            Start(true, machine,
                  {"lumivex-publisher", "--instrument", "3", "--bins", "0", "--rate", "50", "--description", "forged"});
            Program& intruder = Start(true, machine, Bridge("send", stranger));
            ASSERT_NE(intruder.output.WaitFor("sending \"forged\"", 0, patience), std::string::npos)
                << intruder.output.Text();
        }
    Start(true, "", {"lumivex-publisher", "--replay", source, "--loop"});
    const std::string third = ",3,0," + std::to_string(3 * writes) + ",";
    for (auto give = std::chrono::steady_clock::now() + patience;
         std::chrono::steady_clock::now() < give && TextOf(recorded).find(third) == std::string::npos;)
        std::this_thread::sleep_for(Milliseconds(50));
    recorder.process.Signal(SIGINT);
    int status = 0;
    ASSERT_TRUE(recorder.process.WaitExit(patience, status)) << recorder.output.Text();

    const Records sent = WritesOf(source);
    std::vector<std::pair<uint32_t, std::vector<RecordedStation>>> held;
    RecordingReader reader;
    ASSERT_TRUE(reader.Open(recorded)) << reader.Error();
    for (RecordedWrite write; reader.Next(write);) held.emplace_back(write.writeCount, write.stations);
    auto round = std::find_if(held.begin(), held.end(), [&](const auto& write) { return write.first % writes == 0; });
    ASSERT_GE(std::distance(round, held.end()), static_cast<long>(writes) + 1)
        << "no whole round recorded:\n"
        << receiver.output.Text() << sender.output.Text();
    for (uint32_t count = round->first + 1, end = count + writes; count < end; ++count) {
        const auto& [heldCount, stations] = *++round;
        ASSERT_EQ(heldCount, count) << "a write is missing";
        const std::vector<RecordedStation>& written = sent.at((count - 1) % writes + 1);
        ASSERT_EQ(stations.size(), written.size());
        for (size_t k = 0; k < stations.size(); ++k)
            EXPECT_EQ(std::memcmp(&stations[k].record, &written[k].record, sizeof(StationRecord)), 0)
                << "write " << count << " station " << k;
    }
    EXPECT_EQ(TextOf(recorded).find("forged"), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(Crossings, WindowsBridgeTest, ::testing::ValuesIn(crossings),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
