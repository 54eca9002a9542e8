#pragma once

#include <cstdint>

#include "platform/SharedMemory.h"
#include "platform/ShMemWatch.h"
#include "channel/ChannelName.h"
#include "channel/RefusalRetry.h"

// Decides, for the sixteen channels of one instrument, when it is worth
// looking for their objects and which channels to open or close, so that a
// channel set need not try every name on every read.
//
// With the process's watch on the shared objects, it looks only when the
// watch saw a change since the last look; then it tries the closed channels,
// and closes the open ones whose objects were replaced or no longer pass the
// trust rule. A channel whose objects exist but cannot be opened yet (a
// server still setting it up) is tried again every few milliseconds; one
// whose objects were refused is tried again only when a change names one of
// them. Without a watch, every closed channel is tried on every look.
class ChannelDiscovery {
public:
    explicit ChannelDiscovery(int instrument);

    // A new instrument: everything is looked at again.
    void SetInstrument(int number);
    // Looks again at the next chance, whatever the watch says: a channel set
    // closed a channel by itself.
    void RequestLook() { lookRequested = true; }

    // Whether a look is due; makes no system call while nothing changed.
    bool LookDue();
    // During a look: of the open channels, those to close, because their
    // objects were replaced or are no longer trusted. The mutex of a channel
    // in `readOnly` is not used, so it is not looked at.
    uint32_t StaleChannels(uint32_t open, uint32_t readOnly);
    // During a look: of the closed channels, those worth trying to open now.
    uint32_t ChannelsToTry(uint32_t closed);
    // Whether channel `index`'s region exists; only asked with a watch, so a
    // name that is not there costs one look-up.
    bool RegionExists(int index) const;
    // Around an attempt to open a channel; `check` says why it failed.
    void BeforeOpen(int index);
    void Opened(int index, platform::RegionHandle region);
    void NotOpened(int index, const platform::ObjectCheck& check);
    void LookDone();
    // Whether the server removed the objects of open channel `index`, as the
    // last look that saw a change naming them found; known only with a watch.
    bool IsRemoved(int index) const { return removedMask >> index & 1u; }

    ChannelName NameOf(ChannelObject object, int index) const { return ::NameOf(object, instrument, index); }

private:
    bool IsReplaced(int index) const;
    bool NoLongerTrusted(int index, bool readOnly) const;
    bool NamesChangedSince(int index, uint64_t count) const {
        return RefusalRetry::NamesChangedSince({instrument, index}, count);
    }
    void NoteRemoval(int index);

    int instrument;
    // Without a watch, every closed channel is tried on every look.
    RefusalRetry retry{std::chrono::milliseconds(0)};
    bool watched = retry.Watched();
    bool lookRequested = true;
    uint64_t seenChanges = 0;
    uint64_t changes = 0;
    uint32_t pendingMask = 0;
    uint32_t refusedMask = 0;
    uint32_t removedMask = 0;
    uint64_t pendingRetryMs = 0;
    uint64_t refusedAt[channelsPerInstrument] = {};
    // The objects each open channel was opened from.
    platform::ObjectIdentity regionIdentities[channelsPerInstrument];
    platform::ObjectIdentity mutexIdentities[channelsPerInstrument];
};
