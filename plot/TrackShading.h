#pragma once

#include <vector>

#include "plot/FigureCanvas.h"
#include "plot/TrackFigure.h"

// What a shaded span of a station's panels says: it was written inactive,
// with values that are not finite, or not at all.
enum ShadeKind { inactiveShade, nonFiniteShade, silentShade };
constexpr int shadeKinds = 3;

struct ShadedSpan {
    double from;
    double to;
    ShadeKind kind;
};

Colour ShadeColour(ShadeKind kind);
const char* ShadeName(ShadeKind kind);

// The spans of `span` to shade for `track`, whose columns (of equal width
// across the span) are `columns`: runs of columns with an inactive or a
// non-finite write (a column without writes takes what the writes on both
// its sides share), and intervals without a write longer than `silenceLimit`
// seconds, also before the first write and after the last.
std::vector<ShadedSpan> ShadedSpans(const StationTrack& track, const std::vector<TrackColumn>& columns, TimeSpan span,
                                    double silenceLimit);
