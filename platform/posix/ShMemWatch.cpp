#include "platform/ShMemWatch.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <string>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>
#include <unordered_map>

#include "platform/posix/SharedObjects.h"

namespace platform {

namespace {

using posix::objectDirectory;
// Resizing an object (IN_MODIFY) is reported too; writes through a mapping
// are not, so a server's writes cost the watch nothing.
constexpr uint32_t watchedEvents = IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO | IN_ATTRIB | IN_MODIFY;
constexpr uint64_t lookIntervalMs = 1;
// Names remembered with the count of their last change. Anyone can create
// names, so the table is bounded: when it is full it is emptied, and every
// name counts as changed at that moment.
constexpr std::size_t nameCapacity = 4096;

// Plain data, so that it needs no guard on every call and no destructor.
struct Watch {
    bool setUp = false;
    int descriptor = -1;
    uint64_t changes = 0;
    uint64_t lastLookMs = 0;
    uint64_t allChangedAt = 0;                                       // every name counts as changed at this count
    std::unordered_map<std::string, uint64_t>* changedAt = nullptr;  // by full name; never freed
};
Watch watch;

void AllChanged(uint64_t count) {
    watch.allChangedAt = count;
    watch.changedAt->clear();
}

// Notes an event for the count the current look will reach; true when it
// concerns this process's objects.
bool Note(const inotify_event& event, const std::string& prefix, uint64_t count) {
    if (event.mask & IN_Q_OVERFLOW) {
        AllChanged(count);
        return true;
    }
    if (event.len == 0 || std::strncmp(event.name, prefix.c_str(), prefix.size()) != 0) return false;
    if (watch.changedAt->size() >= nameCapacity)
        AllChanged(count);
    else
        (*watch.changedAt)[event.name] = count;
    return true;
}

// Reads every event queued so far; true when one concerns this process's
// objects. A watch that fails to read counts as a change of every name.
bool DrainEvents() {
    alignas(inotify_event) char buffer[4096];
    const uint64_t count = watch.changes + 1;
    // Read each time: a test process moves from prefix to prefix.
    const std::string prefix = SharedObjectName("");
    bool relevant = false;
    for (;;) {
        ssize_t length = read(watch.descriptor, buffer, sizeof buffer);
        if (length < 0 && errno != EAGAIN && errno != EINTR) AllChanged(count);
        if (length < 0) return relevant || (errno != EAGAIN && errno != EINTR);
        for (ssize_t offset = 0; offset < length;) {
            const inotify_event* event = reinterpret_cast<const inotify_event*>(buffer + offset);
            relevant = Note(*event, prefix, count) || relevant;
            offset += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
        }
    }
}

ObjectIdentity IdentityOf(const struct stat& status) {
    return ObjectIdentity{static_cast<unsigned long long>(status.st_dev),
                          static_cast<unsigned long long>(status.st_ino)};
}

}  // namespace

bool WatchSharedObjects() {
    if (watch.setUp) return watch.descriptor >= 0;
    watch.setUp = true;
    watch.changedAt = new std::unordered_map<std::string, uint64_t>;
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

uint64_t LastChangeOf(const char* name) {
    uint64_t changes = SharedObjectChangeCount();
    if (watch.descriptor < 0) return changes;
    auto found = watch.changedAt->find(SharedObjectName(name));
    return std::max(watch.allChangedAt, found == watch.changedAt->end() ? 0 : found->second);
}

// lstat: a link is an object of its own, which the trust rule refuses.
ObjectIdentity NamedObjectIdentity(const char* name) {
    struct stat status {};
    if (lstat(posix::ObjectPath(name).c_str(), &status) != 0) return ObjectIdentity{};
    return IdentityOf(status);
}

ObjectIdentity RegionIdentity(RegionHandle region) {
    struct stat status {};
    if (region == noRegion || fstat(region, &status) != 0) return ObjectIdentity{};
    return IdentityOf(status);
}

}  // namespace platform
