// The C client library against a real lumivex-publisher process and real
// shared memory, through its public header only (and the test fixtures).
#include <sys/stat.h>
#include <cstring>
#include <memory>
#include <thread>
#include <unistd.h>

#include "lumivex/lumivex.h"
#include "tests/support/ChildProcess.h"
#include "tests/tracker/TrackerTestSupport.h"

namespace {

using testsupport::Milliseconds;

// Generous: a loaded machine may take long, and a passing test never waits.
constexpr int32_t patientMs = 10000;

// Owns a reader or a writer and gives it back at the end of the test.
struct Reader {
    lumivex_reader* handle = nullptr;
    ~Reader() { lumivex_reader_close(handle); }
};
struct Writer {
    lumivex_writer* handle = nullptr;
    ~Writer() {
        if (handle) lumivex_writer_close(handle);
    }
};

class ClientLibraryTest : public SharedMemoryTest {
protected:
    // Opens channel 0 `bin` once its publisher has created it.
    lumivex_status OpenWhenPublished(int bin, Reader& reader) {
        lumivex_status status = LUMIVEX_NOT_PUBLISHED;
        for (int attempt = 0; attempt < patientMs && status == LUMIVEX_NOT_PUBLISHED; ++attempt) {
            status = lumivex_reader_open(0, bin, &reader.handle);
            if (status == LUMIVEX_NOT_PUBLISHED) std::this_thread::sleep_for(Milliseconds(1));
        }
        return status;
    }

