#include "platform/ObjectPrefix.h"

#include <algorithm>
#include <cstdlib>

#include "platform/SharedMemory.h"

namespace platform {

namespace {

bool IsControl(char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7F; }

}  // namespace

std::string prefix::Current() {
    const char* value = std::getenv("LUMIVEX_SHM_PREFIX");
    return value ? value : "";
}

std::string prefix::Refusal(const std::string& prefix, char separator, std::size_t longest) {
    if (prefix.find(separator) != std::string::npos) return std::string("it contains '") + separator + "'";
    if (prefix == "." || prefix == "..") return "it is \".\" or \"..\"";
    if (std::any_of(prefix.begin(), prefix.end(), IsControl)) return "it contains control characters";
    if (prefix.size() > longest) return "it is longer than " + std::to_string(longest) + " characters";
    return "";
}

std::string SharedObjectName(const char* name) { return prefix::Current() + name; }

}  // namespace platform
