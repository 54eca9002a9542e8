#pragma once

#include <chrono>
#include <cstdint>
#include <string>

#include "tracker/ChannelState.h"
#include "tracker/TrackerClient.h"

// Reading a channel of the tracking server. The order is always: select the
// channel, attach, lock, read, unlock; nothing is read without the lock.

// Select `bin` (go on only if it is the current channel then), re-attach
// missing channels and take the bin's mutex. True: the caller holds the mutex
// and must call client.Unlock().
bool BeginStationRead(TrackerClient& client, int bin);

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
