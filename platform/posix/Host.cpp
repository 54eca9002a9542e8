#include "platform/Host.h"

#include <cerrno>
#include <climits>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

std::string HostName() {
    char name[HOST_NAME_MAX + 1] = {};
    if (gethostname(name, sizeof name - 1) != 0) return {};
    return name;
}

const char* ProgramName() { return program_invocation_short_name; }

unsigned ProcessId() { return static_cast<unsigned>(getpid()); }

void KeepNewFilesPrivate() { (void)umask(077); }

}  // namespace platform
