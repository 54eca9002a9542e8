#pragma once

#include <string>

#include "channel/ChannelId.h"
#include "plot/StationTrack.h"
#include "plot/TrackFigure.h"
#include "tools/common/RunCommandLine.h"

// Everything the command line of lumivex-plot sets.
struct PlotOptions {
    std::string recording;                                   // "-": standard input
    std::string output;                                      // the picture; "" before the default is worked out
    TrackSelection selection{(1u << ChannelId::count) - 1};  // every bin, as the help shows it: 0-15
    bool fromGiven = false;
    bool toGiven = false;
    bool narrowed = false;  // bins, stations or time were chosen
    int width = 1600;
    int height = 1000;
    bool sizeGiven = false;  // else the height grows to fit every station
    PositionStyle position = PositionStyle::Detrended;
    bool stats = false;
    bool csv = false;
    bool force = false;  // the picture may replace a file
};

// Big enough for a wall, small enough that the picture's memory stays modest:
// its pixels take 4 bytes each, and drawing and writing it about as much again.
constexpr int smallestPictureSide = 400, largestPictureSide = 8000;
constexpr long mostPicturePixels = 25000000;

// Reads the command line into `options`, answering help, version and errors
// itself (RunCommandLine).
CommandLineOutcome ParsePlotOptions(int argc, const char* const* argv, PlotOptions& options);

// The picture's default name: the recording's with ".png" added, so that
// "rec.csv" and "rec.csv.gz" never share one.
std::string DefaultOutput(const std::string& recording);
