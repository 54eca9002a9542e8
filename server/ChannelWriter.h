#pragma once

#include <string>

#include "platform/SharedMemory.h"
#include "tracker/ChannelState.h"

// One channel as a server owns it: the region, mapped read-write, and its
// mutex. Every program that writes channels (the publisher, replay, the bridge
// receiver) writes through this class. Closing it leaves both objects in
// place; Unlink removes them.
class ChannelWriter {
public:
    ChannelWriter(int instrument, int bin);
    ChannelWriter(const ChannelWriter&) = delete;
    ChannelWriter& operator=(const ChannelWriter&) = delete;
    ~ChannelWriter();

    // Opens the objects or creates them with the permission bits `mode`, and
    // writes `first` into the region before any reader can read it. An
    // existing region shorter than a published one gets its full size back.
    bool Open(unsigned mode, const ChannelState& first);
    // Takes the mutex; one left behind by a server that died is taken over.
    bool Lock();
    bool Unlock();
    // Call while holding the mutex. A description longer than the region
    // holds is cut short. A region that someone shrank under the mapping is
    // given back its size and written again; false when even that fails.
    bool Write(const ChannelState& state);
    // Lock, Write, Unlock.
    bool Publish(const ChannelState& state);
    // Removes both names; true when neither remains.
    bool Unlink();

    const std::string& RegionName() const { return regionName; }
    const std::string& MutexName() const { return mutexName; }

private:
    // Whether a reader could open and lock the channel's mutex now.
    bool MutexUsable() const;
    bool CopyIn(const ChannelState& state);

    std::string regionName;
    std::string mutexName;
    platform::RegionHandle region = platform::noRegion;
    platform::RegionView view;
    platform::SharedMutex* mutex = nullptr;
};
