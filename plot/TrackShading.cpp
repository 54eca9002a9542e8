#include "plot/TrackShading.h"

namespace {

struct Shade {
    std::uint8_t state;  // the write state it shows; 0 for silence
    Colour colour;       // light, so that traces and grid stay readable over it
    const char* name;
};
const Shade shades[shadeKinds] = {
    {inactiveState, {214, 226, 245}, "inactive"},
    {nonFiniteState, {250, 210, 210}, "not finite"},
    {0, {238, 232, 196}, "silent"},
    {missedState, {226, 208, 240}, "missed writes"},
};

// Each column's write states; a column without writes takes those both its
// neighbours with writes share.
std::vector<std::uint8_t> ColumnStates(const std::vector<TrackColumn>& columns) {
    std::vector<std::uint8_t> states(columns.size(), 0);
    std::uint8_t before = 0;
    for (std::size_t i = 0; i < columns.size(); ++i) {
        states[i] = columns[i].any ? columns[i].states : before;
        if (columns[i].any) before = columns[i].lastStates;
    }
    std::uint8_t after = 0;
    for (std::size_t i = columns.size(); i-- > 0;) {
        if (columns[i].any)
            after = columns[i].firstStates;
        else
            states[i] &= after;
    }
    return states;
}

void AddRuns(const std::vector<std::uint8_t>& states, TimeSpan span, ShadeKind kind, std::vector<ShadedSpan>& spans) {
    const double width = (span.to - span.from) / states.size();
    const std::uint8_t bit = shades[kind].state;
    for (std::size_t i = 0; i < states.size();) {
        if (!(states[i] & bit)) {
            ++i;
            continue;
        }
        std::size_t end = i;
        while (end < states.size() && (states[end] & bit)) ++end;
        spans.push_back({span.from + i * width, span.from + end * width, kind});
        i = end;
    }
}

void AddSilence(const Silence& silence, double limit, std::vector<ShadedSpan>& spans) {
    if (silence.Length() > limit) spans.push_back({silence.from, silence.to, silentShade});
}

}  // namespace

Colour ShadeColour(ShadeKind kind) { return shades[kind].colour; }

const char* ShadeName(ShadeKind kind) { return shades[kind].name; }

std::vector<ShadedSpan> ShadedSpans(const StationTrack& track, const std::vector<TrackColumn>& columns, TimeSpan span,
                                    double silenceLimit) {
    std::vector<ShadedSpan> spans;
    std::vector<std::uint8_t> states = ColumnStates(columns);
    AddRuns(states, span, inactiveShade, spans);
    AddRuns(states, span, nonFiniteShade, spans);
    for (const TrackColumn& column : columns) {
        if (!column.any) continue;
        AddSilence(column.into, silenceLimit, spans);
        AddSilence(column.inside, silenceLimit, spans);
        if (column.missed.Length() > 0.0) spans.push_back({column.missed.from, column.missed.to, missedShade});
    }
    AddSilence({span.from, track.FirstSeconds()}, silenceLimit, spans);
    AddSilence({track.LastSeconds(), span.to}, silenceLimit, spans);
    return spans;
}
