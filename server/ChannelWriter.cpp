#include "server/ChannelWriter.h"

#include <algorithm>
#include <cstring>

#include "platform/Host.h"
#include "channel/ChannelName.h"
#include "channel/ObjectRefusal.h"
#include "channel/StationLayout.h"

namespace {

constexpr unsigned privateMode = 0600;

// Even and never 0 after a write, so that a reader can tell a written
// channel from a new one.
uint32_t EvenAfter(uint32_t odd) { return odd + 1 != 0 ? odd + 1 : 2; }

}  // namespace

ChannelWriter::ChannelWriter(int instrument, int bin)
    : regionName(NameOf(ChannelObject::Region, instrument, bin).text),
      mutexName(NameOf(ChannelObject::Mutex, instrument, bin).text) {
    WarnAboutSharedObjectSettings();
}

ChannelWriter::~ChannelWriter() { Close(); }

// The claim comes first: a channel that another process writes is not
// touched at all. A failure after the object passed the rule (mapping,
// growing) is told as an object that cannot be opened.
bool ChannelWriter::Open(unsigned channelMode, const ChannelState& first) {
    mode = channelMode;
    growFailed = lockFailed = false;
    nextCheckMs = platform::CoarseMilliseconds() + checkPeriodMs;
    bool opened = Claim() && OpenRegion() && OpenMutex(first);
    if (opened) {
        refusedObject.clear();
        last = first;
        return true;
    }
    if (refusal.status == platform::OpenStatus::Opened) refusal.status = platform::OpenStatus::Failed;
    RemoveCreated();
    Close();
    regionIdentity = mutexIdentity = platform::ObjectIdentity{};
    return false;
}

// What the claim created is the writer's own only once it holds the claim.
// A mutex object it replaced takes the region with it: a reader that still
// locks the old mutex keeps the old region, whole, until it finds the new
// objects, instead of copying the region while this writer writes it.
bool ChannelWriter::Claim() {
    refusedObject = ShownName(mutexName);
    claim = platform::ClaimChannel(mutexName.c_str(), &refusal);
    createdMutex = claim != platform::noClaim && refusal.created;
    mutexIdentity = platform::ClaimedObject(claim);
    if (refusal.status == platform::OpenStatus::LiveWriter) otherWriter = WriterOfRegion();
    if (claim == platform::noClaim || !refusal.replaced) return claim != platform::noClaim;
    notice = "its mutex object was not private to this user (" + refusal.description +
             "); replaced by a new one, mode 0600, and the region with it";
    (void)platform::UnlinkSharedObject(regionName.c_str());
    return true;
}

bool ChannelWriter::OpenRegion() {
    refusedObject = ShownName(regionName);
    region = platform::CreateRegion(regionName.c_str(), station_layout::publishedRegionSize, mode, &refusal);
    createdRegion = refusal.created;
    regionIdentity = platform::RegionIdentity(region);
    return platform::MapRegion(region, platform::ViewAccess::ReadWrite, view);
}

// Half a channel left behind would be taken for a published one with its
// server gone; what was there before belongs to someone else and stays, also
// when Remove is called later.
void ChannelWriter::RemoveCreated() {
    if (createdMutex) platform::UnlinkIfSame(mutexName.c_str(), mutexIdentity);
    if (createdRegion) platform::UnlinkIfSame(regionName.c_str(), regionIdentity);
    createdMutex = createdRegion = false;
}

void ChannelWriter::Close() {
    platform::CloseSharedMutex(mutex);
    platform::UnmapRegion(view);
    platform::CloseRegion(region);
    platform::ReleaseClaim(claim);
}

// A reader opens a channel only once its mutex is usable, and reads only
// under it (or, without the mutex, only once the region carries the mark of
// the write sequence, which the first content writes last). While no usable
// mutex exists, no reader can be reading, so the first content goes in
// without the lock, before the mutex appears: a reader never finds a
// published channel that is still all zeros. A mutex that is usable already
// (a restarted server's) may be held by a reader, so then the first content
// is written under it. The claim keeps every other writer out meanwhile.
bool ChannelWriter::OpenMutex(const ChannelState& first) {
    refusedObject = ShownName(mutexName);
    bool published = MutexUsable();
    if (!published && !Write(first)) return false;
    mutex = platform::CreateSharedMutex(mutexName.c_str(), privateMode, &refusal);
    if (mutex && platform::NamedObjectIdentity(mutexName.c_str()) != mutexIdentity)
        refusal.status = platform::OpenStatus::Failed;
    return refusal.status == platform::OpenStatus::Opened && (!published || Publish(first));
}

