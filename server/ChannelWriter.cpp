#include "server/ChannelWriter.h"

#include <algorithm>
#include <cstring>

#include "tracker/ChannelName.h"
#include "tracker/StationLayout.h"

namespace {

void PutLittleEndian32(unsigned char* destination, uint32_t value) {
    for (int i = 0; i < 4; ++i) destination[i] = static_cast<unsigned char>(value >> (8 * i));
}

}  // namespace

ChannelWriter::ChannelWriter(int instrument, int bin)
    : regionName(NameOf(ChannelObject::Region, instrument, bin).text),
      mutexName(NameOf(ChannelObject::Mutex, instrument, bin).text) {}

ChannelWriter::~ChannelWriter() {
    platform::CloseSharedMutex(mutex);
    platform::UnmapRegion(view);
    platform::CloseRegion(region);
}

// A failure after the object passed the rule (mapping, growing) is told as
// an object that cannot be opened.
bool ChannelWriter::Open(unsigned mode, const ChannelState& first) {
    refusedObject = platform::SharedObjectName(regionName.c_str());
    region = platform::CreateRegion(regionName.c_str(), station_layout::publishedRegionSize, mode, &refusal);
    createdRegion = refusal.created;
    bool opened = platform::MapRegion(region, platform::ViewAccess::ReadWrite, view) && OpenMutex(mode, first);
    if (opened) refusedObject.clear();
    else if (refusal.status == platform::OpenStatus::Opened) refusal.status = platform::OpenStatus::Failed;
    if (!opened) RemoveCreated();
    return opened;
}

// Half a channel left behind would be taken for a published one with its
// server gone; what was there before belongs to someone else and stays.
void ChannelWriter::RemoveCreated() {
    if (createdMutex) platform::UnlinkSharedObject(mutexName.c_str());
    if (createdRegion) platform::UnlinkSharedObject(regionName.c_str());
    createdMutex = createdRegion = false;
}

// A reader opens a channel only once its mutex is usable, and reads only
// under it. While no usable mutex exists, no reader can be reading, so the
// first content goes in without the lock, before the mutex appears: a reader
// never finds a published channel that is still all zeros. A mutex that is
// usable already (a restarted server's) may be held by a reader, so then the
// first content is written under it.
bool ChannelWriter::OpenMutex(unsigned mode, const ChannelState& first) {
    refusedObject = platform::SharedObjectName(mutexName.c_str());
    bool published = MutexUsable();
    if (!published && !Write(first)) return false;
    mutex = platform::CreateSharedMutex(mutexName.c_str(), mode, &refusal);
    createdMutex = refusal.created;
    return mutex != nullptr && (!published || Publish(first));
}

bool ChannelWriter::MutexUsable() const {
    platform::SharedMutex* existing = platform::OpenSharedMutex(mutexName.c_str());
    bool usable = existing != nullptr;
    platform::CloseSharedMutex(existing);
    return usable;
}

// The records are rewritten in full on every write, so what a dead holder
// left half written does not outlive the next write.
bool ChannelWriter::Lock() {
    platform::LockResult result = platform::LockSharedMutex(mutex, lockBudget);
    skippedWrites += result == platform::LockResult::TimedOut;
    if (result == platform::LockResult::Abandoned) return platform::MarkSharedMutexConsistent(mutex);
    return result == platform::LockResult::Acquired;
}

bool ChannelWriter::Unlock() { return platform::UnlockSharedMutex(mutex); }

// The whole image is built here and copied in two pieces: header and
// records, then the description.
bool ChannelWriter::CopyIn(const ChannelState& state) {
    using namespace station_layout;
    unsigned char head[recordsOffset + sizeof(state.records)];
    PutLittleEndian32(head + writeCountOffset, state.writeCount);
    PutLittleEndian32(head + flagsOffset, state.flags);
    PutLittleEndian32(head + timestampOffset, state.timestampMicros);
    std::memcpy(head + recordsOffset, state.records, sizeof(state.records));
    std::size_t length = std::min({state.description.size(), maxDescriptionLength, view.length - descriptionOffset - 1});
    return platform::CopyToRegion(view, 0, head, sizeof head) &&
           platform::CopyToRegion(view, descriptionOffset, state.description.data(), length) &&
           platform::CopyToRegion(view, descriptionOffset + length, "", 1);
}

// A region that someone shrank leaves this mapping dead: the region gets its
// size back and is mapped afresh.
bool ChannelWriter::Write(const ChannelState& state) {
    if (!view.base) return false;
    if (CopyIn(state)) return true;
    std::size_t size = view.length;
    platform::UnmapRegion(view);
    return platform::GrowRegion(region, size) && platform::MapRegion(region, platform::ViewAccess::ReadWrite, view) &&
           CopyIn(state);
}

// A skipped write is no failure: the next one may get through.
bool ChannelWriter::Publish(const ChannelState& state) {
    uint64_t skippedBefore = skippedWrites;
    if (!Lock()) return skippedWrites != skippedBefore;
    bool written = Write(state);
    return Unlock() && written;
}

bool ChannelWriter::Unlink() {
    bool regionGone = platform::UnlinkSharedObject(regionName.c_str());
    bool mutexGone = platform::UnlinkSharedObject(mutexName.c_str());
    return regionGone && mutexGone;
}
