#include "tracker/ShMemChannelSet.h"

#include <cstring>

#include "tracker/StationLayout.h"

const char* const shMemBaseName = "QuillmontShMem";
const char* const mutexBaseName = "QuillmontMutex";
const char* const channelDigits = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ";

namespace {

// Copies a base name and leaves room for the two digits and the NUL.
int CopyBaseName(char (&destination)[ShMemChannelSet::nameCapacity], const char* baseName) {
    int length = static_cast<int>(std::strlen(baseName));
    std::memcpy(destination, baseName, static_cast<std::size_t>(length));
    std::memset(destination + length, 0, 3);
    return length;
}

// How long a channel whose objects exist but cannot be opened yet waits
// before the next try.
constexpr uint64_t pendingRetryIntervalMs = 5;

int ValidInstrument(int number) { return number < 0 || number >= ShMemChannelSet::maxChannels ? 0 : number; }

}  // namespace

ShMemChannelSet::ShMemChannelSet(int instrumentNumber, int channelCount) : instrument(ValidInstrument(instrumentNumber)) {
    if (channelCount < 1 || channelCount > maxChannels) channelCount = 1;
    channelMask = (1u << channelCount) - 1u;
    for (platform::RegionHandle& mapping : mappings) mapping = platform::noRegion;
    mutexBaseLength = CopyBaseName(mutexName, mutexBaseName);
    shMemBaseLength = CopyBaseName(shMemName, shMemBaseName);
    watched = platform::WatchSharedObjects();
}

ShMemChannelSet::~ShMemChannelSet() { CloseAll(); }

void ShMemChannelSet::SetInstrument(int number) {
    instrument = ValidInstrument(number);
    lookRequested = true;
}

bool ShMemChannelSet::IsChannelOpen(int index) const {
    if (index < 0 || index >= maxChannels) return false;
    return views[index].base && mappings[index] != platform::noRegion && mutexes[index];
}

bool ShMemChannelSet::IsChannelRemoved(int index) const {
    return index >= 0 && index < maxChannels && (removedMask >> index & 1u);
}

// Holds the current channel's mutex until Unlock. A mutex whose holder died is
// made usable again and released, so a restarted server can take it, but this
// call still fails: what the dead holder left may be half written. A wait
// that runs out fails like any other; a mutex object that vanished under the
// mapping also closes the channel, for the next Attach to open it again.
bool ShMemChannelSet::Lock() {
    if (!views[currentChannel].base) return false;
    platform::SharedMutex* mutex = mutexes[currentChannel];
    platform::LockResult result = platform::LockSharedMutex(mutex, lockBudget);
    if (result == platform::LockResult::Abandoned && platform::MarkSharedMutexConsistent(mutex))
        platform::UnlockSharedMutex(mutex);
    if (result == platform::LockResult::Vanished) CloseChannel(currentChannel);
    if (result != platform::LockResult::Acquired) return false;
    locked = true;
    closeAtUnlock = false;
    return true;
}

// A release that fails leaves nothing held: the mutex was not ours, or its
// object vanished under the mapping. Either way the channel is opened afresh.
bool ShMemChannelSet::Unlock() {
    if (!views[currentChannel].base || !mutexes[currentChannel]) return false;
    if (!locked) return true;
    bool released = platform::UnlockSharedMutex(mutexes[currentChannel]);
    locked = false;
    if (!released || closeAtUnlock) CloseChannel(currentChannel);
    closeAtUnlock = false;
    return released;
}

bool ShMemChannelSet::ReadView(std::size_t offset, void* destination, std::size_t length) {
    if (platform::CopyFromRegion(views[currentChannel], offset, destination, length)) return true;
    closeAtUnlock = views[currentChannel].base != nullptr;
    return false;
}

bool ShMemChannelSet::CloseAll() {
    Unlock();
    for (int i = 0; i < maxChannels; ++i) CloseChannel(i);
    locked = false;
    return false;
}

// Releasing a mutex this object does not hold fails harmlessly, so the release
// is attempted whatever the state.
bool ShMemChannelSet::CloseChannel(int index) {
    if (index < 0 || index >= maxChannels) return false;
    // A channel that was open and is closed by anyone but Attach is looked for
    // again at the next Attach, whatever the watch says.
    if (openMask & (1u << index)) lookRequested = true;
    openMask &= ~(1u << index);
    removedMask &= ~(1u << index);
    platform::UnlockSharedMutex(mutexes[index]);
    platform::CloseSharedMutex(mutexes[index]);
    platform::UnmapRegion(views[index]);
    platform::CloseRegion(mappings[index]);
    return false;
}

