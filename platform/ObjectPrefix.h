#pragma once

#include <cstddef>
#include <string>

// The prefix of shared object names, for the platform's own files: one rule
// on every platform, with the platform's separator and longest name.
namespace platform::prefix {

// $LUMIVEX_SHM_PREFIX, or "" when it is not set.
std::string Current();

// Why `prefix` cannot stand before object names: it holds `separator`, is
// "." or "..", holds control characters, or is longer than `longest`; ""
// when it can.
std::string Refusal(const std::string& prefix, char separator, std::size_t longest);

}  // namespace platform::prefix
