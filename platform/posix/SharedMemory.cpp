#include "platform/SharedMemory.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <pthread.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

// The whole content of a mutex object. `ready` is written last by the creator,
// so a reader that finds it unset treats the object as absent rather than
// locking a mutex that was never initialised.
struct SharedMutex {
    uint32_t ready;
    pthread_mutex_t mutex;
};

namespace {

constexpr uint32_t readyMark = 0x4C565831u;
constexpr std::size_t pathCapacity = 256;

bool ObjectPath(const char* name, char (&path)[pathCapacity]) {
    const char* prefix = std::getenv("LUMIVEX_SHM_PREFIX");
    int length = std::snprintf(path, pathCapacity, "/%s%s", prefix ? prefix : "", name);
    return length > 0 && static_cast<std::size_t>(length) < pathCapacity;
}

int OpenObject(const char* name, int flags, unsigned mode) {
    char path[pathCapacity];
    if (!ObjectPath(name, path)) return -1;
    return shm_open(path, flags, static_cast<mode_t>(mode));
}

// For failure paths only: the descriptor is given up, and the failure that
// led here is the one worth reporting.
int Abandon(int descriptor) {
    (void)close(descriptor);
    return -1;
}

// A new object gets exactly `mode`, whatever the process's umask.
int OpenOrCreate(const char* name, unsigned mode) {
    int descriptor = OpenObject(name, O_RDWR | O_CREAT | O_EXCL, mode);
    if (descriptor >= 0) return fchmod(descriptor, static_cast<mode_t>(mode)) == 0 ? descriptor : Abandon(descriptor);
    if (errno != EEXIST) return -1;
    return OpenObject(name, O_RDWR, 0);
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

// Maps the mutex object read-write (locking writes to it) and lets go of the
// descriptor, which the mapping does not need.
SharedMutex* MapMutexObject(int descriptor) {
    std::size_t size = 0;
    void* base = MAP_FAILED;
    if (ObjectSize(descriptor, size) && size >= sizeof(SharedMutex))
        base = mmap(nullptr, sizeof(SharedMutex), PROT_READ | PROT_WRITE, MAP_SHARED, descriptor, 0);
    bool closed = close(descriptor) == 0;
    if (base == MAP_FAILED) return nullptr;
    if (closed) return static_cast<SharedMutex*>(base);
    (void)munmap(base, sizeof(SharedMutex));
    return nullptr;
}

bool IsReady(const SharedMutex* mutex) { return __atomic_load_n(&mutex->ready, __ATOMIC_ACQUIRE) == readyMark; }

// Process-shared so both sides can use it; robust so a holder that dies is
// reported instead of blocking everyone; error-checking so releasing a mutex
// one does not hold fails instead of corrupting it.
bool SetAttributes(pthread_mutexattr_t& attributes) {
    return pthread_mutexattr_setpshared(&attributes, PTHREAD_PROCESS_SHARED) == 0 &&
           pthread_mutexattr_setrobust(&attributes, PTHREAD_MUTEX_ROBUST) == 0 &&
           pthread_mutexattr_settype(&attributes, PTHREAD_MUTEX_ERRORCHECK) == 0;
}

bool InitialiseMutex(SharedMutex* mutex) {
    pthread_mutexattr_t attributes;
    if (pthread_mutexattr_init(&attributes) != 0) return false;
    bool initialised = SetAttributes(attributes) && pthread_mutex_init(&mutex->mutex, &attributes) == 0;
    if (pthread_mutexattr_destroy(&attributes) != 0 || !initialised) return false;
    __atomic_store_n(&mutex->ready, readyMark, __ATOMIC_RELEASE);
    return true;
}

}  // namespace

RegionHandle OpenRegion(const char* name, ViewAccess access) {
    int descriptor = OpenObject(name, access == ViewAccess::Read ? O_RDONLY : O_RDWR, 0);
    return descriptor >= 0 ? descriptor : noRegion;
}

RegionHandle CreateRegion(const char* name, std::size_t size, unsigned mode) {
    int descriptor = OpenOrCreate(name, mode);
    if (descriptor < 0) return noRegion;
    return GrowTo(descriptor, size) ? descriptor : Abandon(descriptor);
}

bool MapRegion(RegionHandle region, ViewAccess access, RegionView& view) {
    std::size_t size = 0;
    if (region == noRegion || !ObjectSize(region, size) || size == 0) return false;
    int protection = access == ViewAccess::Read ? PROT_READ : PROT_READ | PROT_WRITE;
    void* base = mmap(nullptr, size, protection, MAP_SHARED, region, 0);
    if (base == MAP_FAILED) return false;
    view = RegionView{static_cast<unsigned char*>(base), size};
    return true;
}

bool UnmapRegion(RegionView& view) {
    if (!view.base) return true;
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

SharedMutex* OpenSharedMutex(const char* name) {
    int descriptor = OpenObject(name, O_RDWR, 0);
    if (descriptor < 0) return nullptr;
    SharedMutex* mutex = MapMutexObject(descriptor);
    if (mutex && !IsReady(mutex)) CloseSharedMutex(mutex);
    return mutex;
}

// An object that exists but was never made ready was left by a creator that
// died half-way; it is initialised here.
SharedMutex* CreateSharedMutex(const char* name, unsigned mode) {
    int descriptor = OpenOrCreate(name, mode);
    if (descriptor < 0) return nullptr;
    if (!GrowTo(descriptor, sizeof(SharedMutex))) {
        Abandon(descriptor);
        return nullptr;
    }
    SharedMutex* mutex = MapMutexObject(descriptor);
    if (mutex && !IsReady(mutex) && !InitialiseMutex(mutex)) CloseSharedMutex(mutex);
    return mutex;
}

LockResult LockSharedMutex(SharedMutex* mutex) {
    if (!mutex) return LockResult::Failed;
    int result = pthread_mutex_lock(&mutex->mutex);
    if (result == 0) return LockResult::Acquired;
    return result == EOWNERDEAD ? LockResult::Abandoned : LockResult::Failed;
}

bool MarkSharedMutexConsistent(SharedMutex* mutex) {
    return mutex && pthread_mutex_consistent(&mutex->mutex) == 0;
}

bool UnlockSharedMutex(SharedMutex* mutex) {
    return mutex && pthread_mutex_unlock(&mutex->mutex) == 0;
}

bool CloseSharedMutex(SharedMutex*& mutex) {
    if (!mutex) return true;
    bool unmapped = munmap(mutex, sizeof(SharedMutex)) == 0;
    mutex = nullptr;
    return unmapped;
}

bool UnlinkSharedObject(const char* name) {
    char path[pathCapacity];
    return ObjectPath(name, path) && (shm_unlink(path) == 0 || errno == ENOENT);
}

}  // namespace platform
