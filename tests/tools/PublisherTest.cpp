// The publisher's command line and its replay of recordings, run as real
// processes against real shared memory.
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fstream>
#include <map>
#include <regex>
#include <string>
#include <unistd.h>
#include <utility>
#include <vector>

#include "recording/RecordingSyntax.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/OutputFile.h"
#include "tests/tracker/TrackerTestSupport.h"
#include "tracker/StationReader.h"

namespace {

using testsupport::Outcome;

const std::string header = "time_s,instrument,bin,station,x,y,z,azimuth,elevation,roll\n";
const std::string channel00 = "# lumivex recording\n# channel 0 0 flags 0x0000021F description Rig\n";
const std::string row = "0.000000,0,0,0,1.5,0.25,1.8,0.5,0,-0.125\n";
// Version 2: stations 0 and 1 in every write; the rows start on line 5.
const std::string header2 = "# lumivex recording 2\n# stations 0-1\n" + std::string(recording_syntax::columnLine) +
                            "\n# channel 0 0 flags 0x21F description Rig\n";
const std::string write2 = "0.5,0,0,9,0,0,1,1,1,0,0,0\n0.5,0,0,9,0,1,1,1,1,0,0,0\n";

class PublisherTest : public SharedMemoryTest {
protected:
    void TearDown() override {
        for (const std::string& path : files) std::remove(path.c_str());
        SharedMemoryTest::TearDown();
    }

    std::string WriteFile(const std::string& text) {
        files.push_back("/tmp/" + Prefix() + std::to_string(files.size()) + ".csv");
        std::ofstream(files.back(), std::ios::binary) << text;
        return files.back();
    }

    static Outcome Run(std::vector<std::string> arguments) {
        arguments.insert(arguments.begin(), testsupport::ProgramPath("lumivex-publisher"));
        return testsupport::RunToEnd(arguments, testsupport::ChildEnvironment({}), testsupport::Milliseconds(10000));
    }

    // No object of this test's prefix exists, whatever its instrument and channel.
    bool NothingPublished() const {
        DIR* directory = opendir("/dev/shm");
        bool none = directory != nullptr;
        while (dirent* entry = directory ? readdir(directory) : nullptr)
            none = none && std::string(entry->d_name).rfind(Prefix(), 0) != 0;
        if (directory) closedir(directory);
        return none;
    }

