#pragma once

#include <vector>

#include "plot/FigureCanvas.h"
#include "plot/TrackFigure.h"

// What a shaded span of a station's panels says: it was written inactive,
// with values that are not finite, not at all (silent), or by writes the
// recorder missed (the server went on; its counter jumped).
enum ShadeKind { inactiveShade, nonFiniteShade, silentShade, missedShade };
constexpr int shadeKinds = 4;

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
// seconds, also before the first write and after the last, and each interval
// across missed writes, whatever its length.
std::vector<ShadedSpan> ShadedSpans(const StationTrack& track, const std::vector<TrackColumn>& columns, TimeSpan span,
                                    double silenceLimit);
