#pragma once

#include <cstdint>

#include "platform/SharedMemory.h"

// Tells readers of shared objects when it is worth looking for new, removed or
// replaced objects, so that they need not try every name on every read. One
// watch serves the whole process; each reader keeps the change count it last
// acted on. Call from one thread only. Nothing here prints.
namespace platform {

// Sets up the process's watch on the shared-memory namespace the first time
// it is called; later calls give the first result. False when the namespace
// cannot be watched: nothing will report changes then, and readers must look
// for themselves on every read.
bool WatchSharedObjects();

// How many times objects under this process's name prefix were created,
// removed, renamed, resized or had their permissions changed, as far as the
// watch has seen. It asks the system at most once per millisecond of the
// coarse clock (once per clock tick where the tick is longer), so between two
// looks the count stays the same and costs no system call.
uint64_t SharedObjectChangeCount();

// The change count at which the object `name` (without the prefix) was last
// created, removed, renamed, resized or had its permissions changed; 0 when
// the watch has not seen it change. Without a watch, the current count (it
// may have changed at any time).
uint64_t LastChangeOf(const char* name);

// A monotonic clock of coarse resolution (one scheduler tick) that costs no
// system call.
uint64_t CoarseMilliseconds();

// Which object a name or an open region refers to; an object that is removed
// and created again under the same name is a different one.
struct ObjectIdentity {
    unsigned long long device = 0;
    unsigned long long inode = 0;

    bool Exists() const { return inode != 0; }
    bool operator==(const ObjectIdentity& other) const { return device == other.device && inode == other.inode; }
    bool operator!=(const ObjectIdentity& other) const { return !(*this == other); }
};

// The object a name refers to now; one that does not exist when there is none.
ObjectIdentity NamedObjectIdentity(const char* name);
// The object an open region belongs to, whatever its name refers to now.
ObjectIdentity RegionIdentity(RegionHandle region);

}  // namespace platform