    void ExpectRefused(const std::vector<std::string>& arguments, const std::string& message) {
        Outcome outcome = Run(arguments);
        ASSERT_TRUE(outcome.finished);
        EXPECT_EQ(ExitCode(outcome.status), 2) << outcome.output;
        EXPECT_NE(outcome.output.find(message), std::string::npos) << outcome.output;
        EXPECT_TRUE(NothingPublished());
    }

private:
    std::vector<std::string> files;
};

struct Malformed {
    const char* name;
    std::string text;
    int line;
};

void PrintTo(const Malformed& malformed, std::ostream* out) { *out << malformed.name; }

class MalformedRecordingTest : public PublisherTest, public ::testing::WithParamInterface<Malformed> {};

TEST_P(MalformedRecordingTest, IsRefusedWithItsLineBeforeAnythingIsCreated) {
    std::string path = WriteFile(GetParam().text);
    ExpectRefused({"--replay", path}, path + ":" + std::to_string(GetParam().line) + ": ");
}

INSTANTIATE_TEST_SUITE_P(
    Reasons, MalformedRecordingTest,
    ::testing::Values(
        Malformed{"RowBeforeHeader", channel00 + row, 3}, Malformed{"NoHeader", channel00, 3},
        Malformed{"UndeclaredChannel", channel00 + header + "0,0,1,0,1,1,1,0,0,0\n", 4},
        Malformed{"TooFewFields", channel00 + header + "0,0,0,0,1,1,1,0,0\n", 4},
        Malformed{"TooManyFields", channel00 + header + row + "0,0,0,0,1,1,1,0,0,0,0\n", 5},
        Malformed{"BadNumber", channel00 + header + "0,0,0,0,1,1x,1,0,0,0\n", 4},
        Malformed{"FloatOverflow", channel00 + header + "0,0,0,0,1,1e39,1,0,0,0\n", 4},
        Malformed{"StationOutOfRange", channel00 + header + "0,0,0,32,1,1,1,0,0,0\n", 4},
        Malformed{"InstrumentOutOfRange", "# channel 16 0 flags 0x21F description Rig\n" + header, 1},
        Malformed{"BadFlags", "# channel 0 0 flags 21F description Rig\n" + header, 1},
        Malformed{"TimeGoesBack", channel00 + header + "0.5" + row.substr(8) + row, 5},
        Malformed{"NegativeTime", channel00 + header + "-1" + row.substr(8), 4},
        Malformed{"DescriptionTooLong",
                  "# channel 0 0 flags 0x21F description " + std::string(station_layout::maxDescriptionLength + 1, 'd') +
                      "\n" + header,
                  1},
        Malformed{"NewerVersion", "# lumivex recording 3\n" + header, 1},
        Malformed{"NoStationsNamed", "# lumivex recording 2\n" + std::string(recording_syntax::columnLine) + "\n", 2},
        Malformed{"WriteLacksAStation", header2 + "0,0,0,9,0,0,1,1,1,0,0,0\n" + write2, 5},
        Malformed{"StationTwiceInAWrite", header2 + "0.5,0,0,9,0,0,1,1,1,0,0,0\n" + write2, 6},
        Malformed{"TimeGoesBackInAChannel", header2 + write2 + "0.25,0,0,10,0,0,1,1,1,0,0,0\n", 7},
        Malformed{"EndlessLine", header2 + write2 + std::string(100000, '0') + "\n", 7}),
    [](const ::testing::TestParamInfo<Malformed>& info) { return info.param.name; });

TEST_F(PublisherTest, RefusesOptionsThatMakeNoSense) {
    const std::string recording = WriteFile(channel00 + header + row);
    const std::string instant = WriteFile(channel00 + header + row + row);
    const std::string empty = WriteFile(channel00 + header);
    const std::string twoInstruments =
        WriteFile(channel00 + "# channel 1 0 flags 0x1 description Other\n" + header + row + "0.1,1,0,0,1,1,1,0,0,0\n");
    const std::vector<std::pair<std::vector<std::string>, std::string>> refused = {
        {{"--mode", "666"}, "other users could write"},
        {{"--mode", "0602"}, "other users could write"},
        // Before it was refused, this period overflowed its conversion and
        // the publisher wrote as fast as it could until the time was up.
        {{"--rate", "1e-10", "--duration", "0.5"}, "--rate"},
        {{"--bins", "0-3,16"}, "'0-3,16' is not comma-separated numbers or ranges N-M, each 0..15"},
        // Read as octal before, this published instrument 8.
        {{"--instrument", "010"}, "'010' is not a number 0..15"},
        {{"--hold-lock-ms", "010"}, "'010' is not a number 0..60000 (decimal digits, no leading zero)"},
        {{"--description", "--once"}, "'--once' is an option, not a value"},
        {{"--replay", recording, "--pose", "1=0,0,0,0,0,0"}, "--pose cannot be combined with --replay"},
        {{"--replay", recording, "--motion", "still"}, "--motion cannot be combined with --replay"},
        {{"--replay", recording, "--once"}, "--once cannot be combined with --replay"},
        {{"--loop"}, "--loop requires --replay"},
        {{"--as-instrument", "1"}, "--as-instrument requires --replay"},
        {{"--replay", recording, "--speed", "0"}, "--speed"},
        {{"--replay", recording, "--from", "2", "--to", "1"}, "--to must not come before --from"},
        {{"--replay", recording, "--instrument", "2", "--bins", "1"}, recording + ": no write of instruments 2, bins 1\n"},
        {{"--replay", recording, "--from", "0.5"}, "no write of instruments 0-15, bins 0-15 from --from 0.5 s\n"},
        {{"--replay", empty}, empty + ": the recording is empty"},
        {{"--replay", instant, "--loop"}, "--loop needs writes that span some time"},
        {{"--replay", "-", "--loop"}, "--loop cannot replay standard input"},
        {{"--replay", twoInstruments, "--as-instrument", "2"}, "instruments 0 and 1 of " + twoInstruments + " both have bin 0"},
        {{"--replay", "/nonexistent/recording.csv"}, "/nonexistent/recording.csv"},
    };
    for (const auto& [arguments, message] : refused) ExpectRefused(arguments, message);
}

// A minute-long hold on every channel once hung the publisher past its
// --duration (and past SIGINT and SIGTERM, which end the same wait).
TEST_F(PublisherTest, AHeldLockEndsWithTheDuration) {
    Outcome outcome = Run({"--bins", "0-15", "--hold-lock-ms", "60000", "--rate", "1", "--duration", "0.5"});
    ASSERT_TRUE(outcome.finished) << "the hold outlasted --duration";
    EXPECT_EQ(ExitCode(outcome.status), 0) << outcome.output;
    EXPECT_TRUE(NothingPublished());
}

// Whoever starts the publisher by hand learns from standard error what it
// publishes, how fast and under which prefix, and at the end how much it wrote.
TEST_F(PublisherTest, SaysWhatItPublishesAndHowMuchItWrote) {
    Outcome outcome = Run({"--bins", "2,5", "--motion", "still", "--rate", "40", "--duration", "0.3"});
    ASSERT_TRUE(outcome.finished);
    ASSERT_EQ(ExitCode(outcome.status), 0) << outcome.output;
    const std::string start = "lumivex-publisher: publishing instrument 0 bins 2,5, still motion, 40 writes/s for 0.3 s, "
                              "prefix \"" + Prefix() + "\"\n";
    ASSERT_EQ(outcome.output.rfind(start, 0), 0u) << outcome.output;
    const std::string rest = outcome.output.substr(start.size());
    std::smatch end;
    ASSERT_TRUE(std::regex_match(rest, end,
                                 std::regex("lumivex-publisher: ([0-9]+) writes in 0\\.[0-9]{2} s\n")))
        << outcome.output;
    EXPECT_GE(std::stoi(end[1]), 10);
}

// Two channels, Windows line ends, a description with a double space and an
// empty one, a station written twice and values that only %.9g keeps exact.
const char* const replayed =
    "# lumivex recording\r\n"
    "# channel 0 0 flags 0x00000213 description Lab rig  A\r\n"
    "# channel 0 2 flags 0x00000121 description\r\n"
    "time_s,instrument,bin,station,x,y,z,azimuth,elevation,roll\r\n"
    "0.000000,0,0,0,1.5,0.25,1.8,0.5,0,-0.125\r\n"
    "# a comment between rows\r\n"
    "0.200000,0,2,3,-7,8,9,0.100000001,0.200000003,0.300000012\r\n"
    "0.400000,0,0,1,0.333333343,1e-07,-2.5,3.14159274,-1.57079637,0\r\n"
    "0.600000,0,2,31,1,2,3,4,5,6\r\n"
    "0.800000,0,0,0,2.5,0.5,1,0,0,0.25\r\n";

struct Write {
    int bin;
    uint32_t writeCount;
    double seconds;  // in the recording
};
const Write writes[] = {{0, 1, 0.0}, {2, 1, 0.2}, {0, 2, 0.4}, {2, 2, 0.6}, {0, 3, 0.8}};
constexpr double speed = 2.0;

TEST_F(PublisherTest, ReplayKeepsTheRecordedTimingAndEndsWithTheRecordedPoses) {
    const std::string path = WriteFile(replayed);
    Publisher publisher({"--replay", path, "--speed", "2", "--duration", "30"});
    TrackerClient client;
    ChannelState state[3];
    std::map<std::pair<int, uint32_t>, uint32_t> stamps;  // (bin, write count) -> when it was written
    for (int attempt = 0; attempt < 10000 && (state[0].writeCount < 3 || state[2].writeCount < 2); ++attempt) {
        for (int bin : {0, 2})
            if (ReadChannelState(client, bin, state[bin]))
                stamps.emplace(std::make_pair(bin, state[bin].writeCount), state[bin].timestampMicros);
        usleep(500);
    }
    ASSERT_EQ(state[0].writeCount, 3u);
    ASSERT_EQ(state[2].writeCount, 2u);

    // Each write comes no earlier than the recording says after the first one,
    // at twice its pace (a late write does not delay the ones after it, so
    // only the first is a fair reference); the whole replay takes less than
    // the recording's own length.
    const Write& earlier = writes[0];
    for (const Write& later : writes) {
        auto first = stamps.find({earlier.bin, earlier.writeCount}), next = stamps.find({later.bin, later.writeCount});
        if (later.seconds <= earlier.seconds || first == stamps.end() || next == stamps.end()) continue;
        EXPECT_GE(static_cast<double>(next->second - first->second) + 2000.0,
                  (later.seconds - earlier.seconds) / speed * 1e6);
    }
    ASSERT_EQ(stamps.count({0, 1}) + stamps.count({0, 3}), 2u);
    EXPECT_LT(stamps[std::make_pair(0, 3u)] - stamps[std::make_pair(0, 1u)], 800000u);

    ChannelState expected[3];
    expected[0].records[0] = {2.5f, 0.5f, 1.0f, 0.0f, 0.0f, 0.25f};
    expected[0].records[1] = {0.333333343f, 1e-07f, -2.5f, 3.14159274f, -1.57079637f, 0.0f};
    expected[2].records[3] = {-7.0f, 8.0f, 9.0f, 0.100000001f, 0.200000003f, 0.300000012f};
    expected[2].records[31] = {1.0f, 2.0f, 3.0f, 4.0f, 5.0f, 6.0f};
    for (int bin : {0, 2})
        for (int k = 0; k < station_layout::stationCount; ++k)
            EXPECT_EQ(0, std::memcmp(&state[bin].records[k], &expected[bin].records[k], sizeof(StationRecord)))
                << "bin " << bin << " station " << k;
    EXPECT_EQ(state[0].flags, 0x213u);
    EXPECT_EQ(state[0].description, "Lab rig  A");
    EXPECT_EQ(state[2].flags, 0x121u);
    EXPECT_EQ(state[2].description, "");

    // Ending it normally takes the objects away.
    publisher.Terminate();
    EXPECT_TRUE(NothingPublished());
}

// Bin 1, stations 0-3, a write every 10 ms for 0.2 s; every float of write i
// is i. At write 10 the server restarted (its counter starts again) with
// other flags and description, and the recorder died inside write 20's last
// line, on line 89.
std::string GroupedRecording() {
    std::string text = "# lumivex recording 2\n# stations 0-3\n" + std::string(recording_syntax::columnLine) + "\n";
    for (int i = 0; i <= 20; ++i) {
        if (i % 10 == 0 && i < 20) text += i == 0 ? "# channel 0 1 flags 0x21F description Before\n" : "# channel 0 1 flags 0x213 description After\n";
        for (int k = 0; k < 4; ++k) {
            char row[128];
            std::snprintf(row, sizeof row, "%.2f,0,1,%d,0,%d,%d,%d,%d,%d,%d,%d\n", i / 100.0, i % 10 + 1, k, i, i, i, i, i, i);
            text += row;
        }
    }
    return text.substr(0, text.size() - 3);
}

struct Grouping {
    std::vector<std::string> options;
    int instrument;
    uint32_t writes, last;  // channel writes; the recorded write the last of them carries
};

// Each recorded write becomes one write of the channel with all its stations,
// so a reader never sees stations of two writes at once, and the flags and
// description change with the write that changed them.
TEST_F(PublisherTest, ReplayWritesEachRecordedWriteWholeOnce) {
    const std::string path = WriteFile(GroupedRecording());
    const Grouping cases[] = {{{}, 0, 20, 19},
                              {{"--from", "0.05", "--to", "0.145"}, 0, 10, 14},
                              {{"--bins", "1", "--as-instrument", "3"}, 3, 20, 19}};
    for (const Grouping& c : cases) {
        SCOPED_TRACE(c.options.empty() ? "whole" : c.options[0]);
        testsupport::OutputFile output;
        testsupport::ChildProcess publisher;
        std::vector<std::string> arguments{testsupport::ProgramPath("lumivex-publisher"), "--replay", path, "--duration", "1"};
        arguments.insert(arguments.end(), c.options.begin(), c.options.end());
        ASSERT_TRUE(publisher.Start({arguments, testsupport::ChildEnvironment({}), output.Path()}));
        TrackerClient client(c.instrument);
        ChannelState state;
        for (int attempt = 0; attempt < 20000 && state.writeCount < c.writes; ++attempt) {
            usleep(100);
            if (!client.IsChannelOpen(1)) client.Attach();
            // Zeros: the channel is created but not written yet.
            if (!ReadChannelState(client, 1, state) || state.writeCount == 0) continue;
            const uint32_t index = static_cast<uint32_t>(state.records[0].x);
            for (int k = 0; k < 4; ++k)
                for (float value : {state.records[k].x, state.records[k].y, state.records[k].roll})
                    ASSERT_EQ(value, static_cast<float>(index)) << "station " << k << " of write count " << state.writeCount;
            EXPECT_EQ(state.flags, index < 10 ? 0x21Fu : 0x213u);
            EXPECT_EQ(state.description, index < 10 ? "Before" : "After");
        }
        EXPECT_EQ(state.writeCount, c.writes);
        EXPECT_EQ(static_cast<uint32_t>(state.records[3].z), c.last);
        int status = 0;
        ASSERT_TRUE(publisher.WaitExit(testsupport::Milliseconds(5000), status));
        EXPECT_EQ(ExitCode(status), 0) << output.Text();
        const std::string cut = path + ":86: the file is cut short";
        EXPECT_NE(output.Text().find(cut), std::string::npos) << output.Text();
        EXPECT_EQ(output.Text().find(cut), output.Text().rfind(cut)) << "warned more than once";
        EXPECT_NE(output.Text().find("replayed " + std::to_string(c.writes) + " writes"), std::string::npos) << output.Text();
        EXPECT_NE(output.Text().find("lumivex-publisher: replaying " + path), std::string::npos) << output.Text();
    }
}

}  // namespace
