#include "platform/ShMemWatch.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {

// Where the C library keeps the objects shm_open names.
constexpr char objectDirectory[] = "/dev/shm";
constexpr std::size_t pathCapacity = 256;
// Resizing an object (IN_MODIFY) is reported too; writes through a mapping
// are not, so a server's writes cost the watch nothing.
constexpr uint32_t watchedEvents = IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO | IN_ATTRIB | IN_MODIFY;
constexpr uint64_t lookIntervalMs = 1;

// Plain data, so that it needs no guard on every call and no destructor.
struct Watch {
    bool setUp = false;
    int descriptor = -1;
    uint64_t changes = 0;
    uint64_t lastLookMs = 0;
};
Watch watch;

const char* NamePrefix() {
    const char* prefix = std::getenv("LUMIVEX_SHM_PREFIX");
    return prefix ? prefix : "";
}

bool ConcernsThisProcess(const inotify_event& event) {
    if (event.mask & IN_Q_OVERFLOW) return true;
    const char* prefix = NamePrefix();
    return event.len > 0 && std::strncmp(event.name, prefix, std::strlen(prefix)) == 0;
}

// Reads every event queued so far; true when one concerns this process's
// objects. A watch that fails to read counts as a change, so readers look.
bool DrainEvents() {
    alignas(inotify_event) char buffer[4096];
    bool relevant = false;
    for (;;) {
        ssize_t length = read(watch.descriptor, buffer, sizeof buffer);
        if (length < 0) return relevant || (errno != EAGAIN && errno != EINTR);
        for (ssize_t offset = 0; offset < length;) {
            const inotify_event* event = reinterpret_cast<const inotify_event*>(buffer + offset);
            relevant = relevant || ConcernsThisProcess(*event);
            offset += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
        }
    }
}

bool ObjectPath(const char* name, char (&path)[pathCapacity]) {
    int length = std::snprintf(path, pathCapacity, "%s/%s%s", objectDirectory, NamePrefix(), name);
    return length > 0 && static_cast<std::size_t>(length) < pathCapacity;
}

ObjectIdentity IdentityOf(const struct stat& status) {
    return ObjectIdentity{static_cast<unsigned long long>(status.st_dev), static_cast<unsigned long long>(status.st_ino)};
}

}  // namespace

bool WatchSharedObjects() {
    if (watch.setUp) return watch.descriptor >= 0;
    watch.setUp = true;
    watch.descriptor = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (watch.descriptor >= 0 && inotify_add_watch(watch.descriptor, objectDirectory, watchedEvents) < 0) {
        (void)close(watch.descriptor);
        watch.descriptor = -1;
    }
    watch.lastLookMs = CoarseMilliseconds();
    return watch.descriptor >= 0;
}

uint64_t SharedObjectChangeCount() {
    if (watch.descriptor < 0) return watch.changes;
    uint64_t now = CoarseMilliseconds();
    if (now - watch.lastLookMs < lookIntervalMs) return watch.changes;
    watch.lastLookMs = now;
    if (DrainEvents()) ++watch.changes;
    return watch.changes;
}

uint64_t CoarseMilliseconds() {
    timespec now{};
    if (clock_gettime(CLOCK_MONOTONIC_COARSE, &now) != 0) return 0;
    return static_cast<uint64_t>(now.tv_sec) * 1000u + static_cast<uint64_t>(now.tv_nsec) / 1000000u;
}

ObjectIdentity NamedObjectIdentity(const char* name) {
    char path[pathCapacity];
    struct stat status {};
    if (!ObjectPath(name, path) || stat(path, &status) != 0) return ObjectIdentity{};
    return IdentityOf(status);
}

ObjectIdentity RegionIdentity(RegionHandle region) {
    struct stat status {};
    if (region == noRegion || fstat(region, &status) != 0) return ObjectIdentity{};
    return IdentityOf(status);
}

}  // namespace platform
