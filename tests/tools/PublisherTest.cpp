// The publisher's command line and its replay of recordings, run as real
// processes against real shared memory.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <fstream>
#include <map>
#include <regex>
#include <string>
#include <unistd.h>
#include <utility>
#include <vector>

#include "recording/RecordingSyntax.h"
#include "server/ChannelWriter.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/OutputFile.h"
#include "tests/tracker/TrackerTestSupport.h"
#include "channel/StationReader.h"

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
    std::string says = "";  // what the message says after "FILE:LINE: "
};

void PrintTo(const Malformed& malformed, std::ostream* out) { *out << malformed.name; }

class MalformedRecordingTest : public PublisherTest, public ::testing::WithParamInterface<Malformed> {};

TEST_P(MalformedRecordingTest, IsRefusedWithItsLineBeforeAnythingIsCreated) {
    std::string path = WriteFile(GetParam().text);
    ExpectRefused({"--replay", path}, path + ":" + std::to_string(GetParam().line) + ": " + GetParam().says);
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
        Malformed{"TimeBeyondTheLongest", channel00 + header + "1e300" + row.substr(8), 4},
        Malformed{"ChannelsOneAfterAnother",
                  header2 + "# channel 0 1 flags 0x21F description Rig\n" + write2 +
                      "0,0,1,1,0,0,1,1,1,0,0,0\n0,0,1,1,0,1,1,1,1,0,0,0\n",
                  8},
        Malformed{"DescriptionTooLong",
                  "# channel 0 0 flags 0x21F description " +
                      std::string(station_layout::maxDescriptionLength + 1, 'd') + "\n" + header,
                  1},
        Malformed{"NewerVersion", "# lumivex recording 3\n" + header, 1},
        Malformed{"NoStationsNamed", "# lumivex recording 2\n" + std::string(recording_syntax::columnLine) + "\n", 2},
        Malformed{"WriteLacksAStation", header2 + "0,0,0,9,0,0,1,1,1,0,0,0\n" + write2, 5},
        Malformed{"StationTwiceInAWrite", header2 + "0.5,0,0,9,0,0,1,1,1,0,0,0\n" + write2, 6},
        Malformed{"TimeGoesBackInAChannel", header2 + write2 + "0.25,0,0,10,0,0,1,1,1,0,0,0\n", 7},
        Malformed{"EndlessLine", header2 + write2 + std::string(100000, '0') + "\n", 7},
        Malformed{"LongLineInsideOneBlock", header2 + write2 + "#" + std::string(70000, 'c') + "\n" + write2, 7,
                  "a line longer than 65536 bytes"},
        Malformed{"SecondRecording", header2 + write2 + header2 + write2, 7, "a second recording starts here"},
        Malformed{"DamagedCompression", std::string("\x1f\x8b\x08\0\0\0\0\0\0\x03\xff\xff\xff\xff", 14), 1,
                  "the compressed data is damaged ("}),
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
        {{"--mode", "660"}, "watching needs only read access: use 0640"},
        {{"--force"}, "--force requires --unlink"},
        // Before it was refused, this period overflowed its conversion and
        // the publisher wrote as fast as it could until the time was up.
        {{"--rate", "1e-10", "--duration", "0.5"}, "--rate"},
        {{"--bins", "0-3,16"}, "'0-3,16' is not comma-separated numbers or ranges N-M, each 0..15"},
        // Read as octal before, this published instrument 8.
        {{"--instrument", "010"}, "'010' is not a number 0..15"},
        {{"--hold-lock-ms", "010"}, "'010' is not a number 0..60000 (decimal digits, no leading zero)"},
        {{"--description", "--once"}, "'--once' is an option, not a value"},
        // strtol and strtod took a sign, a space in front and an empty last number.
        {{"--pose", "+3=0,0,0,0,0,0"}, "'+3=0,0,0,0,0,0': expected K=x,y,z,az,el,roll"},
        {{"--pose", " 3=0,0,0,0,0,0"}, "expected K=x,y,z,az,el,roll"},
        {{"--pose", "3=0,0,0,0,0,"}, "expected K=x,y,z,az,el,roll"},
        {{"--pose", "3=0,0,0,0,0, 1"}, "expected K=x,y,z,az,el,roll"},
        {{"--flags", " 21F"}, "' 21F': expected a hexadecimal 32-bit word"},
        {{"--flags", "0x+21F"}, "expected a hexadecimal 32-bit word"},
        {{"--mode", " 600"}, "expected octal permission bits"},
        {{"--rate", " 5"}, "' 5': expected a number of writes per second"},
        {{"--replay", recording, "--pose", "1=0,0,0,0,0,0"}, "--pose cannot be combined with --replay"},
        {{"--replay", recording, "--motion", "still"}, "--motion cannot be combined with --replay"},
        {{"--replay", recording, "--once"}, "--once cannot be combined with --replay"},
        {{"--loop"}, "--loop requires --replay"},
        {{"--as-instrument", "1"}, "--as-instrument requires --replay"},
        {{"--replay", recording, "--speed", "0"}, "--speed"},
        {{"--replay", recording, "--from", "2", "--to", "1"}, "--to must not come before --from"},
        {{"--replay", recording, "--instrument", "2", "--bins", "1"},
         recording + ": no write of instruments 2, bins 1\n"},
        {{"--replay", recording, "--from", "0.5"}, "no write of instruments 0-15, bins 0-15 from --from 0.5 s\n"},
        {{"--replay", empty}, empty + ": the recording is empty"},
        {{"--replay", instant, "--loop"}, "--loop needs writes that span some time"},
        {{"--replay", "-", "--loop"}, "--loop cannot replay standard input"},
        {{"--replay", twoInstruments, "--as-instrument", "2"},
         "instruments 0 and 1 of " + twoInstruments + " both have bin 0"},
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