    // The counter motion writes the write count into every float.
    static void ExpectCounterState(const lumivex_state& state) {
        const float count = static_cast<float>(state.write_count);
        EXPECT_GT(state.write_count, 0u);
        for (const lumivex_pose& pose : state.stations)
            for (float value : {pose.x, pose.y, pose.z, pose.azimuth, pose.elevation, pose.roll})
                ASSERT_EQ(value, count) << "a torn or misplaced record";
    }
};

TEST_F(ClientLibraryTest, ListsAndReadsWhatThePublisherWrites) {
    Publisher publisher(
        {"--bins", "2,5", "--motion", "counter", "--rate", "500", "--flags", "0x113", "--description", "Lab rig"});
    Reader reader;
    ASSERT_EQ(OpenWhenPublished(5, reader), LUMIVEX_OK) << lumivex_last_message();

    lumivex_channel_info channels[4];
    int32_t count = 0;
    ASSERT_EQ(lumivex_list_channels(channels, 4, &count), LUMIVEX_OK) << lumivex_last_message();
    ASSERT_EQ(count, 2);
    for (int i = 0; i < count; ++i) {
        const lumivex_channel_info& info = channels[i];
        EXPECT_EQ(info.instrument, 0);
        EXPECT_EQ(info.bin, i == 0 ? 2 : 5);
        EXPECT_EQ(info.flags, 0x113u);
        EXPECT_EQ(info.active_stations, 0x3u);
        EXPECT_EQ(info.active_count, 2);
        EXPECT_EQ(info.unit, LUMIVEX_UNIT_CENTIMETRES);
        EXPECT_STREQ(info.unit_label, "CMETER");
        EXPECT_STREQ(info.description, "Lab rig");
    }

    lumivex_state first{}, next{};
    ASSERT_EQ(lumivex_read(reader.handle, &first), LUMIVEX_OK) << lumivex_last_message();
    ExpectCounterState(first);
    for (int write = 0; write < 50; ++write) {
        ASSERT_EQ(lumivex_wait(reader.handle, patientMs, &next), LUMIVEX_OK) << lumivex_last_message();
        ExpectCounterState(next);
        // The publisher writes its first round twice, stamped apart.
        EXPECT_TRUE(next.write_count > first.write_count ||
                    (next.write_count == first.write_count && next.stamp_us != first.stamp_us));
        first = next;
    }
}

// A reader follows its channel through the end of one server and the start
// of the next, which it tells by its flags.
TEST_F(ClientLibraryTest, FollowsAChannelRemovedAndCreatedAgain) {
    auto first = std::make_unique<Publisher>(std::vector<std::string>{"--bins", "0", "--motion", "counter"});
    Reader reader;
    ASSERT_EQ(OpenWhenPublished(0, reader), LUMIVEX_OK) << lumivex_last_message();
    first.reset();
    lumivex_state state{};
    lumivex_status status = LUMIVEX_OK;
    for (int attempt = 0; attempt < patientMs && status == LUMIVEX_OK; ++attempt, usleep(1000))
        status = lumivex_read(reader.handle, &state);
    ASSERT_EQ(status, LUMIVEX_NOT_PUBLISHED) << lumivex_last_message();
    EXPECT_NE(std::string(lumivex_last_message()).find("QuillmontShMem00: not published"), std::string::npos);

    Publisher second({"--bins", "0", "--motion", "counter", "--flags", "0x101"});
    ASSERT_EQ(lumivex_wait(reader.handle, patientMs, &state), LUMIVEX_OK) << lumivex_last_message();
    EXPECT_EQ(state.flags, 0x101u);
    ExpectCounterState(state);
}

// A channel written through the library: its one writer, read by a waiting
// reader, which times out with a status while nothing is written.
TEST_F(ClientLibraryTest, AWriterIsReadByAWaitingReader) {
    Writer writer;
    ASSERT_EQ(lumivex_writer_open(0, 3, "From C", 0x221, 0640, &writer.handle), LUMIVEX_OK) << lumivex_last_message();
    Writer second;
    EXPECT_EQ(lumivex_writer_open(0, 3, "", 0x221, 0600, &second.handle), LUMIVEX_IN_USE);
    EXPECT_NE(std::string(lumivex_last_message()).find("has a live writer"), std::string::npos)
        << lumivex_last_message();
    EXPECT_EQ(lumivex_writer_open(0, 4, "", 0x221, 0660, &second.handle), LUMIVEX_INVALID_ARGUMENT);

    Reader reader;
    ASSERT_EQ(lumivex_reader_open(0, 3, &reader.handle), LUMIVEX_OK) << lumivex_last_message();
    lumivex_state state{};
    ASSERT_EQ(lumivex_wait(reader.handle, 20, &state), LUMIVEX_TIMEOUT);
    EXPECT_NE(std::string(lumivex_last_message()).find("QuillmontShMem03: no write within 20 ms"), std::string::npos)
        << lumivex_last_message();

    lumivex_status waited = LUMIVEX_FAILED;
    std::thread waiter([&] { waited = lumivex_wait(reader.handle, patientMs, &state); });
    lumivex_pose poses[LUMIVEX_STATIONS] = {};
    poses[31] = {1.5f, -2.25f, 0.1f, 3.14159274f, -1.57079637f, 1e-7f};
    EXPECT_EQ(lumivex_write(writer.handle, poses), LUMIVEX_OK) << lumivex_last_message();
    waiter.join();
    ASSERT_EQ(waited, LUMIVEX_OK);
    EXPECT_EQ(state.write_count, 1u);  // the opening published write 0
    EXPECT_EQ(state.flags, 0x221u);
    EXPECT_EQ(0, std::memcmp(&state.stations[31], &poses[31], sizeof poses[31]));
    lumivex_channel_info info{};
    ASSERT_EQ(lumivex_reader_info(reader.handle, &info), LUMIVEX_OK);
    EXPECT_STREQ(info.description, "From C");

    ASSERT_EQ(lumivex_writer_close(writer.handle), LUMIVEX_OK) << lumivex_last_message();
    writer.handle = nullptr;
    EXPECT_EQ(access(("/dev/shm/" + Prefix() + RegionName(0, 3)).c_str(), F_OK), -1) << "the channel stays";
}

struct Planted {
    const char* name;
    unsigned mode;
    uid_t owner;  // -1: this user
};

const Planted planted[] = {
    {"WritableByEveryone", 0666, static_cast<uid_t>(-1)},
    {"AnotherUsers", 0644, otherUser},
};

void PrintTo(const Planted& row, std::ostream* out) { *out << row.name; }

class RefusedChannelTest : public ClientLibraryTest, public ::testing::WithParamInterface<Planted> {};

// The library refuses what the programs refuse, in the words they print.
TEST_P(RefusedChannelTest, IsRefusedWithTheProgramsWords) {
    const Planted& row = GetParam();
    if (row.owner != static_cast<uid_t>(-1) && geteuid() != 0) GTEST_SKIP() << "giving a region away needs root";
    ASSERT_EQ(Publisher::Run({"--bins", "0", "--once"}), 0);
    const std::string region = "/dev/shm/" + Prefix() + RegionName(0, 0);
    ASSERT_EQ(chmod(region.c_str(), row.mode), 0);
    ASSERT_EQ(chown(region.c_str(), row.owner, static_cast<gid_t>(-1)), 0);

    Reader reader;
    ASSERT_EQ(lumivex_reader_open(0, 0, &reader.handle), LUMIVEX_REFUSED) << lumivex_last_message();
    EXPECT_EQ(reader.handle, nullptr);
    const std::string message = lumivex_last_message();
    testsupport::Outcome monitor =
        testsupport::RunToEnd({testsupport::ProgramPath("lumivex-monitor"), "--once", "--bins", "0"},
                              testsupport::ChildEnvironment({}), Milliseconds(patientMs));
    EXPECT_NE(monitor.output.find("lumivex-monitor: warning: " + message + "\n"), std::string::npos) << message << "\n"
                                                                                                     << monitor.output;
    int32_t count = -1;
    ASSERT_EQ(lumivex_list_channels(nullptr, 0, &count), LUMIVEX_OK);
    EXPECT_EQ(count, 0);
}

INSTANTIATE_TEST_SUITE_P(Objects, RefusedChannelTest, ::testing::ValuesIn(planted),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
