#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "ChannelSample.h"
#include "channel/ChannelState.h"

// The one place where channel states become DDS samples and back.

// A sample ready for dds_write; it owns the bytes its sequences point into,
// so it cannot be copied.
class EncodedSample {
public:
    EncodedSample(int instrument, int bin, const ChannelState& state);
    EncodedSample(const EncodedSample&) = delete;
    EncodedSample& operator=(const EncodedSample&) = delete;

    const LumivexBridge_ChannelSample& Sample() const { return sample; }

private:
    std::vector<uint8_t> records;
    std::vector<uint8_t> description;
    LumivexBridge_ChannelSample sample{};
};

struct DecodedSample {
    int instrument = 0;
    int bin = 0;
    ChannelState state;
};

// Checks a received sample and unpacks it. Samples come from the network, so
// nothing in them is trusted: an instrument or bin outside 0..15, records that
// are not exactly 32 stations, or a description that is not one NUL-terminated
// text the local region can hold are refused. Returns "" on success, else
// the reason, and `decoded` is then unspecified.
std::string DecodeSample(const LumivexBridge_ChannelSample& sample, DecodedSample& decoded);

// Checks only a received sample's key (instrument and bin), which came
// through the partition of instrument `partition`: "" when the key is one of
// that instrument's channels, else why not.
std::string KeyProblem(const LumivexBridge_ChannelSample& sample, int partition);

// Whole-state equality: the sender publishes only what changed.
bool SameState(const ChannelState& a, const ChannelState& b);
