#pragma once

#include <string>

#include "plot/StationTrack.h"
#include "tools/common/RunCommandLine.h"

// Everything the command line of lumivex-plot sets.
struct PlotOptions {
    std::string recording;  // "-": standard input
    std::string output;     // the picture; "" before the default is worked out
    TrackSelection selection;
    bool fromGiven = false;
    bool toGiven = false;
    bool narrowed = false;  // bins, stations or time were chosen
    int width = 1600;
    int height = 1000;
    bool sizeGiven = false;  // else the height grows to fit every station
    bool stats = false;
    bool csv = false;
};

// Big enough for a wall, small enough that the picture's memory stays modest.
constexpr int smallestPictureSide = 400, largestPictureSide = 8000;

// Reads the command line into `options`, answering help, version and errors
// itself (RunCommandLine).
CommandLineOutcome ParsePlotOptions(int argc, const char* const* argv, PlotOptions& options);

// The picture's default name: the recording's, its ".gz" and extension
// replaced by ".png".
std::string DefaultOutput(const std::string& recording);
