#include "channel/StationReader.h"

#include <algorithm>
#include <cstring>

#include "channel/ChannelState.h"
#include "channel/StationLayout.h"

bool SelectBin(TrackerClient& client, int bin) { return client.SelectChannel(bin) == bin && client.Attach(); }

static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "records are little-endian and copied as they are");

bool CopyStationRecord(TrackerClient& client, int station, float* destination) {
    if (station < 0 || station >= station_layout::stationCount) return false;
    return client.ReadView(station_layout::RecordOffset(station), destination, station_layout::recordSize);
}

// A locked channel takes the one-step read: the viewer makes one per row and frame.
bool ReadStationPose(TrackerClient& client, int bin, int station, float* destination) {
    if (station < 0 || station >= station_layout::stationCount || !SelectBin(client, bin)) return false;
    if (!client.IsReadOnly(bin))
        return client.ReadLocked(station_layout::RecordOffset(station), destination, station_layout::recordSize);
    return station_reading::CopyWhole(
        client, [&client] { return client.Lock(); }, [&] { return CopyStationRecord(client, station, destination); });
}

uint32_t ReadFlagsWord(TrackerClient& client) {
    unsigned char flags[4];
    return client.ReadView(station_layout::flagsOffset, flags, sizeof flags) ? station_layout::ReadLittleEndian32(flags)
                                                                             : 0;
}

// Copied piece by piece up to the NUL, so a long region is not copied whole,
// and never past what a region of the published size holds: a server that
// made its region larger, or left out the NUL, cannot make a reader copy (and
// print) megabytes while it holds the server's mutex.
static bool CopyDescription(TrackerClient& client, std::string& text) {
    using namespace station_layout;
    char piece[256];
    std::size_t end = std::min(client.CurrentViewLength(), descriptionOffset + maxDescriptionLength);
    for (std::size_t offset = descriptionOffset; offset < end; offset += sizeof piece) {
        std::size_t length = std::min(sizeof piece, end - offset);
        if (!client.ReadView(offset, piece, length)) return false;
        std::size_t textLength = strnlen(piece, length);
        text.append(piece, textLength);
        if (textLength < length) break;
    }
    return true;
}

std::string ReadDescription(TrackerClient& client) {
    std::string text;
    return CopyDescription(client, text) ? text : std::string();
}

// Under the lock.
static bool CopyChannelState(TrackerClient& client, ChannelState& state) {
    using namespace station_layout;
    unsigned char header[headerSize];
    if (!client.ReadView(0, header, sizeof header)) return false;
    state.writeCount = ReadLittleEndian32(header + writeCountOffset);
    state.flags = ReadLittleEndian32(header + flagsOffset);
    state.timestampMicros = ReadLittleEndian32(header + timestampOffset);
    state.description.clear();
    return client.ReadView(recordsOffset, state.records, sizeof(state.records)) &&
           CopyDescription(client, state.description);
}

bool ReadChannelState(TrackerClient& client, int bin, ChannelState& state) {
    return ReadBin(client, bin, [&] { return CopyChannelState(client, state); });
}

bool ReadChannelStateWithin(TrackerClient& client, int bin, ChannelState& state, std::chrono::nanoseconds budget) {
    return ReadBinWithin(client, bin, budget, [&] { return CopyChannelState(client, state); });
}

void NormalisePosition(float* pose, float scale, const float (&originOffset)[3]) {
    for (int axis = 0; axis < 3; ++axis) pose[axis] = pose[axis] * scale + originOffset[axis];
}
