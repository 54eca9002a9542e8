// Fuzzes the bridge's sample decoder with samples built from the input:
//   int32 instrument, int32 bin, uint32 write count, uint32 flags,
//   uint32 timestamp, uint16 length of the records, the records, and the
//   rest of the input as the description's bytes.
// A sample that decodes must describe a channel a receiver can write.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "bridge/SampleCodec.h"

namespace {

struct Input {
    const uint8_t* data;
    size_t size;

    template <typename T>
    T Take() {
        T value{};
        size_t count = size < sizeof(T) ? size : sizeof(T);
        std::memcpy(&value, data, count);
        data += count, size -= count;
        return value;
    }
    std::vector<uint8_t> TakeBytes(size_t wanted) {
        size_t count = size < wanted ? size : wanted;
        std::vector<uint8_t> bytes(data, data + count);
        data += count, size -= count;
        return bytes;
    }
};

dds_sequence_octet Sequence(std::vector<uint8_t>& bytes) {
    uint32_t length = static_cast<uint32_t>(bytes.size());
    return dds_sequence_octet{length, length, bytes.empty() ? nullptr : bytes.data(), false};
}

void Check(bool condition) {
    if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Input input{data, size};
    LumivexBridge_ChannelSample sample{};
    sample.instrument = input.Take<int32_t>();
    sample.bin = input.Take<int32_t>();
    sample.writeCount = input.Take<uint32_t>();
    sample.flags = input.Take<uint32_t>();
    sample.timestampMicros = input.Take<uint32_t>();
    std::vector<uint8_t> records = input.TakeBytes(input.Take<uint16_t>());
    std::vector<uint8_t> description = input.TakeBytes(input.size);
    sample.records = Sequence(records);
    sample.description = Sequence(description);

    DecodedSample decoded;
    if (!DecodeSample(sample, decoded).empty()) return 0;
    Check(decoded.instrument >= 0 && decoded.instrument < 16 && decoded.bin >= 0 && decoded.bin < 16);
    Check(decoded.state.description.size() <= station_layout::maxDescriptionLength);
    Check(decoded.state.description.find('\0') == std::string::npos);
    Check(std::memcmp(decoded.state.records, records.data(), sizeof(decoded.state.records)) == 0);
    return 0;
}