// Out of descriptors, the publisher says so in the system's words and names
// nothing it did not look at: with 4 the region of an earlier run was told
// with the mutex object's owner and mode. Each limit lets the loader open its
// libraries and then stops a different object's open.
TEST_F(PublisherTest, AnObjectThatCannotBeOpenedSaysTheSystemsCause) {
#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define LUMIVEX_ADDRESS_SANITIZER
#endif
#endif
#if defined(__SANITIZE_ADDRESS__) || defined(LUMIVEX_ADDRESS_SANITIZER)
    GTEST_SKIP() << "AddressSanitizer's own files need descriptors the limit leaves none for; the plain build runs "
                    "this test";
#endif
    const std::string cause = ": cannot be opened: " + std::string(std::strerror(EMFILE)) + "\n";
    for (const char* limit : {"4", "5"}) {
        ASSERT_EQ(ExitCode(Run({"--once"}).status), 0);  // the objects of an earlier run
        const std::string script =
            "exec 3>&- 4>&- 5>&- 6>&- 7>&- 8>&- 9>&-; ulimit -n " + std::string(limit) + " && exec \"$0\" --once";
        Outcome outcome =
            testsupport::RunToEnd({"/bin/sh", "-c", script, testsupport::ProgramPath("lumivex-publisher")},
                                  testsupport::ChildEnvironment({}), testsupport::Milliseconds(10000));
        ASSERT_TRUE(outcome.finished);
        EXPECT_EQ(ExitCode(outcome.status), 1) << outcome.output;
        EXPECT_NE(outcome.output.find(cause), std::string::npos) << limit << ": " << outcome.output;
    }
}

// Whoever starts the publisher by hand learns from standard error what it
// publishes, how fast and under which prefix, and at the end how much it wrote.
TEST_F(PublisherTest, SaysWhatItPublishesAndHowMuchItWrote) {
    Outcome outcome = Run({"--bins", "2,5", "--motion", "still", "--rate", "40", "--duration", "0.3"});
    ASSERT_TRUE(outcome.finished);
    ASSERT_EQ(ExitCode(outcome.status), 0) << outcome.output;
    const std::string start =
        "lumivex-publisher: publishing instrument 0 bins 2,5, still motion, 40 writes/s for 0.3 s, "
        "prefix \"" +
        Prefix() + "\"\n";
    ASSERT_EQ(outcome.output.rfind(start, 0), 0u) << outcome.output;
    const std::string rest = outcome.output.substr(start.size());
    std::smatch end;
    ASSERT_TRUE(
        std::regex_match(rest, end, std::regex("lumivex-publisher: ([0-9]+) writes? in ([0-9]+\\.[0-9]{2}) s\n")))
        << outcome.output;
    // A loaded machine makes it write less, never more: the first write
    // comes at once, then at most one per period of the time it says it took
    // (printed to a hundredth).
    const int writes = std::stoi(end[1]);
    EXPECT_GE(writes, 1);
    EXPECT_LE(writes, 1 + static_cast<int>((std::stod(end[2]) + 0.005) * 40)) << outcome.output;
}

