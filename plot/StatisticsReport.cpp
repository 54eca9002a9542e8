#include "plot/StatisticsReport.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <utility>

#include "plot/TrackStatistics.h"

namespace {

struct Column {
    const char* heading;
    int decimals;  // in the table for people; -1: a count
    std::function<double(const StationName&, const TrackStatistics&)> value;
};

const Column columns[] = {
    {"instrument", -1, [](const StationName& n, const TrackStatistics&) { return n.instrument; }},
    {"bin", -1, [](const StationName& n, const TrackStatistics&) { return n.bin; }},
    {"station", -1, [](const StationName& n, const TrackStatistics&) { return n.station; }},
    {"samples", -1, [](const StationName&, const TrackStatistics& s) { return s.samples; }},
    {"rate_hz", 2, [](const StationName&, const TrackStatistics& s) { return s.rateHz; }},
    {"p50_ms", 3, [](const StationName&, const TrackStatistics& s) { return s.intervalP50Ms; }},
    {"p99_ms", 3, [](const StationName&, const TrackStatistics& s) { return s.intervalP99Ms; }},
    {"max_ms", 3, [](const StationName&, const TrackStatistics& s) { return s.intervalMaxMs; }},
    {"dropouts", -1, [](const StationName&, const TrackStatistics& s) { return s.dropouts; }},
    {"missed", -1, [](const StationName&, const TrackStatistics& s) { return s.missed; }},
    {"inactive", 4, [](const StationName&, const TrackStatistics& s) { return s.inactiveFraction; }},
    {"nonfinite", 4, [](const StationName&, const TrackStatistics& s) { return s.nonFiniteFraction; }},
    {"range_x_m", 4, [](const StationName&, const TrackStatistics& s) { return s.rangeM[0]; }},
    {"range_y_m", 4, [](const StationName&, const TrackStatistics& s) { return s.rangeM[1]; }},
    {"range_z_m", 4, [](const StationName&, const TrackStatistics& s) { return s.rangeM[2]; }},
    {"jitter_mm", 3, [](const StationName&, const TrackStatistics& s) { return s.jitterMm; }},
    {"jitter_deg", 3, [](const StationName&, const TrackStatistics& s) { return s.jitterDeg; }},
};

// Beyond this a fixed number of decimals would only widen the table.
constexpr double widestFixed = 1e9;

using Cells = std::vector<std::string>;
using Format = std::string (*)(double value, int decimals);

std::string Printed(const char* format, int decimals, double value) {
    char text[64];
    std::snprintf(text, sizeof text, format, decimals, value);
    return text;
}

// For people: a few decimals, or a short exponent for a value too wide for them.
std::string ForPeople(double value, int decimals) {
    if (std::isnan(value)) return "-";
    if (std::fabs(value) >= widestFixed) return Printed("%.*g", 6, value);
    return Printed("%.*f", std::max(decimals, 0), value);
}

// For scripts: every digit that a double carries into a figure of nine.
std::string ForScripts(double value, int decimals) {
    if (std::isnan(value)) return "";
    return decimals < 0 ? Printed("%.*f", 0, value) : Printed("%.*g", 9, value);
}

std::vector<Cells> Rows(const std::vector<StationTrack>& tracks, Format format) {
    std::vector<Cells> rows{StatisticsHeadings()};
    for (const std::vector<double>& values : StatisticsValues(tracks)) {
        Cells cells;
        for (std::size_t i = 0; i < values.size(); ++i) cells.push_back(format(values[i], columns[i].decimals));
        rows.push_back(std::move(cells));
    }
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

std::vector<std::string> StatisticsHeadings() {
    std::vector<std::string> headings;
    for (const Column& column : columns) headings.push_back(column.heading);
    return headings;
}

std::vector<std::vector<double>> StatisticsValues(const std::vector<StationTrack>& tracks) {
    std::vector<std::vector<double>> rows;
    for (const StationTrack& track : tracks) {
        TrackStatistics statistics = ComputeStatistics(track);
        rows.emplace_back();
        for (const Column& column : columns) rows.back().push_back(column.value(track.Name(), statistics));
    }
    return rows;
}

std::string FormatStatisticsTable(const std::vector<StationTrack>& tracks) {
    std::vector<Cells> rows = Rows(tracks, ForPeople);
    std::vector<std::size_t> widths(rows.front().size(), 0);
    for (const Cells& row : rows)
        for (std::size_t i = 0; i < row.size(); ++i) widths[i] = std::max(widths[i], row[i].size());
    std::string text;
    for (const Cells& row : rows) text += Join(row, widths, "  ");
    return text;
}

std::string FormatStatisticsCsv(const std::vector<StationTrack>& tracks) {
    std::vector<Cells> rows = Rows(tracks, ForScripts);
    std::string text;
    for (const Cells& row : rows) text += Join(row, std::vector<std::size_t>(row.size(), 0), ",");
    return text;
}
