#include "plot/TrackFigure.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <string>

#include "plot/FigureCanvas.h"
#include "plot/FigureLayout.h"
#include "plot/TrackShading.h"
#include "text/ConsoleText.h"

namespace {

constexpr double margin = 0.06;             // of a panel's value range, above and below the traces
constexpr int pixelsPerNumber = 24;         // of a value axis, at the least
constexpr int pixelsPerTime = 90;           // of the time axis, at the least
constexpr double zeroBasedHeadroom = 0.25;  // keeps a steady interval clear of the frame
const Colour textColour{0, 0, 0};

// One traced quantity. The colours are Okabe and Ito's, told apart with any
// kind of colour blindness.
struct Series {
    const char* name;
    Colour colour;
    int index;  // in TrackColumn
};

struct PanelKind {
    const char* name;
    std::vector<Series> series;
    const char* unit;
    bool fromZero;  // the value axis starts at 0, so that jitter of microseconds does not fill the panel
    bool position;  // drawn in the chosen PositionStyle
};

const PanelKind panelKinds[FigureLayout::panelsPerRow] = {
    {"position", {{"x", {0, 114, 178}, 0}, {"y", {213, 94, 0}, 1}, {"z", {0, 158, 115}, 2}}, "m", false, true},
    {"angles",
     {{"azimuth", {230, 159, 0}, 3}, {"elevation", {86, 180, 233}, 4}, {"roll", {204, 121, 167}, 5}},
     "deg",
     false,
     false},
    {"interval", {{"interval", {0, 0, 0}, intervalSeries}}, "ms", true, false},
};

// A row's columns and what is needed to draw them.
struct RowData {
    std::vector<TrackColumn> columns;
    double columnSeconds;
    double silenceLimit;  // seconds
    double offsets[seriesCount];
};

// The smallest step of 1, 2 or 5 times a power of ten that is at least `least`.
double RoundStep(double least) {
    double power = std::pow(10.0, std::floor(std::log10(least)));
    for (double factor : {1.0, 2.0, 5.0})
        if (factor * power >= least) return factor * power;
    return 10.0 * power;
}

// The finest round step that numbers at most `most` values between `low` and
// `high`, and at least two, so that an axis never carries a lone number.
double ValueStep(double low, double high, int most) {
    double step = RoundStep((high - low) / (most + 1));
    while (std::floor(high / step) - std::ceil(low / step) + 1 > most) step = RoundStep(step * 1.001);
    while (std::floor(high / step) - std::ceil(low / step) + 1 < 2) step = RoundStep(step / 2.5);
    return step;
}

AxisNumbers TimeNumbers(TimeSpan span, int pixelColumns) {
    return AxisNumbers(span.from, span.to, ValueStep(span.from, span.to, std::max(2, pixelColumns / pixelsPerTime)));
}

// The traces' value range with a margin (a flat trace gets a range around
// it), numbered no more densely than the panel's height allows.
PanelRange RangeOf(const RowData& row, TimeSpan span, const PanelKind& kind, int pixelColumns, int pixelRows) {
    double low = std::numeric_limits<double>::infinity(), high = -low;
    for (const TrackColumn& column : row.columns)
        for (const Series& series : kind.series)
            if (column.present >> series.index & 1u) {
                low = std::min(low, column.low[series.index] - row.offsets[series.index]);
                high = std::max(high, column.high[series.index] - row.offsets[series.index]);
            }
    if (low > high) low = high = 0.0;
    if (kind.fromZero) low = std::min(low, 0.0);
    double pad = high > low ? (high - low) * margin : std::max(std::fabs(low) * 0.01, 1.0);
    low = kind.fromZero && low >= 0.0 ? 0.0 : low - pad;
    high += kind.fromZero ? (high - low) * zeroBasedHeadroom : pad;
    return {span.from,
            span.to,
            low,
            high,
            TimeNumbers(span, pixelColumns),
            AxisNumbers(low, high, ValueStep(low, high, std::max(2, pixelRows / pixelsPerNumber)))};
}

// `text` cut to at most `length` bytes, not inside a UTF-8 character, with
// "..." when anything was cut.
std::string Shortened(const std::string& text, std::size_t length) {
    if (text.size() <= length) return text;
    std::size_t end = length > 3 ? length - 3 : 0;
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
    return text.substr(0, end) + "...";
}

// The channel's description (both, when the channel was renamed), escaped as
// a terminal shows it, so that no control or bidirectional override reaches
// the picture. It gives way when the title would not fit the panel, and in a
// narrow panel the words "bin" and "station" too.
std::string PanelTitle(const StationTrack& track, const PanelKind& kind, const PanelRange& range, PositionStyle style,
                       double characters) {
    const StationName& name = track.Name();
    const std::size_t shortestDescription = 8;
    std::string quantity = kind.position && style == PositionStyle::Detrended ? "position - mean" : kind.name;
    std::string what = quantity + " (" + range.value.Unit(kind.unit) + ")";
    std::string description = ConsoleText(name.description);
    if (!track.LastDescription().empty()) description += " -> " + ConsoleText(track.LastDescription());
    std::string bin = std::to_string(name.bin), station = std::to_string(name.station);
    std::string rest = ", bin " + bin + ", station " + station + ": " + what;
    std::size_t room = static_cast<std::size_t>(std::max(characters, 0.0));
    if (room < rest.size() + shortestDescription) rest = " " + bin + "/" + station + ": " + what;
    return Shortened(description, room > rest.size() ? room - rest.size() : 0) + rest;
}

// One series as a line through each column's low and high, broken where a
// value was not finite or the station fell silent; a lone column gets a tick
// as wide as the column, so that it shows.
void DrawSeries(FigureCanvas& canvas, const RowData& row, TimeSpan span, const Series& series) {
    std::vector<double> seconds, values;
    auto flush = [&] {
        if (seconds.size() == 2 && values[0] == values[1])
            seconds = {seconds[0] - row.columnSeconds / 2, seconds[0] + row.columnSeconds / 2};
        canvas.Line(seconds, values, series.colour);
        seconds.clear(), values.clear();
    };
    const double offset = row.offsets[series.index];
    for (std::size_t i = 0; i < row.columns.size(); ++i) {
        const TrackColumn& column = row.columns[i];
        if (!(column.present >> series.index & 1u)) continue;
        if ((column.brokenBefore >> series.index & 1u) || column.into.Length() > row.silenceLimit) flush();
        double at = span.from + (i + 0.5) * row.columnSeconds, low = column.low[series.index] - offset,
               high = column.high[series.index] - offset;
        // From the end nearer the previous column's, so that a slope is one
        // line and not a zigzag between the columns' ends.
        bool downwards = !values.empty() && std::fabs(values.back() - high) < std::fabs(values.back() - low);
        seconds.insert(seconds.end(), {at, at});
        values.insert(values.end(), {downwards ? high : low, downwards ? low : high});
    }
    flush();
}

// The series whose trace covers the most of the panel is drawn first, so
// that a trace that spreads less stays visible on it.
std::vector<Series> WidestFirst(const RowData& row, std::vector<Series> series) {
    auto cover = [&row](const Series& one) {
        double total = 0.0;
        for (const TrackColumn& column : row.columns)
            if (column.present >> one.index & 1u) total += column.high[one.index] - column.low[one.index];
        return total;
    };
    std::stable_sort(series.begin(), series.end(),
                     [&](const Series& a, const Series& b) { return cover(a) > cover(b); });
    return series;
}

RowData RowOf(const StationTrack& track, TimeSpan span, int pixelColumns, PositionStyle style) {
    RowData row{track.Columns().Resample(span.from, span.to, pixelColumns),
                (span.to - span.from) / pixelColumns,
                track.DropoutLimitMicros() / 1e6,
                {}};
    if (track.DropoutLimitMicros() == JitterSums::barrier) row.silenceLimit = std::numeric_limits<double>::infinity();
    for (int axis = 0; axis < 3 && style == PositionStyle::Detrended; ++axis)
        row.offsets[axis] = std::isfinite(track.Mean(axis)) ? track.Mean(axis) : 0.0;
    return row;
}

void DrawRow(FigureCanvas& canvas, const FigureLayout& layout, const StationTrack& track, TimeSpan span, int index,
             bool bottom, PositionStyle style) {
    RowData row = RowOf(track, span, layout.Panel(index, 0).pixelColumns, style);
    std::vector<ShadedSpan> shading = ShadedSpans(track, row.columns, span, row.silenceLimit);
    for (int column = 0; column < FigureLayout::panelsPerRow; ++column) {
        const PanelKind& kind = panelKinds[column];
        PanelBox box = layout.Panel(index, column);
        PanelRange range = RangeOf(row, span, kind, box.pixelColumns, box.pixelRows);
        canvas.Select(box, range);
        for (const ShadedSpan& shaded : shading) canvas.Shade(shaded.from, shaded.to, ShadeColour(shaded.kind));
        double titleRoom = (box.right - box.left) / canvas.CharacterWidth();
        canvas.Axes(box, range, bottom, PanelTitle(track, kind, range, style, titleRoom));
        for (const Series& series : WidestFirst(row, kind.series)) DrawSeries(canvas, row, span, series);
    }
}

// The name is escaped already; start and host come from the file.
std::string FigureTitle(const TrackRecording& recording) {
    std::string title = recording.name;
    if (!recording.startTime.empty()) title += ", started " + ConsoleText(recording.startTime);
    if (!recording.host.empty()) title += " on " + ConsoleText(recording.host);
    return title;
}

// What the shades mean, under the time axis, ending at the page's right
// edge whatever the page's width: each entry takes its name's length.
void DrawShadeKey(FigureCanvas& canvas, const FigureLayout& layout) {
    const double keyWidth = 0.015, gap = 0.004, keyHeight = 0.6 * (layout.TitleY() - layout.LegendY());
    // The estimate of a character's width runs short on names of lower-case letters.
    const double character = 1.2 * canvas.CharacterWidth(), y = layout.TimeLabelY();
    double x = 1.0 - gap;
    for (int kind = 0; kind < shadeKinds; ++kind)
        x -= keyWidth + 2 * gap + (std::string(ShadeName(static_cast<ShadeKind>(kind))).size() + 1) * character;
    for (int kind = 0; kind < shadeKinds; ++kind) {
        const ShadeKind shade = static_cast<ShadeKind>(kind);
        canvas.Box(x, x + keyWidth, y - keyHeight * 0.25, y + keyHeight * 0.75, ShadeColour(shade));
        canvas.Text(x + keyWidth + gap, y, ShadeName(shade), textColour, 0.0);
        x += keyWidth + 2 * gap + (std::string(ShadeName(shade)).size() + 1) * character;
    }
}

// Each panel column's series names above it, in their colours; under the
// time axis what the shades mean.
void DrawLegend(FigureCanvas& canvas, const FigureLayout& layout) {
    for (int column = 0; column < FigureLayout::panelsPerRow; ++column) {
        PanelBox box = layout.Panel(0, column);
        const std::vector<Series>& series = panelKinds[column].series;
        for (std::size_t i = 0; i < series.size(); ++i) {
            double x = box.left + (box.right - box.left) * (i + 0.5) / series.size();
            canvas.Text(x, layout.LegendY(), series[i].name, series[i].colour);
        }
    }
    DrawShadeKey(canvas, layout);
}

}  // namespace

