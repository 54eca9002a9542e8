#include "tools/common/ChannelMode.h"

#include "tools/common/OptionNumbers.h"

std::string ParseChannelMode(const std::string& text, unsigned& mode) {
    unsigned long long parsed = 0;
    if (!ParseOctal(text, 0777, parsed)) return "expected octal permission bits, 0..777";
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
