#include "platform/win32/NamedObjects.h"

#include <cstdlib>

namespace platform {

std::string SharedObjectName(const char* name) {
    const char* prefix = std::getenv("LUMIVEX_SHM_PREFIX");
    return std::string(prefix ? prefix : "") + name;
}

namespace win32 {

HANDLE OpenMapping(const char* name, DWORD access) {
    return OpenFileMappingA(access | READ_CONTROL, FALSE, SharedObjectName(name).c_str());
}

// A name held by an object of another kind fails with ERROR_INVALID_HANDLE.
bool NameInUse(const char* name) {
    HANDLE mapping = OpenMapping(name, FILE_MAP_READ);
    if (mapping) CloseHandle(mapping);
    return mapping || GetLastError() != ERROR_FILE_NOT_FOUND;
}

OpenStatus StatusOfError(DWORD error) {
    switch (error) {
    case ERROR_FILE_NOT_FOUND: return OpenStatus::Missing;
    case ERROR_INVALID_HANDLE: return OpenStatus::NotRegularFile;
    case ERROR_ACCESS_DENIED: return OpenStatus::PermissionDenied;
    default: return OpenStatus::Failed;
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
