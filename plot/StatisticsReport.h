#pragma once

#include <string>
#include <vector>

#include "plot/StationTrack.h"

// Each track's statistics, one line per track under a heading: aligned
// columns for people ("-" for a figure the track is too short for), or CSV
// for scripts (an empty field).
std::string FormatStatisticsTable(const std::vector<StationTrack>& tracks);
std::string FormatStatisticsCsv(const std::vector<StationTrack>& tracks);
