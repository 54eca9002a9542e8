#include "channel/ShMemChannelSet.h"

#include <cstring>
#include <thread>

#include "channel/ChannelState.h"
#include "channel/StationLayout.h"

namespace {

int ValidInstrument(int number) { return number < 0 || number >= ShMemChannelSet::maxChannels ? 0 : number; }

}  // namespace

ShMemChannelSet::ShMemChannelSet(int instrumentNumber, int channelCount)
    : instrument(ValidInstrument(instrumentNumber)), discovery(instrument) {
    if (channelCount < 1 || channelCount > maxChannels) channelCount = 1;
    channelMask = (1u << channelCount) - 1u;
    for (platform::RegionHandle& mapping : mappings) mapping = platform::noRegion;
    WriteChannelNames(0);
}

ShMemChannelSet::~ShMemChannelSet() { CloseAll(); }

void ShMemChannelSet::SetInstrument(int number) {
    instrument = ValidInstrument(number);
    discovery.SetInstrument(instrument);
}

bool ShMemChannelSet::IsChannelOpen(int index) const {
    if (!IsChannelIndex(index)) return false;
    return views[index].base && mappings[index] != platform::noRegion && (mutexes[index] || IsReadOnly(index));
}

bool ShMemChannelSet::IsChannelRemoved(int index) const { return IsChannelOpen(index) && discovery.IsRemoved(index); }

// Holds the current channel's mutex until Unlock. A mutex whose holder died is
// made usable again and released, so a restarted server can take it, but this
// call still fails. What a server that died in the middle of a write left is
// not read at all until a live server has written the channel again
// (HalfWrites). A wait that runs out fails like any other; a mutex object
// that vanished under the mapping also closes the channel, for the next
// Attach to open it again.
bool ShMemChannelSet::Lock() { return TakeLock(lockBudget, AbandonedLock::Release); }

// A caller that reads once, such as the start-up report, has no next write to
// wait for: it keeps a mutex it found abandoned, once that is made usable
// again, and reads the dead holder's last content when that is whole.
bool ShMemChannelSet::LockWithin(std::chrono::nanoseconds budget) { return TakeLock(budget, AbandonedLock::Keep); }

// A read-only channel cannot tell a writer that died mid-write from a slow
// one: both are "held".
bool ShMemChannelSet::TakeLock(std::chrono::nanoseconds budget, AbandonedLock abandoned) {
    if (!views[currentChannel].base) return false;
    bool readOnly = IsReadOnly(currentChannel);
    platform::LockResult result =
        readOnly ? WaitForNoWrite(budget) : platform::LockSharedMutex(mutexes[currentChannel], budget);
    if (!readOnly) result = Judge(result, abandoned);
    locked = locked || result == platform::LockResult::Acquired;  // a failed second lock leaves the first held
    return NoteLock(result, budget);
}

// With the mutex held (acquired, or abandoned by its holder): a half write is
// released unread; a dead holder's mutex is recovered.
platform::LockResult ShMemChannelSet::Judge(platform::LockResult result, AbandonedLock abandoned) {
    bool died = result == platform::LockResult::Abandoned;
    if (!died && result != platform::LockResult::Acquired) return result;
    platform::SharedMutex* mutex = mutexes[currentChannel];
    if (!halfWrites.Holds(currentChannel, views[currentChannel], died))
        return died ? Recover(mutex, abandoned) : result;
    if (died) return Recover(mutex, AbandonedLock::Release);
    platform::UnlockSharedMutex(mutex);
    return platform::LockResult::Failed;
}

// A holder cannot lock again, so a read while locked fails as that would. The
// one-step copy cannot look at the sequence under the mutex; a sequence found
// odd after it, or a channel that held a half write, is read again the long
// way, which can.
bool ShMemChannelSet::ReadLocked(std::size_t offset, void* destination, std::size_t length) {
    platform::SharedMutex* mutex = mutexes[currentChannel];
    const platform::RegionView& view = views[currentChannel];
    if (!view.base || !mutex || locked) return false;
    platform::LockResult result = platform::CopyUnderMutex(mutex, lockBudget, view, offset, destination, length);
    if (result == platform::LockResult::Abandoned) result = Judge(result, AbandonedLock::Release);
    uint32_t sequence = 0;
    bool doubt = halfWrites.Held(currentChannel) ||
                 (platform::LoadRegionWord(view, station_layout::sequenceOffset, sequence) && (sequence & 1u));
    if (doubt && result == platform::LockResult::Acquired) return ReadAfterHalfWrite(offset, destination, length);
    return NoteLock(result, lockBudget);
}

bool ShMemChannelSet::ReadAfterHalfWrite(std::size_t offset, void* destination, std::size_t length) {
    if (!Lock()) return false;
    bool copied = ReadView(offset, destination, length);
    return Unlock() && copied;
}

// Notes what a lock came to for Trouble, and closes a channel whose objects
// vanished; true when it was acquired.
bool ShMemChannelSet::NoteLock(platform::LockResult result, std::chrono::nanoseconds budget) {
    if (result == platform::LockResult::Vanished) CloseChannel(currentChannel);
    bool acquired = result == platform::LockResult::Acquired;
    ChannelTrouble& trouble = troubles[currentChannel];
    if (acquired && !trouble.held && !trouble.abandoned && !trouble.halfWritten) return true;  // the usual case
    trouble.held = result == platform::LockResult::TimedOut;
    trouble.abandoned = result == platform::LockResult::Abandoned;
    trouble.halfWritten = !acquired && halfWrites.Held(currentChannel);
    trouble.waited = budget;
    return acquired;
}

