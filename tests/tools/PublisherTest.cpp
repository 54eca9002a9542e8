// The publisher's command line and its replay of recordings, run as real
// processes against real shared memory.
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fstream>
#include <map>
#include <string>
#include <unistd.h>
#include <utility>
#include <vector>

#include "tests/support/ChildProcess.h"
#include "tests/tracker/TrackerTestSupport.h"
#include "tracker/StationReader.h"

namespace {

using testsupport::Outcome;

const std::string header = "time_s,instrument,bin,station,x,y,z,azimuth,elevation,roll\n";
const std::string channel00 = "# lumivex recording\n# channel 0 0 flags 0x0000021F description Rig\n";
const std::string row = "0.000000,0,0,0,1.5,0.25,1.8,0.5,0,-0.125\n";

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
        Malformed{"NotANumber", channel00 + header + "0,0,0,0,1,nan,1,0,0,0\n", 4},
        Malformed{"FloatOverflow", channel00 + header + "0,0,0,0,1,1e39,1,0,0,0\n", 4},
        Malformed{"StationOutOfRange", channel00 + header + "0,0,0,32,1,1,1,0,0,0\n", 4},
        Malformed{"InstrumentOutOfRange", "# channel 16 0 flags 0x21F description Rig\n" + header, 1},
        Malformed{"BadFlags", "# channel 0 0 flags 21F description Rig\n" + header, 1},
        Malformed{"DeclaredTwice", channel00 + "# channel 0 0 flags 0x1 description Again\n" + header, 3},
        Malformed{"TimeGoesBack", channel00 + header + "0.5" + row.substr(8) + row, 5},
        Malformed{"NegativeTime", channel00 + header + "-1" + row.substr(8), 4},
        Malformed{"DescriptionTooLong",
                  "# channel 0 0 flags 0x21F description " + std::string(station_layout::maxDescriptionLength + 1, 'd') +
                      "\n" + header,
                  1}),
    [](const ::testing::TestParamInfo<Malformed>& info) { return info.param.name; });

TEST_F(PublisherTest, RefusesOptionsThatMakeNoSense) {
    const std::string recording = WriteFile(channel00 + header + row);
    const std::string instant = WriteFile(channel00 + header + row + row);
    const std::vector<std::pair<std::vector<std::string>, std::string>> refused = {
        {{"--mode", "666"}, "other users could write"},
        {{"--mode", "0602"}, "other users could write"},
        // Before it was refused, this period overflowed its conversion and
        // the publisher wrote as fast as it could until the time was up.
        {{"--rate", "1e-10", "--duration", "0.5"}, "--rate"},
        {{"--bins", "0-3,16"}, "'0-3,16' is not comma-separated numbers or ranges N-M, each 0..15"},
        // Read as octal before, this published instrument 8.
        {{"--instrument", "010"}, "'010' is not a number 0..15"},
        {{"--description", "--once"}, "'--once' is an option, not a value"},
        {{"--replay", recording, "--pose", "1=0,0,0,0,0,0"}, "--pose cannot be combined with --replay"},
        {{"--replay", recording, "--motion", "still"}, "--motion cannot be combined with --replay"},
        {{"--replay", recording, "--once"}, "--once cannot be combined with --replay"},
        {{"--replay", recording, "--bins", "0"}, "--bins cannot be combined with --replay"},
        {{"--loop"}, "--loop requires --replay"},
        {{"--replay", recording, "--speed", "0"}, "--speed"},
        {{"--replay", instant, "--loop"}, "--loop needs rows that span some time"},
        {{"--replay", "/nonexistent/recording.csv"}, "/nonexistent/recording.csv"},
    };
    for (const auto& [arguments, message] : refused) ExpectRefused(arguments, message);
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

}  // namespace
