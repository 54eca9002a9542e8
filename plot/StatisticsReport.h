#pragma once

#include <string>
#include <vector>

#include "plot/StationTrack.h"

// Each track's statistics, one line per track under a heading: aligned
// columns for people ("-" for a figure the track is too short for), or CSV
// for scripts (an empty field).
std::string FormatStatisticsTable(const std::vector<StationTrack>& tracks);
std::string FormatStatisticsCsv(const std::vector<StationTrack>& tracks);

// The same figures as numbers, for programs: the report's column headings,
// and per track one value per heading (NaN where the report leaves a gap).
std::vector<std::string> StatisticsHeadings();
std::vector<std::vector<double>> StatisticsValues(const std::vector<StationTrack>& tracks);
