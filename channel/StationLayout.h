#pragma once

#include <cstddef>
#include <cstdint>

// How the tracking server lays out one channel's region. Multi-byte values are
// little-endian; floats are IEEE single precision. Besides the flags word, the
// header carries our publisher's liveness convention: a write counter and the
// low 32 bits of a monotonic clock in microseconds at the write. Other servers
// may leave both 0.
namespace station_layout {

constexpr std::size_t writeCountOffset = 0;
constexpr std::size_t flagsOffset = 4;
constexpr std::size_t timestampOffset = 8;
constexpr std::size_t headerSize = 12;
constexpr std::size_t recordsOffset = 12;
constexpr std::size_t recordSize = 24;
constexpr int stationCount = 32;
constexpr std::size_t descriptionOffset = 1317;  // odd on purpose: the server puts it there
constexpr std::size_t minimumRegionSize = descriptionOffset + 1;
// Room our servers give a region: the description and its NUL fit behind the records.
constexpr std::size_t publishedRegionSize = 4096;
constexpr std::size_t maxDescriptionLength = publishedRegionSize - descriptionOffset - 1;

// The write sequence, in bytes the layout leaves to the server (780..1316).
// It lets a reader that may not lock the mutex (another user, with read
// access only) copy a consistent image without writing a byte: our servers
// make the word odd before they change anything and even again after, always
// under the mutex; a reader reads it, copies, reads it again, and keeps the
// copy only when both reads agree on an even value. The mark, stored last
// with the first content, says that the server keeps the word; a region
// without it can only be read under the mutex. The writer's process id is
// there for messages only.
constexpr std::size_t sequenceMarkOffset = 780;
constexpr std::size_t sequenceOffset = 784;
constexpr std::size_t writerProcessOffset = 788;
constexpr uint32_t sequenceMark = 0x5358564Cu;  // bytes "LVXS"

// Flags word.
constexpr uint32_t stationActiveBits = 0xFu;  // bit k: station k (0..3) is active
constexpr uint32_t formatCartesian = 0x10u;
constexpr uint32_t formatEuler = 0x20u;
constexpr uint32_t formatQuaternion = 0x40u;
constexpr int unitShift = 8;
constexpr uint32_t unitBits = 0xFu;

// The formats a flags word can announce, with the label reports give them.
struct ChannelFormat {
    uint32_t bit;
    const char* label;
};
inline constexpr ChannelFormat channelFormats[] = {
    {formatCartesian, "CART"}, {formatEuler, "EULR"}, {formatQuaternion, "QUAT"}};

// Unit codes of the positions; any other code counts as metres.
constexpr uint32_t unitInches = 0;
constexpr uint32_t unitCentimetres = 1;
constexpr uint32_t unitMetres = 2;

// What a unit code means: the factor to centimetres and the report's label.
struct ChannelUnit {
    float scale;
    const char* label;
};

inline ChannelUnit UnitOfCode(uint32_t code) {
    static const ChannelUnit units[] = {{2.54f, "INCHES"}, {1.0f, "CMETER"}, {100.0f, "METERS"}};
    return units[code <= unitMetres ? code : unitMetres];
}

// Only stations 0..3 have an active bit; of the others it is not known
// whether they are active.
constexpr bool StationKnownInactive(uint32_t flags, int station) {
    return station >= 0 && station < 4 && !(flags >> station & 1u);
}
constexpr std::size_t RecordOffset(int station) {
    return recordsOffset + recordSize * static_cast<std::size_t>(station);
}
constexpr uint32_t UnitCode(uint32_t flags) { return (flags >> unitShift) & unitBits; }

inline uint32_t ReadLittleEndian32(const unsigned char* bytes) {
    return uint32_t{bytes[0]} | uint32_t{bytes[1]} << 8 | uint32_t{bytes[2]} << 16 | uint32_t{bytes[3]} << 24;
}
inline void WriteLittleEndian32(unsigned char* bytes, uint32_t value) {
    for (int i = 0; i < 4; ++i) bytes[i] = static_cast<unsigned char>(value >> (8 * i));
}

}  // namespace station_layout

// One station's pose: position in the channel's unit, then rotations about
// z, y and x in radians. Scene objects and the viewpoint share this layout.
struct StationRecord {
    float x;
    float y;
    float z;
    float azimuth;
    float elevation;
    float roll;
};
static_assert(sizeof(StationRecord) == station_layout::recordSize, "a station record is six packed floats");