bool ChannelWriter::MutexUsable() const {
    platform::SharedMutex* existing = platform::OpenSharedMutex(mutexName.c_str());
    bool usable = existing != nullptr;
    platform::CloseSharedMutex(existing);
    return usable;
}

// Looked at every checkPeriodMs: the names must still be this writer's
// objects, the mutex object private to it, and the region writable by no one
// its mode leaves out (readers refuse such a region). A region shrunk within
// the page where it ends does not fault, so its size is looked at too.
bool ChannelWriter::Intact() {
    uint64_t now = platform::CoarseMilliseconds();
    if (now < nextCheckMs) return true;
    nextCheckMs = now + checkPeriodMs;
    (void)platform::GrowRegion(region, station_layout::publishedRegionSize);
    if (platform::ClaimLoosened(claim)) {
        notice = "its mutex object became open to others than its owner; replaced by a new one, mode 0600";
        return false;
    }
    if (platform::RegionLoosened(region, mode)) {
        notice = "its region is writable by others than its mode lets; created again";
        return false;
    }
    bool same = platform::NamedObjectIdentity(regionName.c_str()) == regionIdentity &&
                platform::NamedObjectIdentity(mutexName.c_str()) == mutexIdentity;
    if (!same) notice = "removed or replaced while this process wrote it; created again";
    return same;
}

// The names still held are given up while the claim still keeps other
// writers out, then the channel is made afresh with the last state written.
bool ChannelWriter::Recreate() {
    platform::UnlinkIfSame(mutexName.c_str(), mutexIdentity);
    platform::UnlinkIfSame(regionName.c_str(), regionIdentity);
    Close();
    bool opened = Open(mode, last);
    if (!opened) notice.clear();
    return opened;
}

std::string ChannelWriter::TakeNotice() {
    std::string taken;
    taken.swap(notice);
    return taken;
}

// The records are rewritten in full on every write, so what a dead holder
// left half written does not outlive the next write. A mutex object shrunk
// under the mapping is one more way to lose the objects.
bool ChannelWriter::Lock() {
    if (!Intact() && !Recreate()) return false;
    platform::LockResult result = platform::LockSharedMutex(mutex, lockBudget);
    if (result == platform::LockResult::Vanished && Recreate()) result = platform::LockSharedMutex(mutex, lockBudget);
    skippedWrites += result == platform::LockResult::TimedOut;
    lockFailed = result == platform::LockResult::Failed;
    if (lockFailed) NoteLockFailure();
    if (result == platform::LockResult::Abandoned) return platform::MarkSharedMutexConsistent(mutex);
    return result == platform::LockResult::Acquired;
}

void ChannelWriter::NoteLockFailure() {
    refusedObject = ShownName(mutexName);
    refusal = platform::ObjectCheck{platform::OpenStatus::Failed};
    refusal.error = platform::SharedMutexError(mutex);
}

bool ChannelWriter::Unlock() { return platform::UnlockSharedMutex(mutex); }

// The header and records, then the description.
bool ChannelWriter::CopyContent(const ChannelState& state) {
    using namespace station_layout;
    unsigned char head[recordsOffset + sizeof(state.records)];
    WriteLittleEndian32(head + writeCountOffset, state.writeCount);
    WriteLittleEndian32(head + flagsOffset, state.flags);
    WriteLittleEndian32(head + timestampOffset, state.timestampMicros);
    std::memcpy(head + recordsOffset, state.records, sizeof(state.records));
    std::size_t length =
        std::min({state.description.size(), maxDescriptionLength, view.length - descriptionOffset - 1});
    return platform::CopyToRegion(view, 0, head, sizeof head) &&
           platform::CopyToRegion(view, descriptionOffset, state.description.data(), length) &&
           platform::CopyToRegion(view, descriptionOffset + length, "", 1);
}

// The write sequence is odd while the content changes and even after. One
// left odd by a writer that died stays odd until this write ends. The mark
// goes in last, so a region that has it has content and an even sequence.
bool ChannelWriter::CopyIn(const ChannelState& state) {
    using namespace station_layout;
    uint32_t sequence = 0;
    unsigned char process[4];
    WriteLittleEndian32(process, platform::ProcessId());
    return platform::CopyFromRegion(view, sequenceOffset, &sequence, sizeof sequence) &&
           platform::StoreToRegion(view, sequenceOffset, sequence | 1u) && CopyContent(state) &&
           platform::CopyToRegion(view, writerProcessOffset, process, sizeof process) &&
           platform::StoreToRegion(view, sequenceOffset, EvenAfter(sequence | 1u)) &&
           platform::StoreToRegion(view, sequenceMarkOffset, sequenceMark);
}