bool ShMemChannelSet::MapChannel(int index, MapAccess) {
    if (mappings[index] == platform::noRegion) return false;
    if (platform::MapRegion(mappings[index], platform::ViewAccess::Read, views[index])) return true;
    CloseChannel(index);
    return false;
}

void ShMemChannelSet::WriteChannelDigits(int index) {
    mutexName[mutexBaseLength] = channelDigits[instrument];
    mutexName[mutexBaseLength + 1] = channelDigits[index];
    shMemName[shMemBaseLength] = channelDigits[instrument];
    shMemName[shMemBaseLength + 1] = channelDigits[index];
}

// Opens the allowed channels that are not open, so that a server that starts
// late, or a channel it adds later, is picked up. With a watch on the shared
// objects this happens only when they changed since the last look (and for
// channels still being set up, every few milliseconds), so a row read makes no
// system call while nothing changes; without a watch, on every call.
bool ShMemChannelSet::Attach() {
    if (!watched) {
        RetryChannels(channelMask);
    } else {
        uint64_t changes = platform::SharedObjectChangeCount();
        if (lookRequested || changes != seenChanges) {
            seenChanges = changes;
            Look();
        } else if (pendingMask && platform::CoarseMilliseconds() >= pendingRetryMs) {
            RetryChannels(pendingMask);
        }
    }
    return (openMask & channelMask) != 0;
}

void ShMemChannelSet::Look() {
    CloseReplacedChannels();
    RetryChannels(channelMask);
    lookRequested = false;
}

// A server that ended removed its objects; one that starts again creates new
// ones under the same names. The old mapping is given up only once a new
// region exists, so until then the channel keeps the last contents written
// and is marked removed.
void ShMemChannelSet::CloseReplacedChannels() {
    for (int i = 0; i < maxChannels; ++i)
        if ((openMask & (1u << i)) && IsReplaced(i)) CloseChannel(i);
}

bool ShMemChannelSet::IsReplaced(int index) {
    WriteChannelDigits(index);
    platform::ObjectIdentity region = platform::NamedObjectIdentity(shMemName);
    removedMask = region.Exists() ? removedMask & ~(1u << index) : removedMask | 1u << index;
    if (!region.Exists()) return false;
    if (region != regionIdentities[index]) return true;
    platform::ObjectIdentity mutex = platform::NamedObjectIdentity(mutexName);
    return mutex.Exists() && mutex != mutexIdentities[index];
}

// Partly open channels are closed first, whether or not they are retried.
void ShMemChannelSet::RetryChannels(uint32_t candidates) {
    pendingMask &= ~candidates;
    for (int i = 0; i < maxChannels; ++i) {
        if (IsChannelOpen(i)) continue;
        CloseChannel(i);
        if (!(candidates & channelMask & (1u << i))) continue;
        WriteChannelDigits(i);
        if (TryChannel(i)) openMask |= 1u << i;
    }
    if (pendingMask) pendingRetryMs = platform::CoarseMilliseconds() + pendingRetryIntervalMs;
}

// With a watch, a region name that does not exist costs one failed look-up and
// nothing more; one that exists but cannot be opened yet is retried later. The
// mutex's identity is taken before it is opened: should it be replaced in
// between, the next change makes the channel open again, never the reverse.
bool ShMemChannelSet::TryChannel(int index) {
    if (!watched) return OpenChannel(index);
    if (!platform::NamedObjectIdentity(shMemName).Exists()) return false;
    mutexIdentities[index] = platform::NamedObjectIdentity(mutexName);
    if (OpenChannel(index)) {
        regionIdentities[index] = platform::RegionIdentity(mappings[index]);
        return true;
    }
    pendingMask |= 1u << index;
    return false;
}

int ShMemChannelSet::SelectChannel(int index) {
    if (index >= 0 && index < maxChannels && views[index].base && mutexes[index]) currentChannel = index;
    return currentChannel;
}

int ShMemChannelSet::ActiveStationCount() {
    unsigned char flags[4];
    if (!ReadView(station_layout::flagsOffset, flags, sizeof flags)) return 0;
    uint32_t active = station_layout::ReadLittleEndian32(flags) & station_layout::stationActiveBits;
    int count = 0;
    for (; active; active &= active - 1) ++count;
    return count;
}