// Acquired: held. Abandoned: usable again and released. Failed: it could not
// be made usable, and is released all the same, never kept held.
platform::LockResult ShMemChannelSet::Recover(platform::SharedMutex* mutex, AbandonedLock abandoned) {
    bool consistent = platform::MarkSharedMutexConsistent(mutex);
    if (consistent && abandoned == AbandonedLock::Keep) return platform::LockResult::Acquired;
    platform::UnlockSharedMutex(mutex);
    return consistent ? platform::LockResult::Abandoned : platform::LockResult::Failed;
}

// A server writing flat out leaves short gaps between writes: a few quick
// looks catch most, then the thread gives way, and at last sleeps so as not
// to keep a core busy for a server that is stuck.
platform::LockResult ShMemChannelSet::WaitForNoWrite(std::chrono::nanoseconds budget) {
    constexpr int quickLooks = 64;
    std::chrono::steady_clock::time_point deadline;
    for (int look = 0;; ++look) {
        if (!platform::LoadRegionWord(views[currentChannel], station_layout::sequenceOffset, sequenceAtLock))
            return platform::LockResult::Vanished;
        if (!(sequenceAtLock & 1u)) return platform::LockResult::Acquired;
        auto now = std::chrono::steady_clock::now();
        if (look == 0) deadline = now + budget;
        if (now >= deadline) return platform::LockResult::TimedOut;
        if (look < quickLooks)
            std::this_thread::yield();
        else
            std::this_thread::sleep_for(std::chrono::microseconds(50));
    }
}

// A release that fails leaves nothing held: the mutex was not ours, or its
// object vanished under the mapping. Either way the channel is opened afresh,
// as is one whose region was shrunk under a read.
bool ShMemChannelSet::Unlock() {
    torn = false;
    if (!IsChannelOpen(currentChannel)) return false;
    if (!locked) return true;
    locked = false;
    bool released = EndRead();
    if (!torn && (!released || platform::RegionVanished(views[currentChannel]))) CloseChannel(currentChannel);
    return released;
}

// Read-only: the copy is whole when no write began since Lock.
bool ShMemChannelSet::EndRead() {
    if (!IsReadOnly(currentChannel)) return platform::UnlockSharedMutex(mutexes[currentChannel]);
    const platform::RegionView& view = views[currentChannel];
    if (platform::RegionWordStill(view, station_layout::sequenceOffset, sequenceAtLock)) return true;
    torn = !platform::RegionVanished(view);
    return false;
}

bool ShMemChannelSet::ReadView(std::size_t offset, void* destination, std::size_t length) {
    return platform::CopyFromRegion(views[currentChannel], offset, destination, length);
}

void ShMemChannelSet::CloseAll() {
    Unlock();
    for (int i = 0; i < maxChannels; ++i) CloseChannel(i);
    locked = false;
}

// Releasing a mutex this object does not hold fails harmlessly, so the release
// is attempted whatever the state.
void ShMemChannelSet::CloseChannel(int index) {
    if (!IsChannelIndex(index)) return;
    // A channel that was open and is closed by anyone but Attach is looked for
    // again at the next Attach, whatever the watch says.
    if (openMask & (1u << index)) discovery.RequestLook();
    openMask &= ~(1u << index);
    readOnlyMask &= ~(1u << index);
    platform::UnlockSharedMutex(mutexes[index]);
    platform::CloseSharedMutex(mutexes[index]);
    platform::UnmapRegion(views[index]);
    platform::CloseRegion(mappings[index]);
}

bool ShMemChannelSet::MapChannel(int index, platform::ObjectCheck& check) {
    if (mappings[index] == platform::noRegion) return false;
    if (platform::MapRegion(mappings[index], platform::ViewAccess::Read, views[index], &check)) return true;
    CloseChannel(index);
    return false;
}

void ShMemChannelSet::WriteChannelNames(int index) {
    std::memcpy(shMemName, discovery.NameOf(ChannelObject::Region, index).text, nameCapacity);
    std::memcpy(mutexName, discovery.NameOf(ChannelObject::Mutex, index).text, nameCapacity);
}

// Opens the allowed channels that are not open, so that a server that starts
// late, or a channel it adds later, is picked up; the discovery says when
// that is worth doing, so a row read makes no system call while nothing
// changes.
bool ShMemChannelSet::Attach() {
    if (discovery.LookDue()) Look();
    return (openMask & channelMask) != 0;
}

// Partly open channels are closed first, whether or not they are tried.
void ShMemChannelSet::Look() {
    uint32_t stale = discovery.StaleChannels(openMask, readOnlyMask);
    uint32_t closed = 0;
    for (int i = 0; i < maxChannels; ++i) {
        if (stale >> i & 1u || !IsChannelOpen(i)) CloseChannel(i);
        if (!IsChannelOpen(i)) closed |= 1u << i;
    }
    uint32_t candidates = discovery.ChannelsToTry(closed & channelMask);
    for (int i = 0; i < maxChannels; ++i)
        if (candidates >> i & 1u) TryChannel(i);
    discovery.LookDone();
}

// With a watch, a region name that does not exist costs one failed look-up
// and nothing more.
void ShMemChannelSet::TryChannel(int index) {
    WriteChannelNames(index);
    troubles[index] = ChannelTrouble{};
    if (!discovery.RegionExists(index)) return;
    discovery.BeforeOpen(index);
    ChannelTrouble trouble{platform::ObjectCheck{}};
    if (OpenChannel(index, trouble)) {
        openMask |= 1u << index;
        troubles[index].readOnly = IsReadOnly(index);
        discovery.Opened(index, mappings[index]);
        return;
    }
    troubles[index] = trouble;
    discovery.NotOpened(index, trouble.check);
}

int ShMemChannelSet::SelectChannel(int index) {
    if (IsChannelOpen(index)) currentChannel = index;
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
