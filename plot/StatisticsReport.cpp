#include "plot/StatisticsReport.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>

#include "plot/TrackStatistics.h"

namespace {

struct Column {
    const char* heading;
    int decimals;
    std::function<double(const StationTrack&, const TrackStatistics&)> value;
};

const Column columns[] = {
    {"instrument", 0, [](const StationTrack& t, const TrackStatistics&) { return t.instrument; }},
    {"bin", 0, [](const StationTrack& t, const TrackStatistics&) { return t.bin; }},
    {"station", 0, [](const StationTrack& t, const TrackStatistics&) { return t.station; }},
    {"samples", 0, [](const StationTrack&, const TrackStatistics& s) { return s.samples; }},
    {"rate_hz", 2, [](const StationTrack&, const TrackStatistics& s) { return s.rateHz; }},
    {"p50_ms", 2, [](const StationTrack&, const TrackStatistics& s) { return s.intervalP50Ms; }},
    {"p99_ms", 2, [](const StationTrack&, const TrackStatistics& s) { return s.intervalP99Ms; }},
    {"max_ms", 2, [](const StationTrack&, const TrackStatistics& s) { return s.intervalMaxMs; }},
    {"dropouts", 0, [](const StationTrack&, const TrackStatistics& s) { return s.dropouts; }},
    {"range_x", 4, [](const StationTrack&, const TrackStatistics& s) { return s.range[0]; }},
    {"range_y", 4, [](const StationTrack&, const TrackStatistics& s) { return s.range[1]; }},
    {"range_z", 4, [](const StationTrack&, const TrackStatistics& s) { return s.range[2]; }},
    {"jitter", 6, [](const StationTrack&, const TrackStatistics& s) { return s.jitter; }},
    {"jitter_mm", 3, [](const StationTrack&, const TrackStatistics& s) { return s.jitterMm; }},
};
// The unit of range_* and jitter follows the figures; it is text, so it is set apart.
const char* const unitHeading = "unit";

using Cells = std::vector<std::string>;

std::string Number(double value, int decimals, const char* missing) {
    if (std::isnan(value)) return missing;
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}

Cells Heading() {
    Cells cells;
    for (const Column& column : columns) cells.push_back(column.heading);
    cells.push_back(unitHeading);
    return cells;
}

Cells Figures(const StationTrack& track, const char* missing) {
    TrackStatistics statistics = ComputeStatistics(track);
    Cells cells;
    for (const Column& column : columns) cells.push_back(Number(column.value(track, statistics), column.decimals, missing));
    cells.push_back(UnitOfTrack(track).name);
    return cells;
}

std::vector<Cells> Rows(const std::vector<StationTrack>& tracks, const char* missing) {
    std::vector<Cells> rows{Heading()};
    for (const StationTrack& track : tracks) rows.push_back(Figures(track, missing));
    return rows;
}

std::string Join(const Cells& cells, const std::vector<std::size_t>& widths, const char* separator) {
    std::string line;
    for (std::size_t i = 0; i < cells.size(); ++i) {
        if (i > 0) line += separator;
        line += std::string(widths[i] - std::min(widths[i], cells[i].size()), ' ') + cells[i];
    }
    return line + "\n";
}

}  // namespace

std::string FormatStatisticsTable(const std::vector<StationTrack>& tracks) {
    std::vector<Cells> rows = Rows(tracks, "-");
    std::vector<std::size_t> widths(rows.front().size(), 0);
    for (const Cells& row : rows)
        for (std::size_t i = 0; i < row.size(); ++i) widths[i] = std::max(widths[i], row[i].size());
    std::string text;
    for (const Cells& row : rows) text += Join(row, widths, "  ");
    return text;
}

std::string FormatStatisticsCsv(const std::vector<StationTrack>& tracks) {
    std::vector<Cells> rows = Rows(tracks, "");
    std::string text;
    for (const Cells& row : rows) text += Join(row, std::vector<std::size_t>(row.size(), 0), ",");
    return text;
}
