// The channel topic stays open to DDS programs that are not the bridge: a
// Fast DDS reader and writer (tests/bridge/fastdds), with type support that
// fastddsgen generates from the bridge's IDL, exchange states with the real
// bridge programs. Everything stays on the loopback interface: Cyclone by
// CYCLONEDDS_URI, Fast DDS by the profile it loads before its participant.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <thread>

#include "tests/bridge/BridgeTestSupport.h"

namespace {

using namespace testsupport;
using namespace bridgetest;

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

class FastDdsInteropTest : public LoopbackTest {
protected:
    void SetUp() override {
        if (*LUMIVEX_FASTDDS_MISSING)
            GTEST_SKIP() << "Fast DDS programs not built: " LUMIVEX_FASTDDS_MISSING
                            " not installed (scripts/setup.sh installs them; then configure again)";
        LoopbackTest::SetUp();
    }
};

// The reader joins after the sender has published (late joining), then sees
// a live change; every state arrives with the region's bytes.
TEST_F(FastDdsInteropTest, FastDdsReaderGetsTheSendersStatesByteForByte) {
    PublishOnce("Sent to Fast DDS");
    Program& sender = StartSender();
    Program& reader = Start(Source(), {"fastdds-channel-reader", domain, LUMIVEX_FASTDDS_PROFILE});
    for (const char* description : {"", "Changed while Fast DDS reads"}) {
        if (*description) PublishOnce(description);
        for (int bin : bins) {
            ChannelState region;
            ASSERT_TRUE(ReadChannel(Source(), bin, region));
            EXPECT_NE(reader.output.WaitFor(Line(bin, region), 0, patience), std::string::npos)
                << "bin " << bin << " \"" << region.description << "\"\nreader:\n"
                << reader.output.Text() << "\nsender:\n"
                << sender.output.Text();
        }
    }
}

// The receiver joins after the writer: it counts the writer as a live sender
// and writes its state into shared memory unchanged.
TEST_F(FastDdsInteropTest, ReceiverWritesAFastDdsWritersState) {
    Program& writer =
        Start(Mirror(1), {"fastdds-channel-writer", domain, "3", "5", "Written by Fast DDS", LUMIVEX_FASTDDS_PROFILE});
    const std::string head = "instrument 3 bin 5 ";
    const size_t start = writer.output.WaitFor(head, 0, patience);
    ASSERT_NE(start, std::string::npos) << writer.output.Text();
    const size_t end = writer.output.WaitFor("\n", start, patience);
    ASSERT_NE(end, std::string::npos) << writer.output.Text();
    const std::string written = head + writer.output.Text().substr(start, end - 1 - start);
    Program& receiver = StartReceiver(1);
    ASSERT_NE(receiver.output.WaitFor("sender joined (1 alive)", 0, patience), std::string::npos)
        << receiver.output.Text();

    // The channel is created before its first state is written into it.
    const auto deadline = std::chrono::steady_clock::now() + patience;
    ChannelState mirrored;
    while (!(ReadChannel(Mirror(1), 5, mirrored) && Line(5, mirrored) == written) &&
           std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(Milliseconds(20));
    EXPECT_EQ(Line(5, mirrored), written) << receiver.output.Text();
}

}  // namespace
