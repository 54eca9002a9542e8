#pragma once

#include <cstdint>
#include <string>

// What a rig's permissions grant, by the names the bridge uses on DDS: the
// domains, the topic that carries channel states, and each instrument's
// partition, so that a grant can name the instruments a member may send.

// Cyclone's access control reads domain ids up to 230 only.
constexpr uint32_t highestRigDomain = 230;
constexpr const char* bridgeTopic = "LumivexChannelState";

inline std::string InstrumentPartition(int instrument) { return "lumivex-instrument-" + std::to_string(instrument); }
// Matches every instrument's partition.
constexpr const char* anyInstrumentPartition = "lumivex-instrument-*";
