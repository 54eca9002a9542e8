#include "platform/InputFile.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace platform {

InputFile::~InputFile() {
    if (owned) (void)close(descriptor);
}

bool InputFile::Open(const std::string& path, std::string& reason) {
    owned = path != "-";
    descriptor = owned ? open(path.c_str(), O_RDONLY | O_CLOEXEC) : STDIN_FILENO;
    if (descriptor >= 0) return true;
    owned = false;
    reason = std::strerror(errno);
    return false;
}

long InputFile::Read(char* buffer, std::size_t size, std::string& reason) {
    for (;;) {
        ssize_t got = read(descriptor, buffer, size);
        if (got >= 0) return static_cast<long>(got);
        if (errno == EINTR) continue;
        reason = std::strerror(errno);
        return -1;
    }
}

}  // namespace platform
