#pragma once

#include <chrono>
#include <cstdint>
#include <string>

#include "channel/ChannelState.h"
#include "channel/TrackerClient.h"

// Reading a channel of the tracking server. The order is always: select the
// channel, attach, lock, copy, unlock; nothing is read without the lock, and
// a copy that a write tore (a channel read through its write sequence) is
// made again. Every copy goes through ReadBin or ReadBinWithin.

// Select `bin` (go on only if it is the current channel then) and re-attach
// missing channels.
bool SelectBin(TrackerClient& client, int bin);

namespace station_reading {

// A torn copy means the server wrote during it; the next copy catches the
// gap after that write unless the server writes flat out. Each try waits at
// most the lock's budget, so a read stays bounded.
constexpr int maxCopies = 16;

template <typename Lock, typename Copy>
bool CopyWhole(TrackerClient& client, Lock&& lock, Copy&& copy) {
    for (int attempt = 0; attempt < maxCopies; ++attempt) {
        if (!lock()) return false;
        bool copied = copy();
        if (client.Unlock()) return copied;
        if (!client.Torn()) return false;
    }
    return false;
}

}  // namespace station_reading

// The reading protocol around `copy` (a callable returning whether it
// copied; it may run more than once, and only its last run counts): true
// when `copy` returned true on a whole image.
template <typename Copy>
bool ReadBin(TrackerClient& client, int bin, Copy&& copy) {
    return SelectBin(client, bin) && station_reading::CopyWhole(
                                         client, [&client] { return client.Lock(); }, copy);
}

// The same for a read made once: waits up to `budget` for each lock, and
// reads what a holder that died left (ShMemChannelSet::LockWithin).
template <typename Copy>
bool ReadBinWithin(TrackerClient& client, int bin, std::chrono::nanoseconds budget, Copy&& copy) {
    return SelectBin(client, bin) && station_reading::CopyWhole(
                                         client, [&client, budget] { return client.LockWithin(budget); }, copy);
}

// Under the lock: copies the station's record, six floats, into `destination`.
// False for a station outside 0..31 (`destination` untouched), an unmapped
// channel, or a region the server shrank (`destination` may then be partly
// written; the channel is closed at Unlock).
bool CopyStationRecord(TrackerClient& client, int station, float* destination);

// The whole protocol for one station. False when nothing was written, or
// nothing sound.
bool ReadStationPose(TrackerClient& client, int bin, int station, float* destination);

// Under the lock: the current channel's flags word and tracker description.
// The description ends at its NUL, at the end of the region or after
// station_layout::maxDescriptionLength characters, whichever comes first.
// Both give 0 or an empty text when the region cannot be read.
uint32_t ReadFlagsWord(TrackerClient& client);
std::string ReadDescription(TrackerClient& client);

// The whole protocol for a channel's full state: header, every record and the
// description. False when nothing was copied.
bool ReadChannelState(TrackerClient& client, int bin, ChannelState& state);
// The same for a read made once: waits up to `budget` for the mutex, and
// reads what a holder that died left (ShMemChannelSet::LockWithin).
bool ReadChannelStateWithin(TrackerClient& client, int bin, ChannelState& state, std::chrono::nanoseconds budget);

// A copied position, in the channel's unit, to centimetres in the viewer's
// frame: times the unit scale, plus the origin offset. Angles are untouched.
void NormalisePosition(float* pose, float scale, const float (&originOffset)[3]);
