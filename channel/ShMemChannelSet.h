#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>

#include "platform/SharedMemory.h"
#include "channel/ChannelDiscovery.h"
#include "channel/ChannelName.h"
#include "channel/HalfWrites.h"

// Why a channel is not open or not read, for messages.
struct ChannelTrouble {
    platform::ObjectCheck check{platform::OpenStatus::Missing};  // the last attempt to open the channel
    bool mutexObject = false;                                    // which object `check` is about
    bool held = false;                                           // the last wait for its mutex ran out
    bool abandoned = false;                                      // the last lock found its holder dead
    bool halfWritten = false;           // it holds what a server that died in the middle of a write left (HalfWrites)
    std::chrono::nanoseconds waited{};  // how long the last lock could wait
    bool readOnly = false;              // read through the write sequence
};

// The sixteen channels one instrument of the tracking server can publish: a
// shared region and its mutex each. Keeps the handles, re-attaches channels
// that are missing or were replaced, and locks and unlocks the current
// channel. How a channel is opened is up to the derived class; when and which
// channels are looked for is up to its ChannelDiscovery.
//
// A channel is read in one of two ways. Locked: under the server's mutex.
// Read-only: without touching the mutex object, through the write sequence
// the server keeps in the region (station_layout::sequenceOffset); Lock then
// waits for a moment when no write is in progress, and Unlock tells whether
// a write began since, which tore the copy (Torn): copy again.
class ShMemChannelSet {
public:
    static constexpr int maxChannels = channelsPerInstrument;
    static constexpr int nameCapacity = ChannelName::capacity;
    // How long Lock waits for a server's mutex. A server holds it for the
    // microseconds one write takes, so 10 ms is ample even for a writer the
    // scheduler preempted; a server stuck with it costs a frame at most 10 ms
    // per row, so the viewer still draws and answers keys.
    static constexpr std::chrono::milliseconds lockBudget{10};

    ShMemChannelSet(int instrument, int channelCount);
    ShMemChannelSet(const ShMemChannelSet&) = delete;
    ShMemChannelSet& operator=(const ShMemChannelSet&) = delete;
    virtual ~ShMemChannelSet();

    virtual bool Lock();
    // Lock, waiting at most `budget` instead of lockBudget, and reading what
    // a holder that died left: for a caller that reads once and can afford to
    // wait out a slow write, such as the start-up report.
    bool LockWithin(std::chrono::nanoseconds budget);
    // False when nothing is held now that was held, or when the copy made
    // since Lock is not to be used: torn by a write (Torn), or from a region
    // that vanished.
    virtual bool Unlock();
    // Whether the last Unlock failed only because a write tore the copy.
    bool Torn() const { return torn; }
    // Opens channel `index` under the names ShMemName and MutexName; when it
    // cannot, `trouble` says which object failed and why.
    virtual bool OpenChannel(int index, ChannelTrouble& trouble) = 0;
    void CloseAll();

    void CloseChannel(int index);
    // Maps the region whose handle OpenChannel stored; closes the channel when
    // that fails, with the reason in `check`.
    bool MapChannel(int index, platform::ObjectCheck& check);
    bool Attach();
    int SelectChannel(int index);
    int ActiveStationCount();

    // Lock, ReadView and Unlock of one range in one step, for a channel that
    // is locked (not read-only): one check of the objects for the whole read.
    bool ReadLocked(std::size_t offset, void* destination, std::size_t length);

    // Between Lock and Unlock: copies `length` bytes at `offset` of the
    // current channel's region. False for a range outside the mapping, or when
    // the server shrank the region under it; such a channel is closed at
    // Unlock, and the next Attach opens it at its new size.
    bool ReadView(std::size_t offset, void* destination, std::size_t length);

    // The current channel's mapped bytes (null when it is not mapped) and how
    // many there are. Read them only through ReadView.
    const unsigned char* CurrentView() const { return views[currentChannel].base; }
    std::size_t CurrentViewLength() const { return views[currentChannel].length; }

    int Instrument() const { return instrument; }
    void SetInstrument(int number);
    int CurrentChannel() const { return currentChannel; }
    uint32_t ChannelMask() const { return channelMask; }
    bool IsLocked() const { return locked; }
    bool IsChannelOpen(int index) const;
    // Whether an open channel is read through its write sequence.
    bool IsReadOnly(int index) const { return IsChannelIndex(index) && readOnlyMask >> index & 1u; }
    // True when the server removed an open channel's objects. Its mapping
    // keeps the last contents written until a server creates new ones. Known
    // only with a watch on the shared objects; without one, always false.
    bool IsChannelRemoved(int index) const;
    const char* ShMemName() const { return shMemName; }
    const char* MutexName() const { return mutexName; }
    // How often a writer of the channel was found dead (HalfWrites::Deaths).
    uint32_t WriterDeaths(int index) const { return IsChannelIndex(index) ? halfWrites.Deaths(index) : 0; }
    // Nothing known (Missing) for an index that names no channel.
    ChannelTrouble Trouble(int index) const { return IsChannelIndex(index) ? troubles[index] : ChannelTrouble{}; }
    static bool IsChannelIndex(int index) { return index >= 0 && index < maxChannels; }

protected:
    int instrument = 0;
    int currentChannel = 0;
    bool locked = false;
    uint32_t channelMask = 1;
    platform::RegionView views[maxChannels];
    platform::RegionHandle mappings[maxChannels];
    platform::SharedMutex* mutexes[maxChannels] = {};
    // Channels Attach opened and nobody closed since.
    uint32_t openMask = 0;
    // Open channels read through the write sequence, without a mutex.
    uint32_t readOnlyMask = 0;
    char mutexName[nameCapacity] = {};
    char shMemName[nameCapacity] = {};

private:
    enum class AbandonedLock { Release, Keep };
    bool TakeLock(std::chrono::nanoseconds budget, AbandonedLock abandoned);
    platform::LockResult WaitForNoWrite(std::chrono::nanoseconds budget);
    platform::LockResult Judge(platform::LockResult result, AbandonedLock abandoned);
    bool ReadAfterHalfWrite(std::size_t offset, void* destination, std::size_t length);
    bool NoteLock(platform::LockResult result, std::chrono::nanoseconds budget);
    bool EndRead();
    static platform::LockResult Recover(platform::SharedMutex* mutex, AbandonedLock abandoned);
    void WriteChannelNames(int index);
    void Look();
    void TryChannel(int index);

    ChannelDiscovery discovery;
    ChannelTrouble troubles[maxChannels];
    HalfWrites halfWrites;
    uint32_t sequenceAtLock = 0;
    bool torn = false;
};
