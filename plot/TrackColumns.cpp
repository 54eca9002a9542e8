#include "plot/TrackColumns.h"

#include <algorithm>
#include <cfloat>
#include <cmath>

namespace {

const Silence& Longer(const Silence& a, const Silence& b) { return b.Length() > a.Length() ? b : a; }

void AddValue(TrackColumn& column, int series, float value, std::uint8_t& pendingBreaks) {
    const std::uint8_t bit = static_cast<std::uint8_t>(1u << series);
    if (!(column.present & bit)) {
        column.low[series] = column.high[series] = value;
        column.present |= bit;
        column.brokenBefore |= pendingBreaks & bit;
    }
    column.low[series] = std::min(column.low[series], value);
    column.high[series] = std::max(column.high[series], value);
    pendingBreaks &= static_cast<std::uint8_t>(~bit);
}

}  // namespace

TrackColumns::TrackColumns(int capacity) : capacity(static_cast<std::size_t>(std::max(capacity, 2) & ~1)) {}

void TrackColumns::Add(double seconds, const double (&values)[seriesCount], std::uint8_t states) {
    const Silence since{started ? lastSeconds : seconds, seconds};
    if (!started) origin = seconds, started = true;
    while ((seconds - origin) / width >= static_cast<double>(capacity)) Widen();
    const std::size_t index = static_cast<std::size_t>((seconds - origin) / width);
    if (index >= cells.size()) cells.resize(index + 1);
    TrackColumn& column = cells[index];
    const Silence silence = states & missedState ? Silence{seconds, seconds} : since;
    if (states & missedState) column.missed = Longer(column.missed, since);
    if (!column.any)
        column.firstStates = states, column.into = silence;
    else
        column.inside = Longer(column.inside, silence);
    column.states |= states;
    column.lastStates = states;
    column.any = true;
    for (int series = 0; series < seriesCount; ++series) {
        if (std::isfinite(values[series]))
            AddValue(column, series, static_cast<float>(std::clamp<double>(values[series], -FLT_MAX, FLT_MAX)),
                     pendingBreaks);
        else
            pendingBreaks |= static_cast<std::uint8_t>(1u << series);
    }
    lastSeconds = seconds;
}

void TrackColumns::Widen() {
    std::vector<TrackColumn> merged((cells.size() + 1) / 2);
    for (std::size_t i = 0; i < merged.size(); ++i)
        merged[i] = 2 * i + 1 < cells.size() ? Merge(cells[2 * i], cells[2 * i + 1]) : cells[2 * i];
    cells.swap(merged);
    width *= 2.0;
}

std::vector<TrackColumn> TrackColumns::Resample(double from, double to, int columns) const {
    std::vector<TrackColumn> resampled(static_cast<std::size_t>(std::max(columns, 1)));
    const double pixel = (to - from) / resampled.size();
    for (std::size_t i = 0; i < cells.size(); ++i) {
        if (!cells[i].any) continue;
        double centre = origin + (i + 0.5) * width;
        double at = std::clamp(std::floor((centre - from) / pixel), 0.0, resampled.size() - 1.0);
        TrackColumn& target = resampled[static_cast<std::size_t>(at)];
        target = Merge(target, cells[i]);
    }
    return resampled;
}

TrackColumn Merge(const TrackColumn& a, const TrackColumn& b) {
    if (!b.any) return a;
    if (!a.any) return b;
    TrackColumn merged = a;
    for (int series = 0; series < seriesCount; ++series) {
        const std::uint8_t bit = static_cast<std::uint8_t>(1u << series);
        if (!(b.present & bit)) continue;
        if (!(a.present & bit)) {
            merged.low[series] = b.low[series], merged.high[series] = b.high[series];
            merged.brokenBefore |= b.brokenBefore & bit;
        }
        merged.low[series] = std::min(merged.low[series], b.low[series]);
        merged.high[series] = std::max(merged.high[series], b.high[series]);
    }
    merged.present |= b.present;
    merged.states |= b.states;
    merged.lastStates = b.lastStates;
    merged.inside = Longer(Longer(a.inside, b.inside), b.into);
    merged.missed = Longer(a.missed, b.missed);
    return merged;
}
