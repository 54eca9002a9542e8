#include "platform/Files.h"

#include <sys/stat.h>
#include <unistd.h>

namespace platform {

bool LookAtFile(const std::string& path, FileFacts& facts) {
    struct stat status {};
    if (stat(path.c_str(), &status) != 0) return false;
    facts = FileFacts{S_ISREG(status.st_mode), static_cast<unsigned>(status.st_uid),
                      static_cast<unsigned>(status.st_mode & 07777)};
    return true;
}

unsigned ThisUser() { return static_cast<unsigned>(geteuid()); }

}  // namespace platform
