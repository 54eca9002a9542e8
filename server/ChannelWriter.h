#pragma once

#include <chrono>
#include <cstdint>
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

    // How long a write waits for the mutex. Readers hold it for the
    // microseconds a copy takes; anyone who holds it for 100 ms is stuck or
    // hostile, and a writer that waited longer would fall behind its rate (and
    // the bridge's delivery thread, which writes, would stall).
    static constexpr std::chrono::milliseconds lockBudget{100};

    // Opens the objects or creates them with the permission bits `mode`, and
    // writes `first` into the region before any reader can read it. An
    // existing region shorter than a published one gets its full size back.
    // Objects that exist must pass the readers' trust rule (and the mutex be
    // of our kind); otherwise false, and Refusal says which and why. A refused
    // Open removes the objects it created itself, never ones that were there.
    bool Open(unsigned mode, const ChannelState& first);
    // Takes the mutex; one left behind by a server that died is taken over.
    // A mutex held past the budget is not waited for: false, and the write
    // counts as skipped.
    bool Lock();
    bool Unlock();
    // Call while holding the mutex. A description longer than the region
    // holds is cut short. A region that someone shrank under the mapping is
    // given back its size and written again; false when even that fails.
    bool Write(const ChannelState& state);
    // Lock, Write, Unlock; true also when the write was skipped.
    bool Publish(const ChannelState& state);
    // Removes both names; true when neither remains.
    bool Unlink();

    const std::string& RegionName() const { return regionName; }
    const std::string& MutexName() const { return mutexName; }
    // After a failed Open: the object refused or not created, by its full
    // name, and what was found.
    const std::string& RefusedObject() const { return refusedObject; }
    const platform::ObjectCheck& Refusal() const { return refusal; }
    // Writes skipped because the mutex stayed held past the budget.
    uint64_t SkippedWrites() const { return skippedWrites; }

private:
    bool OpenMutex(unsigned mode, const ChannelState& first);
    // Whether a reader could open and lock the channel's mutex now.
    bool MutexUsable() const;
    void RemoveCreated();
    bool CopyIn(const ChannelState& state);

    std::string regionName;
    std::string mutexName;
    platform::RegionHandle region = platform::noRegion;
    platform::RegionView view;
    platform::SharedMutex* mutex = nullptr;
    std::string refusedObject;
    platform::ObjectCheck refusal;
    bool createdRegion = false;
    bool createdMutex = false;
    uint64_t skippedWrites = 0;
};
