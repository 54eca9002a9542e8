#include "channel/ChannelDiscovery.h"

namespace {

// How long a channel whose objects exist but cannot be opened yet waits
// before the next try.
constexpr uint64_t pendingRetryIntervalMs = 5;

}  // namespace

ChannelDiscovery::ChannelDiscovery(int instrumentNumber) : instrument(instrumentNumber) {}

void ChannelDiscovery::SetInstrument(int number) {
    instrument = number;
    pendingMask = refusedMask = 0;
    lookRequested = true;
}

bool ChannelDiscovery::LookDue() {
    if (!watched) return true;
    changes = platform::SharedObjectChangeCount();
    return lookRequested || changes != seenChanges || (pendingMask && platform::CoarseMilliseconds() >= pendingRetryMs);
}

// Only a change that names a channel's objects can have replaced them or
// changed whom they trust.
uint32_t ChannelDiscovery::StaleChannels(uint32_t open, uint32_t readOnly) {
    if (!watched || changes == seenChanges) return 0;
    uint32_t stale = 0;
    for (int i = 0; i < channelsPerInstrument; ++i) {
        if (!(open >> i & 1u) || !NamesChangedSince(i, seenChanges)) continue;
        NoteRemoval(i);
        if (IsReplaced(i) || NoLongerTrusted(i, readOnly >> i & 1u)) stale |= 1u << i;
    }
    return stale;
}

// Without news from the watch, only channels still being set up are tried.
uint32_t ChannelDiscovery::ChannelsToTry(uint32_t closed) {
    if (!watched) return closed;
    if (!lookRequested && changes == seenChanges) return closed & pendingMask;
    uint32_t candidates = closed;
    for (int i = 0; i < channelsPerInstrument; ++i)
        if ((refusedMask >> i & 1u) && !retry.WorthRetrying({instrument, i}, refusedAt[i])) candidates &= ~(1u << i);
    return candidates;
}

bool ChannelDiscovery::RegionExists(int index) const {
    return platform::NamedObjectIdentity(NameOf(ChannelObject::Region, index).text).Exists();
}

// The mutex's identity is taken before it is opened: should it be replaced in
// between, the next change makes the channel open again, never the reverse.
void ChannelDiscovery::BeforeOpen(int index) {
    pendingMask &= ~(1u << index);
    refusedMask &= ~(1u << index);
    mutexIdentities[index] = platform::NamedObjectIdentity(NameOf(ChannelObject::Mutex, index).text);
}

void ChannelDiscovery::Opened(int index, platform::RegionHandle region) {
    regionIdentities[index] = platform::RegionIdentity(region);
    removedMask &= ~(1u << index);
}

void ChannelDiscovery::NotOpened(int index, const platform::ObjectCheck& check) {
    if (platform::IsRefusal(check.status)) {
        refusedMask |= 1u << index;
        refusedAt[index] = changes;
    } else {
        pendingMask |= 1u << index;
    }
}

void ChannelDiscovery::LookDone() {
    seenChanges = changes;
    lookRequested = false;
    if (pendingMask) pendingRetryMs = platform::CoarseMilliseconds() + pendingRetryIntervalMs;
}

// A server that ended removed its objects; one that starts again creates new
// ones under the same names. The old mapping is given up only once a new
// region exists, so until then the channel keeps the last contents written.
bool ChannelDiscovery::IsReplaced(int index) const {
    platform::ObjectIdentity region = platform::NamedObjectIdentity(NameOf(ChannelObject::Region, index).text);
    if (!region.Exists()) return false;
    if (region != regionIdentities[index]) return true;
    platform::ObjectIdentity mutex = platform::NamedObjectIdentity(NameOf(ChannelObject::Mutex, index).text);
    return mutex.Exists() && mutex != mutexIdentities[index];
}

// The mapping of a removed channel stays, with the last contents written,
// until a server creates new objects (IsReplaced).
void ChannelDiscovery::NoteRemoval(int index) {
    removedMask = RegionExists(index) ? removedMask & ~(1u << index) : removedMask | 1u << index;
}

// A chmod or setfacl after the channel was opened.
bool ChannelDiscovery::NoLongerTrusted(int index, bool readOnly) const {
    if (platform::IsRefusal(platform::CheckSharedObject(NameOf(ChannelObject::Region, index).text).status)) return true;
    if (readOnly) return false;
    return platform::IsRefusal(platform::CheckSharedObject(NameOf(ChannelObject::Mutex, index).text, true).status);
}
