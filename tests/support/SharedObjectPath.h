#pragma once

#include <string>

namespace testsupport {

// The file behind the shared-memory object `prefix` + `name`, which the tests
// truncate, give away or loosen as another process or user would.
inline std::string SharedObjectPath(const std::string& prefix, const std::string& name) {
    return "/dev/shm/" + prefix + name;
}

}  // namespace testsupport
