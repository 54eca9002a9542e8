#include "platform/SharedMemory.h"

#include <windows.h>

#include <algorithm>
#include <cstring>
#include <new>
#include <utility>

#include "platform/win32/NamedObjects.h"
#include "platform/win32/ObjectTrust.h"
#include "platform/win32/SystemText.h"

namespace platform {

// A named mutex: a kernel object that records its owner's death itself.
struct SharedMutex {
    HANDLE handle;
    DWORD failure = 0;  // the error of the last wait that failed
};

namespace {

win32::HandleTable& Regions() {
    static win32::HandleTable table;
    return table;
}

void Report(ObjectCheck* check, OpenStatus status, bool created = false, std::string description = {}) {
    if (check) *check = ObjectCheck{status, std::move(description), created};
}

// Keeps `handle` only when the object passes the trust rule.
HANDLE Trusted(HANDLE handle, ACCESS_MASK writeRights, ObjectCheck* check, bool created) {
    if (!handle) {
        const DWORD error = GetLastError();
        Report(check, win32::StatusOfError(error));
        if (check) check->error = static_cast<int>(error);
        return nullptr;
    }
    win32::Trust trust = created ? win32::Trust{OpenStatus::Opened, {}} : win32::TrustOfObject(handle, writeRights);
    OpenStatus status = trust.status;
    Report(check, status, created, trust.owner.empty() ? "" : "owner " + trust.owner);
    if (status == OpenStatus::Opened) return handle;
    CloseHandle(handle);
    return nullptr;
}

DWORD MapAccess(ViewAccess access) {
    return access == ViewAccess::Read ? FILE_MAP_READ : FILE_MAP_READ | FILE_MAP_WRITE;
}

// What the system tells of a section; the call is the native one, which
// the documented API does not offer.
struct SectionBasicInformation {
    PVOID base;
    ULONG attributes;
    LARGE_INTEGER size;
};
extern "C" LONG NTAPI NtQuerySection(HANDLE section, int informationClass, PVOID information, ULONG length,
                                     PULONG returned);

// A mapping's size: a view shows whole pages, and what lies past the
// mapping's end in its last page is no part of it. The page-rounded size
// stands when the system does not tell the mapping's own.
std::size_t ViewSize(HANDLE mapping, const void* base) {
    MEMORY_BASIC_INFORMATION info{};
    const std::size_t pages = VirtualQuery(base, &info, sizeof info) ? info.RegionSize : 0;
    SectionBasicInformation section{};
    if (NtQuerySection(mapping, 0, &section, sizeof section, nullptr) != 0 || section.size.QuadPart <= 0) return pages;
    return std::min(pages, static_cast<std::size_t>(section.size.QuadPart));
}

bool InView(const RegionView& view, std::size_t offset, std::size_t length) {
    return view.base && offset <= view.length && length <= view.length - offset;
}

LockResult WaitFor(SharedMutex* mutex, DWORD milliseconds) {
    if (!mutex) return LockResult::Failed;
    switch (WaitForSingleObject(mutex->handle, milliseconds)) {
        case WAIT_OBJECT_0:
            return LockResult::Acquired;
        case WAIT_ABANDONED:
            return LockResult::Abandoned;
        case WAIT_TIMEOUT:
            return LockResult::TimedOut;
        default:  // WAIT_FAILED
            mutex->failure = GetLastError();
            return LockResult::Failed;
    }
}

SharedMutex* Wrapped(HANDLE handle) {
    if (!handle) return nullptr;
    auto* mutex = new (std::nothrow) SharedMutex{handle};
    if (!mutex) CloseHandle(handle);
    return mutex;
}

// The size of an open mapping; 0 when it cannot be mapped, and then the
// system's error is left for GetLastError.
std::size_t RegionSize(RegionHandle region) {
    RegionView view;
    if (!Regions().Get(region)) SetLastError(ERROR_INVALID_HANDLE);
    if (!MapRegion(region, ViewAccess::Read, view)) return 0;
    const std::size_t size = view.length;
    return UnmapRegion(view) ? size : 0;
}

}  // namespace

// A kernel mutex keeps nothing of its holders in memory others could write,
// so the rule for locking one is the trust rule.
std::string ErrorText(int error) { return win32::SystemText(static_cast<DWORD>(error)); }

ObjectCheck CheckSharedObject(const char* name, bool) {
    ObjectCheck check;
    HANDLE handle = win32::OpenMapping(name, FILE_MAP_READ);
    if (handle)
        handle = Trusted(handle, win32::mappingWriteRights, &check, false);
    else if (GetLastError() == ERROR_INVALID_HANDLE)
        handle = Trusted(win32::OpenNamedMutex(name), win32::mutexWriteRights, &check, false);
    else
        Report(&check, win32::StatusOfError(GetLastError()));
    if (handle) CloseHandle(handle);
    return check;
}

RegionHandle OpenRegion(const char* name, ViewAccess access, ObjectCheck* check) {
    HANDLE handle = Trusted(win32::OpenMapping(name, MapAccess(access)), win32::mappingWriteRights, check, false);
    return handle ? Regions().Add(handle) : noRegion;
}

// The mapping gets the creator's default security: this user, SYSTEM and
// the Administrators may use it. `mode` has no meaning here.
RegionHandle CreateRegion(const char* name, std::size_t size, unsigned, ObjectCheck* check) {
    if (!win32::NameUsable(check)) return noRegion;
    auto high = static_cast<DWORD>(static_cast<unsigned long long>(size) >> 32);
    HANDLE handle = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, high, static_cast<DWORD>(size),
                                       SharedObjectName(name).c_str());
    bool created = handle && GetLastError() != ERROR_ALREADY_EXISTS;
    handle = Trusted(handle, win32::mappingWriteRights, check, created);
    if (!handle) return noRegion;
    RegionHandle region = Regions().Add(handle);
    const std::size_t found = RegionSize(region);
    if (found >= size) return region;
    if (check) *check = ObjectCheck{found > 0 ? OpenStatus::TooSmall : OpenStatus::Failed, {}, false, found};
    CloseRegion(region);
    return noRegion;
}

