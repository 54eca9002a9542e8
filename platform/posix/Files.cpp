#include "platform/Files.h"

#include <unistd.h>

namespace platform {

unsigned ThisUser() { return static_cast<unsigned>(geteuid()); }

}  // namespace platform
