#include "tracker/StationReader.h"

#include <cstring>

#include "tracker/StationLayout.h"

bool BeginStationRead(TrackerClient& client, int bin) {
    return client.SelectChannel(bin) == bin && client.Attach() && client.Lock();
}

static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "records are little-endian and copied as they are");

bool CopyStationRecord(const TrackerClient& client, int station, float* destination) {
    const unsigned char* view = client.CurrentView();
    if (!view || station < 0 || station >= station_layout::stationCount) return false;
    std::memcpy(destination, view + station_layout::RecordOffset(station), station_layout::recordSize);
    return true;
}

// The mutex is released whether or not the record could be copied.
bool ReadStationPose(TrackerClient& client, int bin, int station, float* destination) {
    if (!BeginStationRead(client, bin)) return false;
    bool copied = CopyStationRecord(client, station, destination);
    client.Unlock();
    return copied;
}

uint32_t ReadFlagsWord(const TrackerClient& client) {
    const unsigned char* view = client.CurrentView();
    return view ? station_layout::ReadLittleEndian32(view + station_layout::flagsOffset) : 0;
}

std::string ReadDescription(const TrackerClient& client) {
    const char* view = reinterpret_cast<const char*>(client.CurrentView());
    std::size_t length = client.CurrentViewLength();
    if (!view || length <= station_layout::descriptionOffset) return std::string();
    const char* text = view + station_layout::descriptionOffset;
    return std::string(text, strnlen(text, length - station_layout::descriptionOffset));
}

// Under the lock.
static void CopyChannelState(const TrackerClient& client, ChannelState& state) {
    const unsigned char* view = client.CurrentView();
    state.writeCount = station_layout::ReadLittleEndian32(view + station_layout::writeCountOffset);
    state.flags = station_layout::ReadLittleEndian32(view + station_layout::flagsOffset);
    state.timestampMicros = station_layout::ReadLittleEndian32(view + station_layout::timestampOffset);
    std::memcpy(state.records, view + station_layout::recordsOffset, sizeof(state.records));
    state.description = ReadDescription(client);
}

bool ReadChannelState(TrackerClient& client, int bin, ChannelState& state) {
    if (!BeginStationRead(client, bin)) return false;
    bool copied = client.CurrentView() != nullptr;
    if (copied) CopyChannelState(client, state);
    client.Unlock();
    return copied;
}

void NormalisePosition(float* pose, float scale, const float (&originOffset)[3]) {
    for (int axis = 0; axis < 3; ++axis) pose[axis] = pose[axis] * scale + originOffset[axis];
}