// A mapping keeps the size it was created with: one that is too short cannot
// be grown, which the system has no error for; one that cannot be looked at
// keeps the system's error.
bool GrowRegion(RegionHandle region, std::size_t size, ObjectCheck* check) {
    const std::size_t found = RegionSize(region);
    if (found >= size) return true;
    Report(check, OpenStatus::Failed);
    if (check && found == 0) check->error = static_cast<int>(GetLastError());
    return false;
}

bool MapRegion(RegionHandle region, ViewAccess access, RegionView& view, ObjectCheck* check) {
    HANDLE handle = Regions().Get(region);
    void* base = handle ? MapViewOfFile(handle, MapAccess(access), 0, 0, 0) : nullptr;
    if (!base) return false;
    std::size_t size = ViewSize(handle, base);
    if (size <= maxMappedRegionSize) {
        view = RegionView{static_cast<unsigned char*>(base), size, 0};
        return true;
    }
    UnmapViewOfFile(base);
    if (check) *check = ObjectCheck{OpenStatus::TooLarge, {}, false, size};
    return false;
}

bool UnmapRegion(RegionView& view) {
    if (!view.base) return true;
    bool unmapped = UnmapViewOfFile(view.base) != 0;
    view = RegionView{};
    return unmapped;
}

bool CloseRegion(RegionHandle& region) {
    HANDLE handle = Regions().Take(region);
    region = noRegion;
    return !handle || CloseHandle(handle) != 0;
}

// A mapping never shrinks, so a view never vanishes.
bool CopyFromRegion(const RegionView& view, std::size_t offset, void* destination, std::size_t length) {
    if (!InView(view, offset, length)) return false;
    std::memcpy(destination, view.base + offset, length);
    return true;
}

bool CopyToRegion(RegionView& view, std::size_t offset, const void* source, std::size_t length) {
    if (!InView(view, offset, length)) return false;
    std::memcpy(view.base + offset, source, length);
    return true;
}

