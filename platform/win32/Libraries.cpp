#include "platform/Libraries.h"

#include <windows.h>

#include <vector>

#include "platform/win32/SystemText.h"

namespace platform {

using win32::SystemText;

std::string LibraryFileName(const std::string& name) { return name + ".dll"; }

std::string ProgramFolder() {
    std::vector<char> path(MAX_PATH);
    DWORD length = 0;
    while ((length = GetModuleFileNameA(nullptr, path.data(), static_cast<DWORD>(path.size()))) == path.size())
        path.resize(path.size() * 2);
    const std::string program(path.data(), length);
    const size_t slash = program.find_last_of("\\/");
    return slash == std::string::npos ? "." : program.substr(0, slash);
}

// The plugin's own folder is searched for what it needs, as the program's is.
bool LibraryLoads(const std::string& path, std::string& reason) {
    HMODULE library = LoadLibraryExA(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    if (!library) {
        reason = SystemText(GetLastError());
        return false;
    }
    FreeLibrary(library);
    return true;
}

bool LibraryLoaded(const std::string& name) { return GetModuleHandleA(LibraryFileName(name).c_str()) != nullptr; }

}  // namespace platform