TimeSpan SpanOfTracks(const std::vector<StationTrack>& tracks) {
    TimeSpan span{std::numeric_limits<double>::infinity(), -std::numeric_limits<double>::infinity()};
    for (const StationTrack& track : tracks) {
        if (track.Writes() == 0) continue;
        span.from = std::min(span.from, track.FirstSeconds());
        span.to = std::max(span.to, track.LastSeconds());
    }
    if (span.from > span.to) span = {0.0, 0.0};
    if (span.to == span.from) span.to = span.from + 1.0;
    return span;
}

std::vector<std::uint8_t> DrawTrackFigure(const TrackRecording& recording, TimeSpan span, int width, int height,
                                          PositionStyle style) {
    std::string messages;
    return DrawTrackFigure(recording, span, width, height, style, messages);
}

std::vector<std::uint8_t> DrawTrackFigure(const TrackRecording& recording, TimeSpan span, int width, int height,
                                          PositionStyle style, std::string& messages) {
    FigureCanvas canvas(width, height);
    const std::vector<StationTrack>& tracks = recording.tracks;
    FigureLayout layout(width, height, static_cast<int>(tracks.size()));
    canvas.Text(0.5, layout.TitleY(), FigureTitle(recording), textColour);
    DrawLegend(canvas, layout);
    for (std::size_t row = 0; row < tracks.size(); ++row)
        DrawRow(canvas, layout, tracks[row], span, static_cast<int>(row), row + 1 == tracks.size(), style);
    const int columns = layout.Panel(0, 0).pixelColumns;
    canvas.Text(0.5, layout.TimeLabelY(), "time (" + TimeNumbers(span, columns).Unit("s") + ")", textColour);
    std::vector<std::uint8_t> pixels = canvas.Finish();
    messages = canvas.Messages();
    return pixels;
}