// Two channels, Windows line ends, a description with a double space and an
// empty one, a station written twice and values that only %.9g keeps exact.
const char* const replayed =
    "# lumivex recording\r\n"
    "# channel 0 0 flags 0x00000213 description Lab rig  A\r\n"
    "# channel 0 2 flags 0x00000121 description\r\n"
    "time_s,instrument,bin,station,x,y,z,azimuth,elevation,roll\r\n"
    "999999990.000000,0,0,0,1.5,0.25,1.8,0.5,0,-0.125\r\n"
    "# a comment between rows\r\n"
    "999999990.200000,0,2,3,-7,8,9,0.100000001,0.200000003,0.300000012\r\n"
    "999999990.400000,0,0,1,0.333333343,1e-07,-2.5,3.14159274,-1.57079637,0\r\n"
    "999999990.600000,0,2,31,1,2,3,4,5,6\r\n"
    "999999990.800000,0,0,0,2.5,0.5,1,0,0,0.25\r\n";

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

    // The replay starts at its first write, however late in the recording's
    // time that is. Each write comes no earlier than the recording says after the first one,
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

// With --loop the next pass starts one recorded interval after the last
// write, not at the same instant. The second write holding its mutex for
// 1.5 s makes the third 1.4 s late, and the summary says so.
TEST_F(PublisherTest, LoopKeepsTheIntervalAndLatenessIsNotCapped) {
    const std::string path = WriteFile(channel00 + header + row + "0.1" + row.substr(3) + "0.2" + row.substr(3));
    Publisher publisher({"--replay", path, "--loop", "--duration", "2"});
    TrackerClient client;
    ChannelState state;
    std::map<uint32_t, uint32_t> stamps;  // write count -> when it was written
    for (int attempt = 0; attempt < 20000 && state.writeCount < 4; ++attempt) {
        if (ReadChannelState(client, 0, state)) stamps.emplace(state.writeCount, state.timestampMicros);
        usleep(200);
    }
    ASSERT_TRUE(stamps.count(3) && stamps.count(4)) << "the last write of a pass and the first of the next";
    EXPECT_GE(stamps[4] - stamps[3], 90000u);
    publisher.Terminate();

    Outcome held = Run({"--replay", path, "--hold-lock-ms", "1500"});
    ASSERT_TRUE(held.finished);
    EXPECT_EQ(ExitCode(held.status), 0) << held.output;
    double p99 = 0.0, max = 0.0;
    std::size_t at = held.output.find("p99 ");
    ASSERT_NE(at, std::string::npos) << held.output;
    ASSERT_EQ(std::sscanf(held.output.c_str() + at, "p99 %lf ms, max %lf ms", &p99, &max), 2) << held.output;
    EXPECT_GT(p99, 1200.0) << held.output;
    EXPECT_LE(p99, max) << held.output;
}

// A channel its server removed during the recording is removed where the
// recording says so and created again at its next write.
TEST_F(PublisherTest, ReplayRemovesAChannelWhereItsServerDid) {
    // Each state lasts 0.4 s at least, long enough to be seen on a loaded machine.
    const std::string path = WriteFile(header2 + "0,0,0,1,0,0,1,1,1,0,0,0\n0,0,0,1,0,1,1,1,1,0,0,0\n" +
                                       "0.4,0,0,2,0,0,1,1,1,0,0,0\n0.4,0,0,2,0,1,1,1,1,0,0,0\n" +
                                       "# channel 0 0 gone\n0.8,0,0,3,0,0,2,2,2,0,0,0\n0.8,0,0,3,0,1,2,2,2,0,0,0\n");
    Publisher publisher({"--replay", path, "--duration", "3"});
    const bool expected[] = {false, true, false};  // published, removed, published again
    for (bool removed : expected) {
        int attempt = 0;
        while (attempt++ < 20000 && NothingPublished() != removed) usleep(200);
        EXPECT_EQ(NothingPublished(), removed) << "step " << removed;
    }
}

