#include "tools/common/ChannelMode.h"

#include <cerrno>
#include <cstdlib>

std::string ParseChannelMode(const std::string& text, unsigned& mode) {
    char* end = nullptr;
    errno = 0;
    long parsed = text.empty() || text[0] == '-' || text[0] == '+' ? -1 : std::strtol(text.c_str(), &end, 8);
    if (parsed < 0 || errno != 0 || *end != '\0' || parsed > 0777) return "expected octal permission bits, 0..777";
    if (parsed & 0002)
        return "other users could write the channels, and the viewer does not trust them then; drop the 002 bit";
    if (parsed & 0020)
        return "the group could write the channels, which lets its members corrupt them and the processes that "
               "read them; watching needs only read access: use 0640";
    mode = static_cast<unsigned>(parsed);
    return {};
}

CLI::Validator ChannelModeValidator() {
    return CLI::Validator(
        [](std::string& text) {
            unsigned mode = 0;
            return ParseChannelMode(text, mode);
        },
        "", "ChannelMode");
}
