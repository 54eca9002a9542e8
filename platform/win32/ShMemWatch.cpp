#include "platform/ShMemWatch.h"

#include <windows.h>

#include "platform/win32/NamedObjects.h"

// Windows tells nobody when a named object is created or goes away, and it
// needs no such news: an object lives as long as any process keeps a handle
// to it, so a channel this process has open cannot be removed or replaced
// under it. A server that starts again while the channel is open opens the
// very objects this process holds and goes on writing into them.
namespace platform {

bool WatchSharedObjects() { return false; }

uint64_t SharedObjectChangeCount() { return 0; }

uint64_t LastChangeOf(const char*) { return 0; }

uint64_t CoarseMilliseconds() { return GetTickCount64(); }

// While this process has an object open, every opening of its name gives
// that same object: one identity serves them all.
ObjectIdentity NamedObjectIdentity(const char* name) {
    return win32::NameInUse(name) ? ObjectIdentity{1, 1} : ObjectIdentity{};
}

ObjectIdentity RegionIdentity(RegionHandle region) {
    return region == noRegion ? ObjectIdentity{} : ObjectIdentity{1, 1};
}

}  // namespace platform
