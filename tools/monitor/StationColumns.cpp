#include "tools/monitor/StationColumns.h"

#include <algorithm>
#include <cstdio>
#include <optional>

namespace {

constexpr double degreesPerRadian = 57.29577951308232;

using Number = std::optional<double>;  // empty: not known, shown as "-"

// A column of a station's line: a number to `decimals` places, or a text.
struct Column {
    const char* heading;
    int gap;    // spaces before it
    int width;  // negative: aligned left
    int decimals;
    Number (*number)(const StationCell&);
    std::string (*text)(const StationCell&);
    const char* (*word)(const StationCell&) = nullptr;  // a word in place of the number, when it gives one
};

std::string Name(const StationCell& cell) {
    return "(" + std::to_string(cell.instrument) + "," + std::to_string(cell.channel.bin) + "," +
           std::to_string(cell.station.station) + ")";
}

// A removed channel's mapping still shows its last write; its stations are
// gone, not active.
std::string State(const StationCell& cell) {
    if (cell.channel.gone) return "gone";
    bool active = cell.station.station < 4 && (cell.channel.state.flags >> cell.station.station & 1u);
    return active ? "ACTIVE" : "inactive";
}

Number RateHz(const StationCell& cell) {
    if (cell.channel.gone) return {};
    double hz = cell.channel.StationHz(cell.station);
    return hz < 0.0 ? Number() : hz;
}

// A write stamped after the poll read its clock is younger than the poll, not
// of a negative age.
Number AgeMs(const StationCell& cell) {
    if (!cell.station.changeKnown) return {};
    return std::max(0.0, 1000.0 * std::chrono::duration<double>(cell.now - cell.station.lastChange).count());
}

// A stamp further than 10 s from this clock tells no age: the time it falls
// back to is the monitor's read, which would look fresh.
const char* AgeWord(const StationCell& cell) { return cell.station.stampStale ? "stale" : nullptr; }

// Widths fit the usual numbers ("-12.3456", "-179.99") and a space; a wider
// one pushes the rest of its line along rather than being cut.
const Column columns[] = {
    {"station", 2, -10, 0, nullptr, Name},
    {"x", 1, 8, 4, [](const StationCell& c) -> Number { return c.station.pose.x; }, nullptr},
    {"y", 1, 8, 4, [](const StationCell& c) -> Number { return c.station.pose.y; }, nullptr},
    {"z", 1, 8, 4, [](const StationCell& c) -> Number { return c.station.pose.z; }, nullptr},
    {"az deg", 1, 7, 2, [](const StationCell& c) -> Number { return c.station.pose.azimuth * degreesPerRadian; },
     nullptr},
    {"el deg", 1, 7, 2, [](const StationCell& c) -> Number { return c.station.pose.elevation * degreesPerRadian; },
     nullptr},
    {"roll deg", 1, 8, 2, [](const StationCell& c) -> Number { return c.station.pose.roll * degreesPerRadian; },
     nullptr},
    {"state", 1, -8, 0, nullptr, State},
    {"rate Hz", 1, 7, 1, RateHz, nullptr},
    {"age ms", 1, 7, 0, AgeMs, nullptr, AgeWord},
};
constexpr int columnCount = sizeof columns / sizeof columns[0];
constexpr int rateColumn = 8;

// The order in which columns are kept as the width shrinks: whether a station
// is live matters more on a narrow terminal than which way it points, and
// that more than its rate and age. 80 columns show all but the rate and age.
constexpr int keepOrder[columnCount] = {0, 1, 2, 3, 7, 4, 5, 6, 8, 9};

std::string Aligned(const Column& column, const std::string& text) {
    char cell[64];
    int length = std::snprintf(cell, sizeof cell, "%*s", column.width, text.c_str());
    std::string aligned(static_cast<std::size_t>(column.gap), ' ');
    return length < 0 || length >= static_cast<int>(sizeof cell) ? aligned + text : aligned + cell;
}

std::string CellText(const Column& column, const StationCell& cell) {
    if (column.text) return column.text(cell);
    const char* word = column.word ? column.word(cell) : nullptr;
    if (word) return word;
    Number value = column.number(cell);
    if (!value) return "-";
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", column.decimals, *value);
    return text;
}

int Width(const Column& column) { return column.gap + (column.width < 0 ? -column.width : column.width); }

bool Shows(ColumnSet set, int column) { return set >> column & 1u; }

std::string OneWord(std::string heading) {
    for (char& c : heading)
        if (c == ' ') c = '_';
    return heading;
}

}  // namespace

ColumnSet AllColumns() { return (1u << columnCount) - 1u; }

ColumnSet RateColumn() { return 1u << rateColumn; }

ColumnSet ColumnsThatFit(int width, ColumnSet offered) {
    if (width <= 0) return offered;
    ColumnSet shown = 1u << keepOrder[0];
    int used = Width(columns[keepOrder[0]]);
    for (int k = 1; k < columnCount; ++k) {
        if (!Shows(offered, keepOrder[k])) continue;
        if (used + Width(columns[keepOrder[k]]) > width) break;
        used += Width(columns[keepOrder[k]]);
        shown |= 1u << keepOrder[k];
    }
    return shown;
}

std::string StationLine(const StationCell& cell, ColumnSet shown) {
    std::string line;
    for (int c = 0; c < columnCount; ++c)
        if (Shows(shown, c)) line += Aligned(columns[c], CellText(columns[c], cell));
    return line;
}

std::string StationHeading(ColumnSet shown) {
    std::string line;
    for (int c = 0; c < columnCount; ++c)
        if (Shows(shown, c)) line += Aligned(columns[c], columns[c].heading);
    return line;
}

std::string ColumnNames(ColumnSet set, const char* separator, bool oneWord) {
    std::string names;
    for (int c = 0; c < columnCount; ++c) {
        if (!Shows(set, c)) continue;
        names += (names.empty() ? "" : separator) + (oneWord ? OneWord(columns[c].heading) : columns[c].heading);
    }
    return names;
}

std::string ColumnDecimals() {
    std::string list;
    for (const Column& column : columns)
        if (column.number)
            list += (list.empty() ? "" : ", ") + OneWord(column.heading) + " " + std::to_string(column.decimals);
    return list;
}
