// Samples arrive from the network: the receiver writes only what decodes, and
// drops the rest with one warning line.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "bridge/BridgeReceiver.h"
#include "bridge/SampleCodec.h"
#include "platform/SharedMemory.h"
#include "tests/tracker/TrackerTestSupport.h"
#include "channel/StationReader.h"

namespace {

ChannelState ExampleState() {
    ChannelState state;
    state.writeCount = 7;
    state.flags = 0x213;
    state.timestampMicros = 0xDEADBEEF;
    for (int k = 0; k < station_layout::stationCount; ++k) state.records[k] = {1.0f * k, 2.0f, 3.0f, 0.1f, 0.2f, -0.3f};
    state.description = "Bridged";
    return state;
}

struct BadSample {
    const char* name;
    std::function<void(LumivexBridge_ChannelSample&, std::vector<uint8_t>&)> spoil;
    const char* reason;
};

const BadSample badSamples[] = {
    {"InstrumentTooHigh", [](auto& s, auto&) { s.instrument = 16; }, "instrument 16"},
    {"BinNegative", [](auto& s, auto&) { s.bin = -1; }, "bin -1"},
    {"RecordsShort", [](auto& s, auto&) { s.records._length = 767; }, "records are 767 bytes"},
    {"RecordsMissing", [](auto& s, auto&) { s.records = {}; }, "records are 0 bytes"},
    {"DescriptionUnterminated",
     [](auto& s, auto& text) { s.description._buffer = text.data(), s.description._length = 3; }, "not NUL-terminated"},
    {"DescriptionEmpty", [](auto& s, auto&) { s.description = {}; }, "empty"},
    {"DescriptionInnerNul", [](auto& s, auto&) { s.description._buffer[2] = 0; }, "NUL before its end"},
    {"DescriptionTooLong",
     [](auto& s, auto& text) {
         text.assign(station_layout::maxDescriptionLength + 2, 0);
         s.description._buffer = text.data(), s.description._length = static_cast<uint32_t>(text.size());
     },
     "too long"},
};

void PrintTo(const BadSample& sample, std::ostream* out) { *out << sample.name; }

class SampleCodecTest : public SharedMemoryTest, public ::testing::WithParamInterface<BadSample> {
protected:
    bool ReadBack(ChannelState& state) {
        TrackerClient client(2);
        client.Attach();  // a bin is selectable only once attached
        return ReadChannelState(client, 9, state);
    }
    BridgeReceiver receiver{1u << 2, 1u << 9, 0600};
};

TEST_F(SampleCodecTest, GoodSampleIsWrittenWhole) {
    EncodedSample sample(2, 9, ExampleState());
    receiver.Apply(sample.Sample());
    ChannelState copy;
    ASSERT_TRUE(ReadBack(copy));
    EXPECT_TRUE(SameState(copy, ExampleState()));
}

// A flood of one bad sample gives one warning line, not one per sample.
TEST_P(SampleCodecTest, BadSampleIsDroppedWithOneLine) {
    EncodedSample encoded(2, 9, ExampleState());
    LumivexBridge_ChannelSample sample = encoded.Sample();
    std::vector<uint8_t> description(encoded.Sample().description._buffer,
                                     encoded.Sample().description._buffer + encoded.Sample().description._length);
    sample.description._buffer = description.data();
    std::vector<uint8_t> replacement{'a', 'b', 'c'};
    GetParam().spoil(sample, replacement);

    DecodedSample decoded;
    EXPECT_NE(DecodeSample(sample, decoded).find(GetParam().reason), std::string::npos);
    ::testing::internal::CaptureStderr();
    for (int flood = 0; flood < 1000; ++flood) receiver.Apply(sample);
    std::string warning = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(warning.find("sample dropped: "), std::string::npos) << warning;
    EXPECT_EQ(std::count(warning.begin(), warning.end(), '\n'), 1) << warning;
    ChannelState copy;
    EXPECT_FALSE(ReadBack(copy)) << "nothing may be written";
}

INSTANTIATE_TEST_SUITE_P(Decode, SampleCodecTest, ::testing::ValuesIn(badSamples),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
