#include "platform/InputFile.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <io.h>

namespace platform {

InputFile::~InputFile() {
    if (owned) _close(descriptor);
}

// Binary: a recording's line ends are its own, CR LF or LF.
bool InputFile::Open(const std::string& path, std::string& reason) {
    owned = path != "-";
    descriptor = owned ? _open(path.c_str(), _O_RDONLY | _O_BINARY) : 0;
    if (!owned) _setmode(descriptor, _O_BINARY);
    if (descriptor >= 0) return true;
    owned = false;
    reason = std::strerror(errno);
    return false;
}

// A pipe that its writer closed ends the input.
long InputFile::Read(char* buffer, std::size_t size, std::string& reason) {
    int got = _read(descriptor, buffer, static_cast<unsigned>(size > 1u << 30 ? 1u << 30 : size));
    if (got >= 0) return got;
    if (errno == EPIPE) return 0;
    reason = std::strerror(errno);
    return -1;
}

}  // namespace platform
