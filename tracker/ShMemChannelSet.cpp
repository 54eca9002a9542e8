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

int ValidInstrument(int number) { return number < 0 || number >= ShMemChannelSet::maxChannels ? 0 : number; }

}  // namespace

ShMemChannelSet::ShMemChannelSet(int instrumentNumber, int channelCount) : instrument(ValidInstrument(instrumentNumber)) {
    if (channelCount < 1 || channelCount > maxChannels) channelCount = 1;
    channelMask = (1u << channelCount) - 1u;
    for (platform::RegionHandle& mapping : mappings) mapping = platform::noRegion;
    mutexBaseLength = CopyBaseName(mutexName, mutexBaseName);
    shMemBaseLength = CopyBaseName(shMemName, shMemBaseName);
}

ShMemChannelSet::~ShMemChannelSet() { CloseAll(); }

void ShMemChannelSet::SetInstrument(int number) { instrument = ValidInstrument(number); }

bool ShMemChannelSet::IsChannelOpen(int index) const {
    if (index < 0 || index >= maxChannels) return false;
    return views[index].base && mappings[index] != platform::noRegion && mutexes[index];
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

// Retries every allowed channel that is not open, so a server that starts
// late, or a channel it adds later, is picked up by the next call.
bool ShMemChannelSet::Attach() {
    uint32_t working = channelMask;
    for (int i = 0; i < maxChannels; ++i) {
        if (IsChannelOpen(i)) continue;
        CloseChannel(i);
        if (!(working & (1u << i))) continue;
        WriteChannelDigits(i);
        if (!OpenChannel(i)) working &= ~(1u << i);
    }
    return working != 0;
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