// InterlockedExchange is a full barrier: everything written before the word
// is visible before it, and it before everything written after it.
bool StoreToRegion(RegionView& view, std::size_t offset, uint32_t value) {
    if (!InView(view, offset, sizeof value) || offset % alignof(LONG) != 0) return false;
    InterlockedExchange(reinterpret_cast<volatile LONG*>(view.base + offset), static_cast<LONG>(value));
    return true;
}

bool RegionVanished(const RegionView&) { return false; }

// An aligned load, then a full barrier, so that nothing read after the word
// is read before it. Not a compare-exchange: that needs write access to the
// page, and readers map the region read-only.
bool LoadRegionWord(const RegionView& view, std::size_t offset, uint32_t& value) {
    if (!InView(view, offset, sizeof value) || offset % alignof(LONG) != 0) return false;
    value = static_cast<uint32_t>(*reinterpret_cast<const volatile LONG*>(view.base + offset));
    MemoryBarrier();
    return true;
}

bool RegionWordStill(const RegionView& view, std::size_t offset, uint32_t before) {
    uint32_t now = 0;
    return LoadRegionWord(view, offset, now) && now == before;
}

bool StoreRegionWord(RegionView& view, std::size_t offset, uint32_t value) {
    return StoreToRegion(view, offset, value);
}

SharedMutex* OpenSharedMutex(const char* name, ObjectCheck* check) {
    return Wrapped(Trusted(win32::OpenNamedMutex(name), win32::mutexWriteRights, check, false));
}

// The system makes one mutex for all creators that start at once; the later
// ones are told ERROR_ALREADY_EXISTS and get the same object.
SharedMutex* CreateSharedMutex(const char* name, unsigned, ObjectCheck* check) {
    if (!win32::NameUsable(check)) return nullptr;
    HANDLE handle = CreateMutexA(nullptr, FALSE, SharedObjectName(name).c_str());
    bool created = handle && GetLastError() != ERROR_ALREADY_EXISTS;
    return Wrapped(Trusted(handle, win32::mutexWriteRights, check, created));
}

LockResult LockSharedMutex(SharedMutex* mutex) { return WaitFor(mutex, INFINITE); }

// Rounded up to whole milliseconds, the unit of the wait.
LockResult LockSharedMutex(SharedMutex* mutex, std::chrono::nanoseconds budget) {
    auto milliseconds = std::chrono::ceil<std::chrono::milliseconds>(budget).count();
    return WaitFor(mutex, static_cast<DWORD>(std::min<long long>(milliseconds, INFINITE - 1)));
}

LockResult CopyUnderMutex(SharedMutex* mutex, std::chrono::nanoseconds budget, const RegionView& view,
                          std::size_t offset, void* destination, std::size_t length) {
    if (!InView(view, offset, length)) return LockResult::Failed;
    LockResult locked = LockSharedMutex(mutex, budget);
    if (locked != LockResult::Acquired) return locked;
    std::memcpy(destination, view.base + offset, length);
    return UnlockSharedMutex(mutex) ? LockResult::Acquired : LockResult::Failed;
}

// A mutex acquired as abandoned is an ordinary held mutex already.
int SharedMutexError(const SharedMutex* mutex) { return mutex ? static_cast<int>(mutex->failure) : 0; }

bool MarkSharedMutexConsistent(SharedMutex* mutex) { return mutex != nullptr; }

bool UnlockSharedMutex(SharedMutex* mutex) { return mutex && ReleaseMutex(mutex->handle) != 0; }

bool CloseSharedMutex(SharedMutex*& mutex) {
    if (!mutex) return true;
    bool closed = CloseHandle(mutex->handle) != 0;
    delete mutex;
    mutex = nullptr;
    return closed;
}

// A named object goes when its last handle is closed; its name cannot be
// taken away from the processes that hold it.
bool UnlinkSharedObject(const char*) { return true; }

}  // namespace platform
