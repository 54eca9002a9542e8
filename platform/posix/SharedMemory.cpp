#include "platform/SharedMemory.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <new>
#include <pthread.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include "platform/posix/FaultGuard.h"
#include "platform/posix/GlibcMutexInternals.h"
#include "platform/posix/SharedObjects.h"

namespace platform {

// The whole content of a mutex object. `ready` is written last by the creator,
// so a reader that finds it unset treats the object as absent rather than
// locking a mutex that was never initialised.
struct MutexObject {
    uint32_t ready;
    pthread_mutex_t mutex;
};

// A mapped mutex object and the watch on its mapping.
struct SharedMutex {
    MutexObject* object;
    int watch;
    int failure = 0;  // the error of the last lock that failed
};

namespace {

constexpr uint32_t readyMark = 0x4C565831u;

void Report(ObjectCheck* check, OpenStatus status, int error = 0) {
    if (!check) return;
    check->status = status;
    check->error = error;
}

// For failure paths only: the descriptor is given up, and the failure that
// led here is the one worth reporting.
int CloseAfterFailure(int descriptor) {
    (void)close(descriptor);
    return -1;
}

// A new object gets exactly `mode`; one that exists must pass `rule`. A
// failed create tells of nothing the check held before.
int OpenOrCreate(const char* name, unsigned mode, ObjectCheck* check, posix::Rule rule = posix::Rule::Trust) {
    int descriptor = posix::CreateShared(name, mode);
    int error = errno;
    if (descriptor < 0 && error == EEXIST) return posix::OpenShared(name, O_RDWR, check, rule);
    const bool created = descriptor >= 0;
    const OpenStatus status = created           ? OpenStatus::Opened
                              : error == EINVAL ? OpenStatus::RefusedName
                                                : OpenStatus::Failed;
    if (check) *check = ObjectCheck{status, {}, created};
    Report(check, status, created ? 0 : error);
    return descriptor;
}

bool ObjectSize(int descriptor, std::size_t& size) {
    struct stat status {};
    if (fstat(descriptor, &status) != 0 || status.st_size < 0) return false;
    size = static_cast<std::size_t>(status.st_size);
    return true;
}

// Never shrinks: a reader's mapping beyond a new end would fault.
bool GrowTo(int descriptor, std::size_t size) {
    std::size_t current = 0;
    if (!ObjectSize(descriptor, current)) return false;
    return current >= size || ftruncate(descriptor, static_cast<off_t>(size)) == 0;
}

// Maps the mutex object read-write (locking writes to it). Null with
// `failure` NotReady when the object is too short to hold a mutex, Failed
// when it could not be mapped.
SharedMutex* MapMutexObject(int descriptor, OpenStatus& failure) {
    std::size_t size = 0;
    failure = OpenStatus::Failed;
    if (!ObjectSize(descriptor, size)) return nullptr;
    failure = OpenStatus::NotReady;
    if (size < sizeof(MutexObject)) return nullptr;
    failure = OpenStatus::Failed;
    void* base = mmap(nullptr, sizeof(MutexObject), PROT_READ | PROT_WRITE, MAP_SHARED, descriptor, 0);
    if (base == MAP_FAILED) return nullptr;
    auto* mutex = new (std::nothrow) SharedMutex{static_cast<MutexObject*>(base), -1};
    if (mutex) mutex->watch = posix::WatchMapping(base, sizeof(MutexObject), PROT_READ | PROT_WRITE);
    if (mutex && mutex->watch >= 0) return mutex;
    delete mutex;
    (void)munmap(base, sizeof(MutexObject));
    return nullptr;
}

// The mapping does not need the descriptor. A close that fails leaves the
// object in an unknown state, so the mutex is closed (and released) too.
SharedMutex* CloseDescriptorOrMutex(int descriptor, SharedMutex* mutex) {
    if (close(descriptor) != 0) CloseSharedMutex(mutex);
    return mutex;
}

bool IsReady(const MutexObject* object) { return __atomic_load_n(&object->ready, __ATOMIC_ACQUIRE) == readyMark; }

bool SetAttributes(pthread_mutexattr_t& attributes);

// The kind a mutex initialised by our servers has, taken from one initialised
// here the same way, so that no flag value of the C library is copied. Set
// once at start, so that a lock pays one compare for it.
int ServerMutexKind() {
    pthread_mutexattr_t attributes;
    pthread_mutex_t mutex;
    if (pthread_mutexattr_init(&attributes) != 0) return -1;
    bool initialised = SetAttributes(attributes) && pthread_mutex_init(&mutex, &attributes) == 0;
    (void)pthread_mutexattr_destroy(&attributes);
    return initialised ? posix::GlibcMutexKind(mutex) : -1;
}

const int serverMutexKind = ServerMutexKind();

// Ready, and of our servers' kind: any other kind could send the C library
// down paths (priority inheritance, a dead owner's id) where it aborts.
bool IsUsable(const MutexObject* object) {
    return IsReady(object) && posix::GlibcMutexKind(object->mutex) == serverMutexKind;
}

OpenStatus ReadinessOf(const MutexObject* object) {
    if (!IsReady(object)) return OpenStatus::NotReady;
    return IsUsable(object) ? OpenStatus::Opened : OpenStatus::WrongKind;
}

// A mutex object that vanished under our mapping while we held the mutex
// stays at the head of this thread's list of held robust mutexes, which the C
// library keeps inside the mutexes themselves; its next lock of any mutex
// would write through that entry. The entry is dropped here. A thread holds
// one channel mutex at a time, so nothing else is lost from the list.
void ForgetHeldMutex(SharedMutex* mutex) { posix::ForgetRobustListEntry(mutex->object->mutex); }

LockResult LockResultOf(int error) {
    switch (error) {
        case 0:
            return LockResult::Acquired;
        case EOWNERDEAD:
            return LockResult::Abandoned;
        case ETIMEDOUT:
            return LockResult::TimedOut;
        default:
            return LockResult::Failed;
    }
}

// Runs a pthread call on the mutex unless the object vanished under the
// mapping: shrunk (the call ran on zeros instead) or re-created (it is not
// ready any more).
template <typename Call>
LockResult OnLiveMutex(SharedMutex* mutex, Call call) {
    bool live = IsUsable(mutex->object) && !posix::MappingVanished(mutex->watch);
    int error = live ? call(&mutex->object->mutex) : 0;
    if (live && !posix::MappingVanished(mutex->watch)) return LockResultOf(error);
    ForgetHeldMutex(mutex);
    return LockResult::Vanished;
}

// A lock is checked once, before: the object is of our kind and still there.
// Should it vanish from then on, the lock ran on zeros or the object went
// while held; the release finds out (ReleaseLiveMutex). Only the owner and
// root may write the object (the lock rule), so nobody else can change its
// kind in between.
template <typename Call>
LockResult LockLiveMutex(SharedMutex* mutex, Call call) {
    if (!IsUsable(mutex->object) || posix::MappingVanished(mutex->watch)) return LockResult::Vanished;
    const int error = call(&mutex->object->mutex);
    const LockResult result = LockResultOf(error);
    if (result == LockResult::Failed) mutex->failure = error;
    return result;
}

// The one check after: whether the object vanished at any time since the lock.
LockResult ReleaseLiveMutex(SharedMutex* mutex) {
    int error = pthread_mutex_unlock(&mutex->object->mutex);
    if (!posix::MappingVanished(mutex->watch)) return LockResultOf(error);
    ForgetHeldMutex(mutex);
    return LockResult::Vanished;
}

bool DeadlineAfter(std::chrono::nanoseconds budget, timespec& deadline) {
    if (clock_gettime(CLOCK_MONOTONIC, &deadline) != 0) return false;
    long long nanoseconds = deadline.tv_nsec + budget.count();
    deadline.tv_sec += static_cast<time_t>(nanoseconds / 1000000000);
    deadline.tv_nsec = static_cast<long>(nanoseconds % 1000000000);
    return true;
}

// Process-shared so both sides can use it; robust so a holder that dies is
// reported instead of blocking everyone; error-checking so releasing a mutex
// one does not hold fails instead of corrupting it.
bool SetAttributes(pthread_mutexattr_t& attributes) {
    return pthread_mutexattr_setpshared(&attributes, PTHREAD_PROCESS_SHARED) == 0 &&
           pthread_mutexattr_setrobust(&attributes, PTHREAD_MUTEX_ROBUST) == 0 &&
           pthread_mutexattr_settype(&attributes, PTHREAD_MUTEX_ERRORCHECK) == 0;
}

bool InitialiseMutex(MutexObject* object) {
    pthread_mutexattr_t attributes;
    if (pthread_mutexattr_init(&attributes) != 0) return false;
    bool initialised = SetAttributes(attributes) && pthread_mutex_init(&object->mutex, &attributes) == 0;
    if (pthread_mutexattr_destroy(&attributes) != 0 || !initialised) return false;
    __atomic_store_n(&object->ready, readyMark, __ATOMIC_RELEASE);
    return true;
}

// A mutex this process created has the mode its caller chose, which may let
// others write it.
bool PassesLockRule(int descriptor, ObjectCheck& check) {
    ObjectCheck rule = posix::CheckOpenObject(descriptor, posix::Rule::Lock);
    rule.created = check.created;
    check = rule;
    return rule.status == OpenStatus::Opened;
}

bool InView(const RegionView& view, std::size_t offset, std::size_t length) {
    return view.base && offset <= view.length && length <= view.length - offset;
}

}  // namespace

std::string ErrorText(int error) { return std::strerror(error); }

ObjectCheck CheckSharedObject(const char* name, bool toLock) {
    ObjectCheck check;
    int descriptor = posix::OpenShared(name, O_RDONLY, &check, toLock ? posix::Rule::Lock : posix::Rule::Trust);
    if (descriptor >= 0 && close(descriptor) != 0) check.status = OpenStatus::Failed;
    return check;
}

RegionHandle OpenRegion(const char* name, ViewAccess access, ObjectCheck* check) {
    int descriptor = posix::OpenShared(name, access == ViewAccess::Read ? O_RDONLY : O_RDWR, check);
    return descriptor >= 0 ? descriptor : noRegion;
}

RegionHandle CreateRegion(const char* name, std::size_t size, unsigned mode, ObjectCheck* check) {
    int descriptor = OpenOrCreate(name, mode, check);
    if (descriptor < 0) return noRegion;
    if (GrowTo(descriptor, size)) return descriptor;
    Report(check, OpenStatus::Failed, errno);
    return CloseAfterFailure(descriptor);
}

bool GrowRegion(RegionHandle region, std::size_t size, ObjectCheck* check) {
    if (region != noRegion && GrowTo(region, size)) return true;
    Report(check, OpenStatus::Failed, region != noRegion ? errno : EBADF);
    return false;
}

bool CopyFromRegion(const RegionView& view, std::size_t offset, void* destination, std::size_t length) {
    if (!InView(view, offset, length)) return false;
    std::memcpy(destination, view.base + offset, length);
    return !posix::MappingVanished(view.watch);
}

bool CopyToRegion(RegionView& view, std::size_t offset, const void* source, std::size_t length) {
    if (!InView(view, offset, length)) return false;
    std::memcpy(view.base + offset, source, length);
    return !posix::MappingVanished(view.watch);
}

bool StoreToRegion(RegionView& view, std::size_t offset, uint32_t value) {
    if (!InView(view, offset, sizeof value) || offset % alignof(uint32_t) != 0) return false;
    __atomic_store_n(reinterpret_cast<uint32_t*>(view.base + offset), value, __ATOMIC_RELEASE);
    __atomic_thread_fence(__ATOMIC_RELEASE);
    return !posix::MappingVanished(view.watch);
}

bool RegionVanished(const RegionView& view) { return view.base && posix::MappingVanished(view.watch); }

bool LoadRegionWord(const RegionView& view, std::size_t offset, uint32_t& value) {
    if (!InView(view, offset, sizeof value) || offset % sizeof value) return false;
    value = __atomic_load_n(reinterpret_cast<const uint32_t*>(view.base + offset), __ATOMIC_ACQUIRE);
    return !posix::MappingVanished(view.watch);
}

bool StoreRegionWord(RegionView& view, std::size_t offset, uint32_t value) {
    if (!InView(view, offset, sizeof value) || offset % sizeof value) return false;
    __atomic_store_n(reinterpret_cast<uint32_t*>(view.base + offset), value, __ATOMIC_RELEASE);
    return !posix::MappingVanished(view.watch);
}

bool RegionWordStill(const RegionView& view, std::size_t offset, uint32_t before) {
    if (!InView(view, offset, sizeof before) || offset % sizeof before) return false;
    __atomic_thread_fence(__ATOMIC_ACQUIRE);
    uint32_t now = __atomic_load_n(reinterpret_cast<const uint32_t*>(view.base + offset), __ATOMIC_RELAXED);
    return now == before && !posix::MappingVanished(view.watch);
}

// Too large: above the bound, or more than the address space holds.
bool TooLargeToMap(RegionHandle region, std::size_t size, int error, ObjectCheck* check) {
    bool tooLarge = size > maxMappedRegionSize || error == ENOMEM || error == EOVERFLOW;
    if (tooLarge && check) *check = posix::CheckOpenObject(region);
    if (tooLarge && check) check->status = OpenStatus::TooLarge;
    return tooLarge;
}

bool MapRegion(RegionHandle region, ViewAccess access, RegionView& view, ObjectCheck* check) {
    std::size_t size = 0;
    if (region == noRegion || !ObjectSize(region, size) || size == 0 || TooLargeToMap(region, size, 0, check))
        return false;
    int protection = access == ViewAccess::Read ? PROT_READ : PROT_READ | PROT_WRITE;
    void* base = mmap(nullptr, size, protection, MAP_SHARED, region, 0);
    if (base == MAP_FAILED) {
        (void)TooLargeToMap(region, size, errno, check);
        return false;
    }
    int watch = posix::WatchMapping(base, size, protection);
    if (watch >= 0)
        view = RegionView{static_cast<unsigned char*>(base), size, watch};
    else
        (void)munmap(base, size);
    return watch >= 0;
}

bool UnmapRegion(RegionView& view) {
    if (!view.base) return true;
    posix::ForgetMapping(view.watch);
    bool unmapped = munmap(view.base, view.length) == 0;
    view = RegionView{};
    return unmapped;
}

bool CloseRegion(RegionHandle& region) {
    if (region == noRegion) return true;
    bool closed = close(region) == 0;
    region = noRegion;
    return closed;
}

SharedMutex* OpenSharedMutex(const char* name, ObjectCheck* check) {
    int descriptor = posix::OpenShared(name, O_RDWR, check, posix::Rule::Lock);
    if (descriptor < 0) return nullptr;
    OpenStatus failure = OpenStatus::Failed;
    SharedMutex* mutex = CloseDescriptorOrMutex(descriptor, MapMutexObject(descriptor, failure));
    int error = mutex ? 0 : errno;
    OpenStatus readiness = mutex ? ReadinessOf(mutex->object) : failure;
    if (mutex && posix::MappingVanished(mutex->watch)) readiness = OpenStatus::NotReady;
    if (readiness != OpenStatus::Opened) CloseSharedMutex(mutex);
    Report(check, readiness, error);
    return mutex;
}

// A creator that died half-way left the object not ready, so the next
// creator initialises it.
SharedMutex* CreateSharedMutex(const char* name, unsigned mode, ObjectCheck* check) {
    ObjectCheck local;
    if (!check) check = &local;
    int descriptor = OpenOrCreate(name, mode, check, posix::Rule::Lock);
    if (descriptor < 0 || (check->created && !PassesLockRule(descriptor, *check))) {
        if (descriptor >= 0) CloseAfterFailure(descriptor);
        return nullptr;
    }
    if (!GrowTo(descriptor, sizeof(MutexObject))) {
        Report(check, OpenStatus::Failed, errno);
        CloseAfterFailure(descriptor);
        return nullptr;
    }
    OpenStatus failure = OpenStatus::Failed;
    SharedMutex* mutex = MapMutexObject(descriptor, failure);
    if (mutex && !IsReady(mutex->object) && !InitialiseMutex(mutex->object)) CloseSharedMutex(mutex);
    int error = mutex ? 0 : errno;
    OpenStatus readiness = mutex ? ReadinessOf(mutex->object) : failure;
    if (readiness != OpenStatus::Opened) CloseSharedMutex(mutex);
    Report(check, readiness, error);
    return CloseDescriptorOrMutex(descriptor, mutex);
}

LockResult LockSharedMutex(SharedMutex* mutex) {
    if (!mutex) return LockResult::Failed;
    return LockLiveMutex(mutex, pthread_mutex_lock);
}

// Trying first keeps the clock out of the usual, uncontended case.
LockResult LockSharedMutex(SharedMutex* mutex, std::chrono::nanoseconds budget) {
    if (!mutex) return LockResult::Failed;
    return LockLiveMutex(mutex, [budget](pthread_mutex_t* handle) {
        int error = pthread_mutex_trylock(handle);
        timespec deadline{};
        if (error != EBUSY || !DeadlineAfter(budget, deadline)) return error;
        return pthread_mutex_clocklock(handle, CLOCK_MONOTONIC, &deadline);
    });
}

LockResult CopyUnderMutex(SharedMutex* mutex, std::chrono::nanoseconds budget, const RegionView& view,
                          std::size_t offset, void* destination, std::size_t length) {
    if (!InView(view, offset, length)) return LockResult::Failed;
    LockResult locked = LockSharedMutex(mutex, budget);
    if (locked != LockResult::Acquired) return locked;
    std::memcpy(destination, view.base + offset, length);
    LockResult released = ReleaseLiveMutex(mutex);
    return posix::MappingVanished(view.watch) ? LockResult::Vanished : released;
}

int SharedMutexError(const SharedMutex* mutex) { return mutex ? mutex->failure : 0; }

bool MarkSharedMutexConsistent(SharedMutex* mutex) {
    return mutex && OnLiveMutex(mutex, pthread_mutex_consistent) == LockResult::Acquired;
}

bool UnlockSharedMutex(SharedMutex* mutex) { return mutex && ReleaseLiveMutex(mutex) == LockResult::Acquired; }

bool CloseSharedMutex(SharedMutex*& mutex) {
    if (!mutex) return true;
    posix::ForgetMapping(mutex->watch);
    bool unmapped = munmap(mutex->object, sizeof(MutexObject)) == 0;
    delete mutex;
    mutex = nullptr;
    return unmapped;
}

bool UnlinkSharedObject(const char* name) {
    std::string path = posix::ObjectPath(name);
    if (path.empty()) {
        errno = EINVAL;
        return false;
    }
    return unlink(path.c_str()) == 0 || errno == ENOENT;
}

}  // namespace platform
