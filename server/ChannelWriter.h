#pragma once

#include <chrono>
#include <cstdint>
#include <string>

#include "platform/SharedMemory.h"
#include "platform/WriterClaim.h"
#include "channel/ChannelState.h"

// One channel as a server owns it: the region, mapped read-write, and its
// mutex. Every program that writes channels (the publisher, replay, the bridge
// receiver) writes through this class. A channel has one writer at a time:
// Open claims it first and refuses a channel another process writes. Closing
// leaves both objects in place; Remove takes away those that are still its own.
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
    // How often a writer looks whether its objects are still the ones it
    // made, so that a reader never waits longer than this for a channel that
    // someone removed or replaced to come back.
    static constexpr uint64_t checkPeriodMs = 100;
    // The stamp our servers write: the low 32 bits of the monotonic clock in
    // microseconds, which readers compare with their own clock to tell how
    // old a pose is.
    static uint32_t StampMicros();

    // Claims the channel, then opens the objects or creates them: the region
    // with the permission bits `mode`, the mutex object 0600 whatever `mode`
    // says. Writes `first` into the region before any reader can read it. An
    // existing region shorter than a published one gets its full size back.
    // Objects that exist must pass the readers' trust rule (and the mutex be
    // of our kind); otherwise false, and Failure says which and why. A refused
    // Open removes the objects it created itself, never ones that were there.
    bool Open(unsigned mode, const ChannelState& first);
    // Takes the mutex; one left behind by a server that died is taken over.
    // A mutex held past the budget is not waited for: false, and the write
    // counts as skipped. Objects found removed or replaced are first created
    // again (see TakeNotice); false without a skip when that fails. A lock
    // the system fails is told by Failure.
    bool Lock();
    bool Unlock();
    // Call while holding the mutex. A description longer than the region
    // holds is cut short. A region that someone shrank under the mapping is
    // given back its size and written again; shrunk again during that, the
    // write is lost and counted. False when the size cannot be given back.
    bool Write(const ChannelState& state);
    // Lock, Write, Unlock; true also when the write was skipped.
    bool Publish(const ChannelState& state);
    // Removes the objects this writer writes (those of its last successful
    // Open) that still carry their names, and closes them; true when none of
    // them remains under its name.
    bool Remove();
    // Removes both names, whatever objects they refer to now; true when
    // neither remains.
    bool Unlink();
    // Whether another process writes the channel now, whoever owns it, and
    // which: "process PID" when its region tells.
    bool HasLiveWriter(std::string& writer) const;

    const std::string& RegionName() const { return regionName; }
    const std::string& MutexName() const { return mutexName; }
    // After a failed Open: the object refused or not created, by its full
    // name, and what was found.
    const std::string& RefusedObject() const { return refusedObject; }
    const platform::ObjectCheck& Refusal() const { return refusal; }
    // After a failed Open: "cannot use NAME: why", or "cannot use NAME: has a
    // live writer, process PID"; after a failed write or lock: "cannot write
    // NAME: why".
    std::string Failure() const;
    // Once after the objects were created again: why; empty otherwise.
    std::string TakeNotice();
    // Writes skipped because the mutex stayed held past the budget.
    uint64_t SkippedWrites() const { return skippedWrites; }
    // Writes lost because the region was shrunk again while being restored.
    uint64_t LostWrites() const { return lostWrites; }

private:
    bool Claim();
    bool OpenRegion();
    bool OpenMutex(const ChannelState& first);
    // Whether a reader could open and lock the channel's mutex now.
    bool MutexUsable() const;
    void RemoveCreated();
    void Close();
    bool Intact();
    bool Recreate();
    bool CopyIn(const ChannelState& state);
    bool CopyContent(const ChannelState& state);
    bool Remap();
    void NoteLockFailure();
    std::string WriterOfRegion() const;

    std::string regionName;
    std::string mutexName;
    unsigned mode = 0600;
    platform::ClaimHandle claim = platform::noClaim;
    platform::ObjectIdentity regionIdentity;
    platform::ObjectIdentity mutexIdentity;
    platform::RegionHandle region = platform::noRegion;
    platform::RegionView view;
    platform::SharedMutex* mutex = nullptr;
    std::string refusedObject;
    platform::ObjectCheck refusal;
    std::string otherWriter;
    bool growFailed = false;  // a shrunk region could not be given back its size (`refusal` says why)
    bool lockFailed = false;  // the system failed the last lock (`refusal` says why)
    bool createdRegion = false;
    bool createdMutex = false;
    uint64_t nextCheckMs = 0;
    ChannelState last;  // what is created again when the objects go
    std::string notice;
    uint64_t skippedWrites = 0;
    uint64_t lostWrites = 0;
};