// Bin 1, stations 0-3, a write every 10 ms for 0.2 s; every float of write i
// is i. At write 10 the server restarted (its counter starts again) with
// other flags and description, and the recorder died inside write 20's last
// line, on line 89.
std::string GroupedRecording() {
    std::string text = "# lumivex recording 2\n# stations 0-3\n" + std::string(recording_syntax::columnLine) + "\n";
    for (int i = 0; i <= 20; ++i) {
        if (i % 10 == 0 && i < 20)
            text += i == 0 ? "# channel 0 1 flags 0x21F description Before\n"
                           : "# channel 0 1 flags 0x213 description After\n";
        for (int k = 0; k < 4; ++k) {
            char row[128];
            std::snprintf(row, sizeof row, "%.2f,0,1,%d,0,%d,%d,%d,%d,%d,%d,%d\n", i / 100.0, i % 10 + 1, k, i, i, i, i,
                          i, i);
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
        std::vector<std::string> arguments{testsupport::ProgramPath("lumivex-publisher"), "--replay", path,
                                           "--duration", "1"};
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
                    ASSERT_EQ(value, static_cast<float>(index))
                        << "station " << k << " of write count " << state.writeCount;
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
        EXPECT_NE(output.Text().find("replayed " + std::to_string(c.writes) + " writes"), std::string::npos)
            << output.Text();
        EXPECT_NE(output.Text().find("lumivex-publisher: replaying " + path), std::string::npos) << output.Text();
    }
}

// What a running writer keeps in the region besides the content, read from
// the region's bytes: its write counter, the write sequence, its process id
// and the sequence's mark.
struct RegionWords {
    uint32_t writeCount = 0, mark = 0, sequence = 0, process = 0;
    ino_t inode = 0;
    off_t size = 0;
};

class WriterTest : public PublisherTest {
protected:
    struct Program {
        testsupport::OutputFile output;
        testsupport::ChildProcess process;
    };

    RegionWords Peek(int bin) const {
        RegionWords words;
        int descriptor = open(Path(RegionName(0, bin)).c_str(), O_RDONLY);
        struct stat status {};
        if (descriptor < 0 || fstat(descriptor, &status) != 0) return words;
        words.inode = status.st_ino;
        words.size = status.st_size;
        uint32_t fields[3] = {};
        if (pread(descriptor, &words.writeCount, 4, 0) == 4 &&
            pread(descriptor, fields, sizeof fields, station_layout::sequenceMarkOffset) == sizeof fields) {
            words.mark = fields[0];
            words.sequence = fields[1];
            words.process = fields[2];
        }
        close(descriptor);
        return words;
    }

    ino_t Inode(const std::string& name) const {
        struct stat status {};
        return stat(Path(name).c_str(), &status) == 0 ? status.st_ino : 0;
    }

    // Waits until the channel, at its full size, has a write counter past
    // `count`, read only between writes (an even sequence before and after).
    bool WrittenPast(int bin, uint32_t count) const {
        for (int attempt = 0; attempt < 20000; ++attempt, usleep(250)) {
            RegionWords before = Peek(bin), after = Peek(bin);
            if (before.size == station_layout::publishedRegionSize && before.mark == station_layout::sequenceMark &&
                before.sequence % 2 == 0 && before.sequence == after.sequence && after.writeCount > count)
                return true;
        }
        return false;
    }

    // A publisher (of bin 0 at 200 writes a second unless told otherwise)
    // that runs until stopped, started through `runAs` when given.
    std::unique_ptr<Program> StartPublisher(std::vector<std::string> options = {"--bins", "0", "--rate", "200"},
                                            const std::vector<std::string>& runAs = {}) {
        auto program = std::make_unique<Program>();
        options.insert(options.begin(), testsupport::ProgramPath("lumivex-publisher"));
        options.insert(options.begin(), runAs.begin(), runAs.end());
        options.insert(options.end(), {"--motion", "counter"});
        EXPECT_TRUE(program->process.Start({options, testsupport::ChildEnvironment({}), program->output.Path()}));
        EXPECT_TRUE(WrittenPast(0, 1));
        return program;
    }
};

// Who runs the first writer: this user, or another one, whose objects root
// could open and remove although it trusts them for nothing.
struct FirstWriter {
    const char* name;
    std::vector<std::string> runAs;
};

const FirstWriter firstWriters[] = {
    {"ThisUser", {}},
    {"AnotherUser",
     {"setpriv", "--reuid=" + std::to_string(otherUser), "--regid=" + std::to_string(otherGroup), "--clear-groups"}},
};

void PrintTo(const FirstWriter& writer, std::ostream* out) { *out << writer.name; }

class OneWriterTest : public WriterTest, public ::testing::WithParamInterface<FirstWriter> {};

// A second writer of a live channel (a publisher, a replay, --unlink) is
// refused, names the first one, and leaves its objects alone; the first one
// goes on writing, with the region's bits as asked and a private mutex
// object. --force removes them anyway.
TEST_P(OneWriterTest, OneWriterPerChannel) {
    if (!GetParam().runAs.empty() && geteuid() != 0) GTEST_SKIP() << "running a writer as another user needs root";
    auto first = StartPublisher({"--bins", "0", "--rate", "200", "--mode", "640"}, GetParam().runAs);
    // Another user's region is not trusted, so its process id is not read.
    const std::string live =
        "has a live writer" +
        (GetParam().runAs.empty() ? ", process " + std::to_string(first->process.Id()) : std::string());
    const RegionWords before = Peek(0);
    const ino_t mutex = Inode(MutexName(0, 0));
    EXPECT_EQ(before.process, static_cast<uint32_t>(first->process.Id()));
    struct stat status {};
    ASSERT_EQ(stat(Path(MutexName(0, 0)).c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 0777, 0600u);
    ASSERT_EQ(stat(Path(RegionName(0, 0)).c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 0777, 0640u);

    const std::string recording = WriteFile(channel00 + header + row);
    const std::vector<std::vector<std::string>> seconds = {
        {"--bins", "0", "--duration", "5"}, {"--replay", recording}, {"--unlink", "--bins", "0"}};
    for (const auto& arguments : seconds) {
        Outcome outcome = Run(arguments);
        EXPECT_EQ(ExitCode(outcome.status), 1) << arguments[0] << ": " << outcome.output;
        EXPECT_NE(outcome.output.find(live), std::string::npos) << outcome.output;
        EXPECT_EQ(Peek(0).inode, before.inode) << arguments[0];
        EXPECT_EQ(Inode(MutexName(0, 0)), mutex) << arguments[0];
        EXPECT_TRUE(WrittenPast(0, Peek(0).writeCount)) << arguments[0];
    }
    EXPECT_EQ(ExitCode(Run({"--unlink", "--force", "--bins", "0"}).status), 0);
    // The live writer may have made its objects again since.
    EXPECT_NE(Inode(MutexName(0, 0)), mutex);
}

INSTANTIATE_TEST_SUITE_P(Users, OneWriterTest, ::testing::ValuesIn(firstWriters),
                         [](const ::testing::TestParamInfo<FirstWriter>& info) {
                             return std::string(info.param.name);
                         });

// A later bin that another process writes is refused: what the run created
// of the earlier bins goes with it.
TEST_F(WriterTest, RefusedLaterBinLeavesNothing) {
    ChannelWriter squatter(0, 1);
    ASSERT_TRUE(squatter.Open(0600, ChannelState{}));
    Outcome outcome = Run({"--bins", "0-1", "--duration", "5"});
    EXPECT_EQ(ExitCode(outcome.status), 1);
    EXPECT_NE(outcome.output.find("has a live writer, process " + std::to_string(getpid())), std::string::npos)
        << outcome.output;
    EXPECT_EQ(Inode(RegionName(0, 0)) + Inode(MutexName(0, 0)), 0u) << "bin 0 left behind";
    EXPECT_NE(Inode(MutexName(0, 1)), 0u);
}

struct Disturbance {
    const char* name;
    bool (*apply)(const std::string& region, const std::string& mutex);
    const char* warning;
};

const Disturbance disturbances[] = {
    {"Removed",
     [](const std::string& region, const std::string& mutex) {
         return unlink(region.c_str()) == 0 && unlink(mutex.c_str()) == 0;
     },
     "removed or replaced while this process wrote it; created again"},
    {"RegionReplaced",
     [](const std::string& region, const std::string&) {
         if (unlink(region.c_str()) != 0) return false;
         int descriptor = open(region.c_str(), O_RDWR | O_CREAT | O_EXCL, 0600);
         return descriptor >= 0 && close(descriptor) == 0;
     },
     "removed or replaced while this process wrote it; created again"},
    // Whoever may read it could take a lock that looks like a claim.
    {"MutexMadeReadableByItsGroup",
     [](const std::string&, const std::string& mutex) { return chmod(mutex.c_str(), 0640) == 0; },
     "its mutex object became open to others than its owner; replaced by a new one, mode 0600"},
    // Readers refuse it.
    {"RegionMadeWritableByEveryUser",
     [](const std::string& region, const std::string&) { return chmod(region.c_str(), 0666) == 0; },
     "its region is writable by others than its mode lets; created again"},
};

void PrintTo(const Disturbance& disturbance, std::ostream* out) { *out << disturbance.name; }

class DisturbedWriterTest : public WriterTest, public ::testing::WithParamInterface<Disturbance> {};

// Objects removed or replaced under a running publisher, a mutex object
// opened to others or a region made writable by others come back with one
// warning, private and with the mode asked, and the publisher goes on
// writing them.
TEST_P(DisturbedWriterTest, ObjectsComeBackWithOneWarning) {
    auto publisher = StartPublisher();
    const ino_t mutex = Inode(MutexName(0, 0));
    ASSERT_TRUE(GetParam().apply(Path(RegionName(0, 0)), Path(MutexName(0, 0))));
    const std::string warning = Prefix() + RegionName(0, 0) + ": " + GetParam().warning;
    ASSERT_NE(publisher->output.WaitFor(warning, 0, testsupport::Milliseconds(5000)), std::string::npos)
        << publisher->output.Text();
    ASSERT_TRUE(WrittenPast(0, Peek(0).writeCount + 20));
    EXPECT_NE(Inode(MutexName(0, 0)), mutex);
    for (const std::string& name : {MutexName(0, 0), RegionName(0, 0)}) {
        struct stat status {};
        ASSERT_EQ(stat(Path(name).c_str(), &status), 0);
        EXPECT_EQ(status.st_mode & 0777, 0600u) << name;
    }
    const std::string text = publisher->output.Text();
    EXPECT_EQ(text.find(warning), text.rfind(warning)) << text;
}

INSTANTIATE_TEST_SUITE_P(Kinds, DisturbedWriterTest, ::testing::ValuesIn(disturbances),
                         [](const ::testing::TestParamInfo<Disturbance>& info) {
                             return std::string(info.param.name);
                         });

// Objects taken over by another writer while a publisher ran: it cannot
// create them again, ends with status 1 naming that writer, and leaves the
// new objects in place.
TEST_F(WriterTest, AWriterThatEndsLeavesObjectsNoLongerItsOwn) {
    auto publisher = StartPublisher();
    ASSERT_EQ(unlink(Path(RegionName(0, 0)).c_str()), 0);
    ASSERT_EQ(unlink(Path(MutexName(0, 0)).c_str()), 0);
    ChannelWriter successor(0, 0);
    ASSERT_TRUE(successor.Open(0600, ChannelState{}));
    int status = 0;
    ASSERT_TRUE(publisher->process.WaitExit(testsupport::Milliseconds(5000), status));
    EXPECT_EQ(ExitCode(status), 1);
    EXPECT_NE(publisher->output.Text().find("has a live writer, process " + std::to_string(getpid())),
              std::string::npos)
        << publisher->output.Text();
    EXPECT_NE(Inode(RegionName(0, 0)), 0u);
    EXPECT_NE(Inode(MutexName(0, 0)), 0u);
}

// 20,000 truncations of a running publisher's region: it gives the region
// its size back, also after the last one (within the first page, which does
// not fault), goes on writing, and ends normally.
TEST_F(WriterTest, SurvivesARegionTruncatedOverAndOver) {
    auto publisher = StartPublisher({"--bins", "0", "--rate", "0"});
    int region = open(Path(RegionName(0, 0)).c_str(), O_RDWR);
    ASSERT_GE(region, 0);
    for (int i = 0; i < 20000; ++i) ASSERT_EQ(ftruncate(region, i % 2 ? 800 : 0), 0);
    close(region);
    EXPECT_TRUE(WrittenPast(0, Peek(0).writeCount + 100));
    ASSERT_TRUE(publisher->process.Signal(SIGTERM));
    int status = 0;
    ASSERT_TRUE(publisher->process.WaitExit(testsupport::Milliseconds(5000), status));
    EXPECT_EQ(ExitCode(status), 0) << publisher->output.Text();
    EXPECT_TRUE(NothingPublished());
}

}  // namespace
