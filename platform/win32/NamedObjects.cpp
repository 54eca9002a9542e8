#include "platform/win32/NamedObjects.h"

#include "platform/ObjectPrefix.h"

#include <algorithm>
#include <cstdlib>

namespace platform {

// Leaves room for the longest name a channel adds to the prefix.
constexpr std::size_t maxPrefixLength = MAX_PATH - 32;

// A backslash would put the objects into another namespace ("Global\...").
std::string SharedPrefixRefusal() { return prefix::Refusal(prefix::Current(), '\\', maxPrefixLength); }

// There is no file of trusted owners here: SYSTEM and the Administrators are
// the owners trusted besides this user.
const std::vector<std::string>& TrustedOwnerWarnings() {
    static const std::vector<std::string> none;
    return none;
}

namespace win32 {

// Under a refused prefix nothing is published.
HANDLE OpenMapping(const char* name, DWORD access) {
    if (!SharedPrefixRefusal().empty()) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return nullptr;
    }
    // Asking its size needs SECTION_QUERY, which a server's DACL may not grant.
    const std::string full = SharedObjectName(name);
    HANDLE mapping = OpenFileMappingA(access | READ_CONTROL | SECTION_QUERY, FALSE, full.c_str());
    if (mapping || GetLastError() != ERROR_ACCESS_DENIED) return mapping;
    return OpenFileMappingA(access | READ_CONTROL, FALSE, full.c_str());
}

HANDLE OpenNamedMutex(const char* name) {
    if (!SharedPrefixRefusal().empty()) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return nullptr;
    }
    return OpenMutexA(SYNCHRONIZE | READ_CONTROL, FALSE, SharedObjectName(name).c_str());
}

bool NameUsable(ObjectCheck* check) {
    bool usable = SharedPrefixRefusal().empty();
    if (!usable && check) *check = ObjectCheck{OpenStatus::RefusedName};
    return usable;
}

// A name held by an object of another kind fails with ERROR_INVALID_HANDLE.
bool NameInUse(const char* name) {
    HANDLE mapping = OpenMapping(name, FILE_MAP_READ);
    if (mapping) CloseHandle(mapping);
    return mapping || GetLastError() != ERROR_FILE_NOT_FOUND;
}

OpenStatus StatusOfError(DWORD error) {
    switch (error) {
        case ERROR_FILE_NOT_FOUND:
            return OpenStatus::Missing;
        case ERROR_INVALID_HANDLE:
            return OpenStatus::NotRegularFile;
        case ERROR_ACCESS_DENIED:
            return OpenStatus::PermissionDenied;
        default:
            return OpenStatus::Failed;
    }
}

int HandleTable::Add(HANDLE handle) {
    std::lock_guard<std::mutex> hold(guard);
    std::size_t index = 0;
    while (index < handles.size() && handles[index]) ++index;
    if (index == handles.size()) handles.push_back(nullptr);
    handles[index] = handle;
    return static_cast<int>(index);
}

HANDLE HandleTable::Get(int number) {
    std::lock_guard<std::mutex> hold(guard);
    return number >= 0 && static_cast<std::size_t>(number) < handles.size() ? handles[number] : nullptr;
}

HANDLE HandleTable::Take(int number) {
    std::lock_guard<std::mutex> hold(guard);
    if (number < 0 || static_cast<std::size_t>(number) >= handles.size()) return nullptr;
    HANDLE handle = handles[number];
    handles[number] = nullptr;
    return handle;
}

}  // namespace win32

}  // namespace platform
