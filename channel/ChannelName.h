#pragma once

// How a channel's two objects are named: a base name and two digits
// (instrument, channel), e.g. QuillmontShMem01 and QuillmontMutex01. The
// platform adds the prefix of the environment (platform::SharedObjectName).
#include "channel/ChannelId.h"

enum class ChannelObject { Region, Mutex };

constexpr int channelsPerInstrument = ChannelId::count;

struct ChannelName {
    static constexpr int capacity = 32;
    char text[capacity];
};

// Instrument and channel are 0..15.
ChannelName NameOf(ChannelObject object, int instrument, int channel);
