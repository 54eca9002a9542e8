#pragma once

#include <cstddef>

// Named shared memory and named process-shared mutexes, the way the tracking
// server publishes its channels. Names are plain words such as
// "QuillmontShMem01"; the platform turns each into an object name of its own
// (here "/" + $LUMIVEX_SHM_PREFIX + name). Nothing here prints: every failure
// travels as a result.
namespace platform {

enum class ViewAccess { Read, ReadWrite };

// A named region, open but not necessarily mapped. noRegion is the null handle.
using RegionHandle = int;
constexpr RegionHandle noRegion = -1;

// A mapped view of a whole region; base is null when nothing is mapped.
struct RegionView {
    unsigned char* base = nullptr;
    std::size_t length = 0;
};

// A named mutex that lives in its own shared object; opaque to callers.
struct SharedMutex;

enum class LockResult {
    Acquired,
    Abandoned,  // acquired, but its last owner died holding it: the guarded data may be half written
    Failed
};

// Opens an existing region; noRegion when there is none.
RegionHandle OpenRegion(const char* name, ViewAccess access);
// Opens the region or creates it with the permission bits `mode`, and grows it
// to at least `size` bytes (it is never shrunk under a reader's mapping).
RegionHandle CreateRegion(const char* name, std::size_t size, unsigned mode);
// Maps the whole region as it is now.
bool MapRegion(RegionHandle region, ViewAccess access, RegionView& view);
bool UnmapRegion(RegionView& view);
bool CloseRegion(RegionHandle& region);

// Opens an existing mutex; null when there is none or its creator has not
// finished setting it up.
SharedMutex* OpenSharedMutex(const char* name);
// Opens the mutex or creates and initialises it (permission bits `mode`).
SharedMutex* CreateSharedMutex(const char* name, unsigned mode);
// Waits without a time-out.
LockResult LockSharedMutex(SharedMutex* mutex);
// After LockResult::Abandoned: declares the guarded data sound again, so that
// the mutex stays usable once it is released.
bool MarkSharedMutexConsistent(SharedMutex* mutex);
bool UnlockSharedMutex(SharedMutex* mutex);
bool CloseSharedMutex(SharedMutex*& mutex);

// Removes a region's or a mutex's name; holders keep what they have open.
// True when the name is gone, also when there was none.
bool UnlinkSharedObject(const char* name);

}  // namespace platform
