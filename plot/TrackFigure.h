#pragma once

#include <cstdint>
#include <vector>

#include "plot/StationTrack.h"

// The time span a figure shows, in seconds since the recording started.
struct TimeSpan {
    double from;
    double to;
};

// The span of the tracks' updates, widened to a second when it is shorter.
TimeSpan SpanOfTracks(const std::vector<StationTrack>& tracks);

// The figure of `tracks` (those of `recording` left after selection): per
// station one row of panels (position x/y/z in the channel's unit, azimuth/
// elevation/roll in degrees, the interval between updates in ms) over the
// shared time axis `span`, titled with the recording's name, start and host.
// RGBA pixels, top row first.
std::vector<std::uint8_t> DrawTrackFigure(const TrackRecording& recording, const std::vector<StationTrack>& tracks,
                                          TimeSpan span, int width, int height);