// A region that someone shrank leaves this mapping dead: the region gets its
// size back and is mapped afresh.
bool ChannelWriter::Remap() {
    platform::UnmapRegion(view);
    growFailed = !platform::GrowRegion(region, station_layout::publishedRegionSize, &refusal);
    if (growFailed) {
        refusedObject = ShownName(regionName);
        return false;
    }
    (void)platform::MapRegion(region, platform::ViewAccess::ReadWrite, view);
    return true;
}

// Someone who shrinks the region over and over can make a write fail again
// right after the restore; that write is lost, counted, and the next one
// restores the region again.
bool ChannelWriter::Write(const ChannelState& state) {
    if (&state != &last) last = state;
    if (view.base && CopyIn(state)) return true;
    if (!Remap()) return false;
    lostWrites += !CopyIn(state);
    return true;
}

// A skipped write is no failure: the next one may get through.
bool ChannelWriter::Publish(const ChannelState& state) {
    uint64_t skippedBefore = skippedWrites;
    if (!Lock()) return skippedWrites != skippedBefore;
    bool written = Write(state);
    return Unlock() && written;
}

bool ChannelWriter::Remove() {
    bool regionGone = platform::UnlinkIfSame(regionName.c_str(), regionIdentity);
    bool mutexGone = platform::UnlinkIfSame(mutexName.c_str(), mutexIdentity);
    Close();
    return regionGone && mutexGone;
}

bool ChannelWriter::Unlink() {
    bool regionGone = platform::UnlinkSharedObject(regionName.c_str());
    bool mutexGone = platform::UnlinkSharedObject(mutexName.c_str());
    return regionGone && mutexGone;
}

bool ChannelWriter::HasLiveWriter(std::string& writer) const {
    if (claim != platform::noClaim || !platform::ClaimHeld(mutexName.c_str())) return false;
    writer = WriterOfRegion();
    return true;
}

// The writer by its process id, as the region tells it, when the region has
// the mark and this user may read it.
std::string ChannelWriter::WriterOfRegion() const {
    using namespace station_layout;
    platform::RegionHandle other = platform::OpenRegion(regionName.c_str(), platform::ViewAccess::Read);
    platform::RegionView image;
    unsigned char fields[writerProcessOffset + 4 - sequenceMarkOffset] = {};
    bool read = platform::MapRegion(other, platform::ViewAccess::Read, image) &&
                platform::CopyFromRegion(image, sequenceMarkOffset, fields, sizeof fields);
    platform::UnmapRegion(image);
    platform::CloseRegion(other);
    bool marked = read && ReadLittleEndian32(fields) == sequenceMark;
    unsigned process = marked ? ReadLittleEndian32(fields + (writerProcessOffset - sequenceMarkOffset)) : 0;
    return process ? "process " + std::to_string(process) : "whose process id its region does not tell";
}

// A mutex object others may write was left by an older server or loosened by
// hand; the message says how to be rid of it.
std::string ChannelWriter::Failure() const {
    using platform::OpenStatus;
    const OpenStatus writable[] = {OpenStatus::WritableByOwnGroup, OpenStatus::WritableByGroup,
                                   OpenStatus::WritableByOthers, OpenStatus::WritableThroughAcl,
                                   OpenStatus::NotOwnMutex};
    bool looseMutex = refusedObject == ShownName(mutexName) &&
                      std::find(std::begin(writable), std::end(writable), refusal.status) != std::end(writable);
    std::string fix = looseMutex ? "; a mutex object must be private to its server: remove it "
                                   "(lumivex-publisher --unlink) or chmod it 0600"
                                 : "";
    if (growFailed)
        return "cannot write " + ShownName(regionName) + ": it cannot be grown back to its size" + SystemCause(refusal);
    if (lockFailed)
        return "cannot write " + ShownName(regionName) + ": its mutex cannot be locked" + SystemCause(refusal);
    if (refusal.status != OpenStatus::LiveWriter)
        return "cannot use " + refusedObject + ": " + RefusalReason(refusal) + fix +
               (looseMutex ? EarlierModeHint(refusal.status) : "");
    return "cannot use " + ShownName(regionName) + ": has a live writer, " + otherWriter;
}

uint32_t ChannelWriter::StampMicros() {
    auto sinceEpoch =
        std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now().time_since_epoch());
    return static_cast<uint32_t>(sinceEpoch.count());
}
