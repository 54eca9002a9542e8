#include "channel/ChannelName.h"

#include <cstdio>

ChannelName NameOf(ChannelObject object, int instrument, int channel) {
    static const char digits[] = "0123456789ABCDEF";
    ChannelName name{};
    std::snprintf(name.text, sizeof name.text, "%s%c%c",
                  object == ChannelObject::Region ? "QuillmontShMem" : "QuillmontMutex", digits[instrument & 15],
                  digits[channel & 15]);
    return name;
}
