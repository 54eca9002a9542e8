#pragma once

#include <cstdint>
#include <string>

#include "channel/ChannelMonitor.h"

// The columns of a station's line in the monitor: its name, x, y, z in the
// channel's unit, the angles in degrees, ACTIVE, inactive or gone (its
// channel removed), the update rate in Hz and the age of the last change in ms.

// What one station's line is made from.
struct StationCell {
    int instrument;
    const ChannelWatch& channel;
    const StationWatch& station;
    MonitorClock::time_point now;
};

// A set of columns: bit c for the c-th column.
using ColumnSet = uint32_t;

ColumnSet AllColumns();
ColumnSet RateColumn();
// Of `offered`, the columns that fit in `width` characters, or all for 0.
// Narrower widths give up the age first, then the rate, the angles, the state
// and z, y, x; the name always stays. 80 characters show all but the rate
// and the age.
ColumnSet ColumnsThatFit(int width, ColumnSet offered = AllColumns());

std::string StationLine(const StationCell& cell, ColumnSet shown);
std::string StationHeading(ColumnSet shown);

// The headings of `columns`, joined by `separator`; with `oneWord`, the spaces
// in a heading become underscores ("az_deg"), as scripts split at spaces.
std::string ColumnNames(ColumnSet columns, const char* separator, bool oneWord);
// "x 4, y 4, ...": how many decimals each number column is printed with.
std::string ColumnDecimals();
