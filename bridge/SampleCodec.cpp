#include "bridge/SampleCodec.h"

#include <cstring>

#include "channel/ChannelId.h"

namespace {

// ChannelSample.idl bounds the two sequences by these sizes; other DDS
// implementations size their samples by the bounds, so they change together.
static_assert(sizeof(ChannelState::records) == 768, "records bound in ChannelSample.idl");
static_assert(station_layout::maxDescriptionLength + 1 == 2779, "description bound in ChannelSample.idl");

uint8_t* Bytes(std::vector<uint8_t>& buffer) { return buffer.empty() ? nullptr : buffer.data(); }

dds_sequence_octet Sequence(std::vector<uint8_t>& buffer) {
    uint32_t length = static_cast<uint32_t>(buffer.size());
    return dds_sequence_octet{length, length, Bytes(buffer), false};
}

bool InRange(int32_t value) { return ChannelId::InRange(value); }

std::string CheckDescription(const dds_sequence_octet& description) {
    if (description._length == 0 || !description._buffer) return "description is empty, not even a NUL";
    if (description._length > station_layout::maxDescriptionLength + 1) return "description is too long";
    const void* firstNul = std::memchr(description._buffer, 0, description._length);
    if (!firstNul) return "description is not NUL-terminated";
    if (firstNul != description._buffer + description._length - 1) return "description has a NUL before its end";
    return "";
}

std::string CheckKey(const LumivexBridge_ChannelSample& sample) {
    if (!InRange(sample.instrument)) return "instrument " + std::to_string(sample.instrument) + " is not 0..15";
    if (!InRange(sample.bin)) return "bin " + std::to_string(sample.bin) + " is not 0..15";
    return "";
}

std::string CheckSample(const LumivexBridge_ChannelSample& sample) {
    std::string problem = CheckKey(sample);
    if (!problem.empty()) return problem;
    if (sample.records._length != sizeof(ChannelState::records) || !sample.records._buffer)
        return "records are " + std::to_string(sample.records._length) + " bytes, not " +
               std::to_string(sizeof(ChannelState::records));
    return CheckDescription(sample.description);
}

}  // namespace

EncodedSample::EncodedSample(int instrument, int bin, const ChannelState& state)
    : records(reinterpret_cast<const uint8_t*>(state.records),
              reinterpret_cast<const uint8_t*>(state.records) + sizeof(state.records)),
      description(state.description.begin(), state.description.end()) {
    // A longer text would not fit a receiver's region; cut it as a writer would.
    if (description.size() > station_layout::maxDescriptionLength)
        description.resize(station_layout::maxDescriptionLength);
    description.push_back(0);
    sample.instrument = instrument;
    sample.bin = bin;
    sample.writeCount = state.writeCount;
    sample.flags = state.flags;
    sample.timestampMicros = state.timestampMicros;
    sample.records = Sequence(records);
    sample.description = Sequence(description);
}

std::string DecodeSample(const LumivexBridge_ChannelSample& sample, DecodedSample& decoded) {
    std::string problem = CheckSample(sample);
    if (!problem.empty()) return problem;
    decoded.instrument = sample.instrument;
    decoded.bin = sample.bin;
    decoded.state.writeCount = sample.writeCount;
    decoded.state.flags = sample.flags;
    decoded.state.timestampMicros = sample.timestampMicros;
    std::memcpy(decoded.state.records, sample.records._buffer, sizeof(decoded.state.records));
    decoded.state.description.assign(reinterpret_cast<const char*>(sample.description._buffer),
                                     sample.description._length - 1);
    return "";
}

std::string KeyProblem(const LumivexBridge_ChannelSample& sample, int partition) {
    std::string problem = CheckKey(sample);
    if (problem.empty() && sample.instrument != partition)
        problem = "claims instrument " + std::to_string(sample.instrument) + " but came as instrument " +
                  std::to_string(partition);
    return problem;
}

bool SameState(const ChannelState& a, const ChannelState& b) {
    return a.writeCount == b.writeCount && a.flags == b.flags && a.timestampMicros == b.timestampMicros &&
           std::memcmp(a.records, b.records, sizeof(a.records)) == 0 && a.description == b.description;
}
