#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>

#include "platform/SharedMemory.h"
#include "platform/ShMemWatch.h"

// Base names of a channel's region and mutex; two digits (instrument, channel)
// complete each name, e.g. QuillmontShMem01 and QuillmontMutex01.
extern const char* const shMemBaseName;
extern const char* const mutexBaseName;
extern const char* const channelDigits;

// The sixteen channels one instrument of the tracking server can publish: a
// shared region and its mutex each. Keeps the handles, re-attaches channels
// that are missing or were replaced, and locks and unlocks the current
// channel. How a channel is opened is up to the derived class.
//
// Attach looks for channels only when the process's watch on the shared
// objects saw a change since this object's last look (or when the watch cannot
// be set up: then on every call). A channel whose objects exist but cannot be
// opened yet (a server still setting it up) is retried every few
// milliseconds without waiting for a change.
class ShMemChannelSet {
public:
    static constexpr int maxChannels = 16;
    static constexpr int nameCapacity = 32;
    // How long Lock waits for a server's mutex. A server holds it for the
    // microseconds one write takes, so 10 ms is ample even for a writer the
    // scheduler preempted; a server stuck with it costs a frame at most 10 ms
    // per row, so the viewer still draws and answers keys.
    static constexpr std::chrono::milliseconds lockBudget{10};

    enum class MapAccess { Read = 4 };

    ShMemChannelSet(int instrument, int channelCount);
    ShMemChannelSet(const ShMemChannelSet&) = delete;
    ShMemChannelSet& operator=(const ShMemChannelSet&) = delete;
    virtual ~ShMemChannelSet();

    virtual bool Lock();
    virtual bool Unlock();
    virtual bool OpenChannel(int index) = 0;
    virtual bool CloseAll();

    bool CloseChannel(int index);
    bool MapChannel(int index, MapAccess access);
    bool Attach();
    int SelectChannel(int index);
    int ActiveStationCount();

    // Between Lock and Unlock: copies `length` bytes at `offset` of the
    // current channel's region. False for a range outside the mapping, or when
    // the server shrank the region under it; the channel is then closed at
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
    // True when the server removed an open channel's objects. Its mapping
    // keeps the last contents written until a server creates new ones. Known
    // only with a watch on the shared objects; without one, always false.
    bool IsChannelRemoved(int index) const;
    const char* ShMemName() const { return shMemName; }
    const char* MutexName() const { return mutexName; }

protected:
    int instrument = 0;
    int currentChannel = 0;
    bool locked = false;
    bool closeAtUnlock = false;  // a read of the current channel found its region shrunk
    uint32_t channelMask = 1;
    platform::RegionView views[maxChannels];
    platform::RegionHandle mappings[maxChannels];
    platform::SharedMutex* mutexes[maxChannels] = {};
    // Channels Attach opened and nobody closed since, and channels whose region
    // exists but which could not be opened yet.
    uint32_t openMask = 0;
    uint32_t pendingMask = 0;
    uint32_t removedMask = 0;  // open channels whose objects the server removed
    bool watched = false;
    bool lookRequested = true;
    uint64_t seenChanges = 0;
    uint64_t pendingRetryMs = 0;
    // The objects each open channel was opened from.
    platform::ObjectIdentity regionIdentities[maxChannels];
    platform::ObjectIdentity mutexIdentities[maxChannels];
    int mutexBaseLength = 0;
    int shMemBaseLength = 0;
    char mutexName[nameCapacity] = {};
    char shMemName[nameCapacity] = {};

private:
    void WriteChannelDigits(int index);
    void Look();
    void CloseReplacedChannels();
    bool IsReplaced(int index);
    void RetryChannels(uint32_t candidates);
    bool TryChannel(int index);
};
