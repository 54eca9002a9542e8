#pragma once

// One row of the station map: which station of which channel drives what.
struct StationMapEntry {
    int instrument = 0;  // index into the tracker client array
    int bin = 0;         // channel 0..15
    int station = 0;     // record 0..31
    int objectId = 0;    // 1: the viewpoint; otherwise the scene object with this tracking id
    bool tracking = false;
    float scale = 1.0f;  // channel unit to centimetres
    // Whether `scale` comes from the channel's flags; a row whose channel the
    // start-up report could not read takes them from its first read.
    bool unitKnown = false;
};
