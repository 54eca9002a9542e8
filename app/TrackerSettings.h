#pragma once

#include <cstdint>

// What the command line configures: the tracker link and a few viewer options.
struct TrackerSettings {
    int32_t type = 7;  // index into the tracker-type table; 7 is the only type served
    int32_t port = 1;
    int32_t baud = 115200;
    uint32_t instrumentMask = 0x1;
    uint32_t binMask = 0x3;
    uint32_t stationMask = 0xF;
    float originOffset[3] = {-65.0f, 0.0f, 40.0f};  // centimetres, added to every station position
};

extern TrackerSettings trackerSettings;
extern int32_t verboseLevel;
extern bool startMaximized;
extern const char* configFileName;
