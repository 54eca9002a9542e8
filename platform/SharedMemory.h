#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Named shared memory and named process-shared mutexes, the way the tracking
// server publishes its channels. Names are plain words such as
// "QuillmontShMem01"; the platform turns each into an object name of its own
// (SharedObjectName). Nothing here prints: every failure travels as a result.
namespace platform {

// The full name of the object behind `name`: $LUMIVEX_SHM_PREFIX + name. The
// one place that reads the prefix; messages name objects by this.
std::string SharedObjectName(const char* name);

// Why $LUMIVEX_SHM_PREFIX is refused; empty when it is a plain name (or
// unset). A refused prefix would put objects outside the shared-memory
// directory or make names no object can have, so no object is opened,
// created or removed under it: readers find nothing published, and writers
// fail with OpenStatus::RefusedName.
std::string SharedPrefixRefusal();

// What the file of trusted owners (/etc/lumivex/trusted-owners, or the file
// $LUMIVEX_TRUSTED_OWNERS names) came to, in lines for a warning: a file
// that is not root's alone is ignored, and names that are no user are
// skipped. Read once per process; empty when all is well or there is no file.
const std::vector<std::string>& TrustedOwnerWarnings();

enum class ViewAccess { Read, ReadWrite };

// A named region, open but not necessarily mapped. noRegion is the null handle.
using RegionHandle = int;
constexpr RegionHandle noRegion = -1;

// A mapped view of a whole region; base is null when nothing is mapped.
struct RegionView {
    unsigned char* base = nullptr;
    std::size_t length = 0;
    int watch = -1;  // the platform's note of the mapping
};

// A named mutex that lives in its own shared object; opaque to callers.
struct SharedMutex;

enum class LockResult {
    Acquired,
    Abandoned,  // acquired, but its last owner died holding it: the guarded data may be half written
    TimedOut,   // someone held it for longer than the wait allowed
    Vanished,   // the object was shrunk or re-created under the mapping: close it and open it again
    Failed
};

// What opening an object came to. Any local user can create names, so an
// object that exists is used, by readers and writers alike, only when it is a
// regular file owned by this process's user, by root or by a trusted owner
// (TrustedOwnerWarnings) that nobody else may write, except through a group
// this user belongs to (by mode or ACL): the trust rule. A mutex is held to a
// stricter rule, the lock rule: its object is this process's user's own and
// nobody else (root aside) may write it at all, because whoever may write a
// robust mutex steers the writes of every process that locks it (the C
// library keeps its list of held mutexes in their bytes), and whoever may
// read it while it is held reads the holder's addresses. Everyone else reads
// through the write sequence; a trusted owner's objects are trusted for
// reading, never for locking.
enum class OpenStatus {
    Opened,
    Missing,             // no such name
    NotReady,            // a mutex whose creator has not finished setting it up, or one too short to be one
    WrongKind,           // a mutex marked ready that is not of the kind our servers create
    NotRegularFile,      // a FIFO, link, directory or device
    ForeignOwner,        // owned by another user (not root)
    WritableByOthers,    // every user may write it
    WritableByGroup,     // a group this user is not in may write it
    WritableThroughAcl,  // an ACL lets another user or group write it
    WritableByOwnGroup,  // a mutex its group may write, although this user is in the group
    NotOwnMutex,         // a mutex object of another user (root or a trusted owner): only its owner locks it
    PermissionDenied,    // this user may not open it
    LiveWriter,          // a writer's claim: another process writes the channel (WriterClaim.h)
    TooLarge,            // a region larger than a reader maps, or than there is address space for
    TooSmall,            // a region shorter than a channel's layout, which cannot be grown
    RefusedName,         // $LUMIVEX_SHM_PREFIX is refused (SharedPrefixRefusal)
    Failed
};

// The outcome and, when the object was there to be looked at, what the
// system says of it, in words for a message: its kind when it is not what a
// channel is, its owner and who may use it ("a FIFO, owner uid 0, group 0,
// mode 0666"). A name that is not a regular file is looked at without
// following it, so a link tells of itself.
struct ObjectCheck {
    OpenStatus status = OpenStatus::Failed;
    std::string description{};    // empty when the object was not looked at
    bool created = false;         // this call made the object: the name was free
    unsigned long long size = 0;  // for TooLarge and TooSmall: the object's size in bytes
    bool replaced = false;        // made in place of one that was not private to this user (WriterClaim.h),
                                  // which `description` then tells of
    int error = 0;                // for Failed: the system's error number (ErrorText), 0 when it said none
};

// What the system calls an error number of ObjectCheck, e.g. "Too many open files".
std::string ErrorText(int error);

// The most a reader maps of a region: a published one has 4 KiB, so a
// larger one is the work of a broken or hostile server.
constexpr std::size_t maxMappedRegionSize = std::size_t{64} << 20;

// Whether an outcome means the object is there but is not to be used until
// its name changes: waiting would not make it any better.
inline bool IsRefusal(OpenStatus status) {
    return status != OpenStatus::Opened && status != OpenStatus::Missing && status != OpenStatus::NotReady &&
           status != OpenStatus::LiveWriter && status != OpenStatus::Failed;
}

// Applies the trust rule, or for a mutex to be locked the lock rule, to the
// object a name refers to now, without keeping it.
ObjectCheck CheckSharedObject(const char* name, bool toLock = false);

// Opens an existing region; noRegion when there is none or it is refused
// (`status`, when given, says why).
RegionHandle OpenRegion(const char* name, ViewAccess access, ObjectCheck* check = nullptr);
// Opens the region or creates it with the permission bits `mode`, and grows it
// to at least `size` bytes. An existing region must pass the same trust rule.
RegionHandle CreateRegion(const char* name, std::size_t size, unsigned mode, ObjectCheck* check = nullptr);
// Gives back a region that someone shrank at least `size` bytes; never shrinks.
// A failure is told in `check`, when given.
bool GrowRegion(RegionHandle region, std::size_t size, ObjectCheck* check = nullptr);
// Maps the whole region as it is now; a region larger than
// maxMappedRegionSize, or one there is no address space for, is not mapped
// (`check`, when given, says TooLarge and its size).
bool MapRegion(RegionHandle region, ViewAccess access, RegionView& view, ObjectCheck* check = nullptr);
bool UnmapRegion(RegionView& view);
bool CloseRegion(RegionHandle& region);

// Copy between a view and ordinary memory; read and write views only through
// these. False for a range outside the view, and, instead of a crash, when
// the region was shrunk under the mapping since it was mapped: the view is
// then dead (what it gives is zeros) and is to be unmapped and mapped afresh.
bool CopyFromRegion(const RegionView& view, std::size_t offset, void* destination, std::size_t length);
bool CopyToRegion(RegionView& view, std::size_t offset, const void* source, std::size_t length);
// Stores one aligned 32-bit word at once, after everything written before
// it and before everything written after it, as readers that look at the
// word without a lock need. False as CopyToRegion.
bool StoreToRegion(RegionView& view, std::size_t offset, uint32_t value);
// Whether the region was shrunk under the view since it was mapped.
bool RegionVanished(const RegionView& view);

// A word a server changes while others read without locking (its write
// sequence): an acquire load of the aligned 32-bit word at `offset`. False
// outside the view or when the region vanished.
bool LoadRegionWord(const RegionView& view, std::size_t offset, uint32_t& value);
// After copying from the view: whether the word still holds `before`, read
// after every load of the copy. False also when the region vanished.
bool RegionWordStill(const RegionView& view, std::size_t offset, uint32_t before);
// The writer's side: a release store of the word, so that whoever loads the
// new value sees every write made before it. False outside the view or when
// the region vanished.
bool StoreRegionWord(RegionView& view, std::size_t offset, uint32_t value);

// Opens an existing mutex read-write, for locking; null when there is none or
// it fails the lock rule (`check` says why). A mutex is used only when it is
// of the kind our servers create (process-shared, robust, error-checking):
// the C library trusts what the mutex says of itself, and some kinds make it
// abort.
SharedMutex* OpenSharedMutex(const char* name, ObjectCheck* check = nullptr);
// Opens the mutex or creates and initialises it (permission bits `mode`).
// One left half set up by a creator that died is initialised again. Only one
// process may create it at a time: writers hold the channel's claim
// (WriterClaim.h) around this call. The object must pass the lock rule and be
// of the right kind.
SharedMutex* CreateSharedMutex(const char* name, unsigned mode, ObjectCheck* check = nullptr);
// Waits without a time-out.
LockResult LockSharedMutex(SharedMutex* mutex);
// Waits at most `budget`.
LockResult LockSharedMutex(SharedMutex* mutex, std::chrono::nanoseconds budget);
// The read a reader makes most, in one call: takes the mutex (waiting at most
// `budget`), copies `length` bytes at `offset` of `view`, releases it, with
// one check that both objects are still there. Acquired: the copy is whole.
// Abandoned: the mutex is held, the copy not made (see
// MarkSharedMutexConsistent). Vanished: whatever was copied is not to be used.
LockResult CopyUnderMutex(SharedMutex* mutex, std::chrono::nanoseconds budget, const RegionView& view,
                          std::size_t offset, void* destination, std::size_t length);
// The system's error number (ErrorText) of the last lock of `mutex` that
// Failed; 0 when none did, or the system said none.
int SharedMutexError(const SharedMutex* mutex);
// After LockResult::Abandoned: declares the guarded data sound again, so that
// the mutex stays usable once it is released.
bool MarkSharedMutexConsistent(SharedMutex* mutex);
// False when this process does not hold it, or when the object vanished
// under the mapping (see LockResult::Vanished); either way it is not held now.
bool UnlockSharedMutex(SharedMutex* mutex);
bool CloseSharedMutex(SharedMutex*& mutex);

// Removes a region's or a mutex's name; holders keep what they have open.
// True when the name is gone, also when there was none.
bool UnlinkSharedObject(const char* name);

}  // namespace platform
