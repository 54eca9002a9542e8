#include "tools/monitor/StationColumns.h"

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
};

std::string Name(const StationCell& cell) {
    return "(" + std::to_string(cell.instrument) + "," + std::to_string(cell.channel.bin) + "," +
           std::to_string(cell.station.station) + ")";
}

std::string State(const StationCell& cell) {
    bool active = cell.station.station < 4 && (cell.channel.state.flags >> cell.station.station & 1u);
    return active ? "ACTIVE" : "inactive";
}

Number RateHz(const StationCell& cell) {
    double hz = cell.channel.StationHz(cell.station);
    return hz < 0.0 ? Number() : hz;
}

Number AgeMs(const StationCell& cell) {
    if (!cell.station.changeKnown) return {};
    return 1000.0 * std::chrono::duration<double>(cell.now - cell.station.lastChange).count();
}

const Column columns[] = {
    {"station", 2, -10, 0, nullptr, Name},
    {"x", 1, 10, 4, [](const StationCell& c) -> Number { return c.station.pose.x; }, nullptr},
    {"y", 1, 10, 4, [](const StationCell& c) -> Number { return c.station.pose.y; }, nullptr},
    {"z", 1, 10, 4, [](const StationCell& c) -> Number { return c.station.pose.z; }, nullptr},
    {"az deg", 1, 9, 2, [](const StationCell& c) -> Number { return c.station.pose.azimuth * degreesPerRadian; }, nullptr},
    {"el deg", 1, 9, 2, [](const StationCell& c) -> Number { return c.station.pose.elevation * degreesPerRadian; }, nullptr},
    {"roll deg", 1, 9, 2, [](const StationCell& c) -> Number { return c.station.pose.roll * degreesPerRadian; }, nullptr},
    {"state", 2, -8, 0, nullptr, State},
    {"rate Hz", 1, 8, 1, RateHz, nullptr},
    {"age ms", 1, 8, 0, AgeMs, nullptr},
};
constexpr int columnCount = sizeof columns / sizeof columns[0];

// The order in which columns are kept as the width shrinks: whether a station
// is live matters more on a narrow terminal than which way it points.
constexpr int keepOrder[columnCount] = {0, 1, 2, 3, 7, 8, 9, 4, 5, 6};

std::string Aligned(const Column& column, const std::string& text) {
    char cell[64];
    int length = std::snprintf(cell, sizeof cell, "%*s", column.width, text.c_str());
    std::string aligned(static_cast<std::size_t>(column.gap), ' ');
    return length < 0 || length >= static_cast<int>(sizeof cell) ? aligned + text : aligned + cell;
}

std::string CellText(const Column& column, const StationCell& cell) {
    if (column.text) return column.text(cell);
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

ColumnSet ColumnsThatFit(int width) {
    if (width <= 0) return AllColumns();
    ColumnSet shown = 1u << keepOrder[0];
    int used = Width(columns[keepOrder[0]]);
    for (int k = 1; k < columnCount && used + Width(columns[keepOrder[k]]) <= width; ++k) {
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
        if (column.number) list += (list.empty() ? "" : ", ") + OneWord(column.heading) + " " + std::to_string(column.decimals);
    return list;
}
