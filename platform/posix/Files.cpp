#include "platform/Files.h"

#include <unistd.h>

namespace platform {

std::string ThisUser() { return "uid " + std::to_string(geteuid()); }

const FileAdvice& Advice() {
    static const FileAdvice advice{"root", "make it owner-only (chmod 600)",
                                   "make it writable by its owner only (chmod go-w)"};
    return advice;
}

}  // namespace platform
