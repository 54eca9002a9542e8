#include "platform/Host.h"

#include <windows.h>

#include <cstdlib>

namespace platform {

std::string HostName() {
    char name[MAX_COMPUTERNAME_LENGTH + 1] = {};
    DWORD length = sizeof name;
    if (!GetComputerNameA(name, &length)) return {};
    return std::string(name, length);
}

// The C runtime keeps the program's full path.
const char* ProgramName() {
    static const std::string name = [] {
        std::string path = _pgmptr ? _pgmptr : "";
        std::string base = path.substr(path.find_last_of("\\/") + 1);
        bool executable = base.size() > 4 && base.compare(base.size() - 4, 4, ".exe") == 0;
        return executable ? base.substr(0, base.size() - 4) : base;
    }();
    return name.c_str();
}

unsigned ProcessId() { return static_cast<unsigned>(GetCurrentProcessId()); }

// A new file takes the permissions of its folder, which for the user's own
// folders are the user's only; there is no umask to narrow.
void KeepNewFilesPrivate() {}

}  // namespace platform
