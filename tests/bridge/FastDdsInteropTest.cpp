// The channel topic stays open to DDS programs that are not the bridge: a
// Fast DDS reader and writer (tests/bridge/fastdds), with type support that
// fastddsgen generates from the bridge's IDL, exchange states with the real
// bridge programs. Everything stays on the loopback interface: Cyclone by
// CYCLONEDDS_URI, Fast DDS by the profile it loads before its participant.
#include <gtest/gtest.h>

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "platform/SharedMemory.h"
#include "tests/support/DdsLoopback.h"
#include "tests/support/OutputFile.h"
#include "tests/tracker/TrackerTestSupport.h"
#include "tracker/StationReader.h"

namespace {

using namespace testsupport;

const int instrument = 3;
const std::vector<int> bins{0, 5};
const Milliseconds patience(15000);

std::string Hex(const void* bytes, size_t size) {
    std::string text;
    char digits[3];
    for (size_t k = 0; k < size; ++k) {
        std::snprintf(digits, sizeof digits, "%02x", static_cast<const uint8_t*>(bytes)[k]);
        text += digits;
    }
    return text;
}

// A channel state as the Fast DDS programs print a sample: every byte shown.
std::string Line(int bin, const ChannelState& state) {
    return "instrument " + std::to_string(instrument) + " bin " + std::to_string(bin) + " writeCount " +
           std::to_string(state.writeCount) + " flags " + std::to_string(state.flags) + " timestamp " +
           std::to_string(state.timestampMicros) + " records " + Hex(state.records, sizeof(state.records)) +
           " description " + Hex(state.description.c_str(), state.description.size() + 1);
}

struct Program {
    OutputFile output;
    ChildProcess process;
};

class FastDdsInteropTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (*LUMIVEX_FASTDDS_MISSING)
            GTEST_SKIP() << "Fast DDS programs not built: " LUMIVEX_FASTDDS_MISSING
                            " not installed (scripts/setup.sh installs them; then configure again)";
        base = "lvxfastdds" + std::to_string(getpid()) + "_";
        domain = std::to_string(1 + getpid() % 200);
        for (const std::string& prefix : {Source(), Mirror()}) Unlink(prefix);
    }
    void TearDown() override {
        programs.clear();
        for (const std::string& prefix : {Source(), Mirror()}) Unlink(prefix);
    }

    std::string Source() const { return base + "A_"; }
    std::string Mirror() const { return base + "B_"; }

    Program& Start(const std::string& prefix, std::vector<std::string> arguments) {
        programs.push_back(std::make_unique<Program>());
        Program& program = *programs.back();
        arguments[0] = ProgramPath(arguments[0]);
        EXPECT_TRUE(program.process.Start({arguments, Environment(prefix), program.output.Path()})) << arguments[0];
        return program;
    }

    void PublishOnce(const std::string& description) {
        Outcome run = RunToEnd({ProgramPath("lumivex-publisher"), "--once", "--instrument", "3", "--bins", "0,5",
                                "--flags", "123", "--motion", "counter", "--description", description},
                               Environment(Source()), patience);
        ASSERT_TRUE(run.finished && run.status == 0) << run.output;
    }

    static bool Read(const std::string& prefix, int bin, ChannelState& state) {
        setenv("LUMIVEX_SHM_PREFIX", prefix.c_str(), 1);
        TrackerClient client(instrument);
        client.Attach();  // a bin is selectable only once attached
        return ReadChannelState(client, bin, state);
    }

    std::string domain;

private:
    static std::vector<std::string> Environment(const std::string& prefix) {
        return ChildEnvironment({"LUMIVEX_SHM_PREFIX=" + prefix, std::string("CYCLONEDDS_URI=") + ddsLoopbackOnly},
                                {"DISPLAY"});
    }
    static void Unlink(const std::string& prefix) {
        setenv("LUMIVEX_SHM_PREFIX", prefix.c_str(), 1);
        for (int bin : bins) {
            platform::UnlinkSharedObject(RegionName(instrument, bin).c_str());
            platform::UnlinkSharedObject(MutexName(instrument, bin).c_str());
        }
    }

    std::string base;
    std::vector<std::unique_ptr<Program>> programs;
};

// The reader joins after the sender has published (late joining), then sees
// a live change; every state arrives with the region's bytes.
TEST_F(FastDdsInteropTest, FastDdsReaderGetsTheSendersStatesByteForByte) {
    PublishOnce("Sent to Fast DDS");
    Program& sender = Start(Source(), {"lumivex-bridge", "send", "--instrument", "3", "--bins", "0,5", "--domain", domain});
    Program& reader = Start(Source(), {"fastdds-channel-reader", domain, LUMIVEX_FASTDDS_PROFILE});
    for (const char* description : {"", "Changed while Fast DDS reads"}) {
        if (*description) PublishOnce(description);
        for (int bin : bins) {
            ChannelState region;
            ASSERT_TRUE(Read(Source(), bin, region));
            EXPECT_NE(reader.output.WaitFor(Line(bin, region), 0, patience), std::string::npos)
                << "bin " << bin << " \"" << region.description << "\"\nreader:\n"
                << reader.output.Text() << "\nsender:\n" << sender.output.Text();
        }
    }
}

// The receiver joins after the writer: it counts the writer as a live sender
// and writes its state into shared memory unchanged.
TEST_F(FastDdsInteropTest, ReceiverWritesAFastDdsWritersState) {
    Program& writer = Start(Mirror(), {"fastdds-channel-writer", domain, "3", "5", "Written by Fast DDS",
                                       LUMIVEX_FASTDDS_PROFILE});
    const std::string head = "instrument 3 bin 5 ";
    const size_t start = writer.output.WaitFor(head, 0, patience);
    ASSERT_NE(start, std::string::npos) << writer.output.Text();
    const size_t end = writer.output.WaitFor("\n", start, patience);
    ASSERT_NE(end, std::string::npos) << writer.output.Text();
    const std::string written = head + writer.output.Text().substr(start, end - 1 - start);
    Program& receiver = Start(Mirror(), {"lumivex-bridge", "receive", "--domain", domain});
    ASSERT_NE(receiver.output.WaitFor("sender joined (1 alive)", 0, patience), std::string::npos)
        << receiver.output.Text();

    // The channel is created before its first state is written into it.
    const auto deadline = std::chrono::steady_clock::now() + patience;
    ChannelState mirrored;
    while (!(Read(Mirror(), 5, mirrored) && Line(5, mirrored) == written) &&
           std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(Milliseconds(20));
    EXPECT_EQ(Line(5, mirrored), written) << receiver.output.Text();
}

}  // namespace
