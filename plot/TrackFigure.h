#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "plot/RecordingTracks.h"

// The time span a figure shows, in seconds since the recording started.
struct TimeSpan {
    double from;
    double to;
};

// The span of the tracks' writes; one second from the first when they all
// fall at one time.
TimeSpan SpanOfTracks(const std::vector<StationTrack>& tracks);

// How positions are drawn: each coordinate about its mean over the time
// shown, so that millimetres of motion show beside a coordinate a metre away,
// or as they are.
enum class PositionStyle { Detrended, Absolute };

// The figure of `recording.tracks`: per station one row of panels (position
// x/y/z in metres, azimuth/elevation/roll in degrees, the interval between
// writes in ms) over the shared time axis `span`, titled with the recording's
// name, start and host. Traces break where a value is not finite and at
// dropouts; spans where the station was inactive, not finite or silent are
// shaded. RGBA pixels, top row first.
std::vector<std::uint8_t> DrawTrackFigure(const TrackRecording& recording, TimeSpan span, int width, int height,
                                          PositionStyle style);
// The same; `messages` gets what PLplot said while drawing, raw.
std::vector<std::uint8_t> DrawTrackFigure(const TrackRecording& recording, TimeSpan span, int width, int height,
                                          PositionStyle style, std::string& messages);
