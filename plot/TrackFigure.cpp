#include "plot/TrackFigure.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <string>

#include "plot/ColumnReduction.h"
#include "plot/FigureCanvas.h"
#include "plot/FigureLayout.h"

namespace {

constexpr double degreesPerRadian = 57.29577951308232;
constexpr double margin = 0.06;  // of a panel's value range, above and below the traces
constexpr int pixelsPerNumber = 24;  // of a value axis, at the least
constexpr double zeroBasedHeadroom = 0.25;  // keeps a steady interval clear of the frame
const Colour textColour{0, 0, 0};

using Extract = std::vector<double> (*)(const StationTrack&);

// One traced quantity. The colours are Okabe and Ito's, told apart with any
// kind of colour blindness.
struct Series {
    const char* name;
    Colour colour;
    Extract values;
};

template <float StationRecord::* field>
std::vector<double> Position(const StationTrack& track) {
    std::vector<double> values;
    values.reserve(track.poses.size());
    for (const StationRecord& pose : track.poses) values.push_back(pose.*field);
    return values;
}

template <float StationRecord::* field>
std::vector<double> Degrees(const StationTrack& track) {
    std::vector<double> values = Position<field>(track);
    for (double& value : values) value *= degreesPerRadian;
    return values;
}

// The time since the station's previous update, at each update; the first has none.
std::vector<double> IntervalsMs(const StationTrack& track) {
    std::vector<double> values(track.seconds.size(), std::numeric_limits<double>::quiet_NaN());
    for (std::size_t i = 1; i < track.seconds.size(); ++i) values[i] = (track.seconds[i] - track.seconds[i - 1]) * 1000.0;
    return values;
}

struct PanelKind {
    const char* name;
    std::vector<Series> series;
    bool inChannelUnit;  // else `unit` is the values' unit
    const char* unit;
    bool fromZero;       // the value axis starts at 0, so that jitter of microseconds does not fill the panel
};

const PanelKind panelKinds[FigureLayout::panelsPerRow] = {
    {"position",
     {{"x", {0, 114, 178}, Position<&StationRecord::x>},
      {"y", {213, 94, 0}, Position<&StationRecord::y>},
      {"z", {0, 158, 115}, Position<&StationRecord::z>}},
     true, "", false},
    {"angles",
     {{"azimuth", {230, 159, 0}, Degrees<&StationRecord::azimuth>},
      {"elevation", {86, 180, 233}, Degrees<&StationRecord::elevation>},
      {"roll", {204, 121, 167}, Degrees<&StationRecord::roll>}},
     false, "deg", false},
    {"interval", {{"interval", {0, 0, 0}, IntervalsMs}}, false, "ms", true},
};

using Traces = std::vector<std::vector<ColumnSpan>>;

// The smallest step of 1, 2 or 5 times a power of ten that is at least `least`.
double RoundStep(double least) {
    double power = std::pow(10.0, std::floor(std::log10(least)));
    for (double factor : {1.0, 2.0, 5.0})
        if (factor * power >= least) return factor * power;
    return 10.0 * power;
}

// The finest round step that numbers at most `most` values between `low`
// and `high`.
double ValueStep(double low, double high, int most) {
    double step = RoundStep((high - low) / (most + 1));
    while (std::floor(high / step) - std::ceil(low / step) + 1 > most) step = RoundStep(step * 1.001);
    return step;
}

// The traces' value range with a margin (a flat trace gets a range around
// it), numbered no more densely than the panel's height allows.
PanelRange RangeOf(const Traces& traces, TimeSpan span, const PanelKind& kind, int pixelRows) {
    double low = std::numeric_limits<double>::infinity(), high = -low;
    for (const auto& trace : traces)
        for (const ColumnSpan& column : trace) low = std::min(low, column.low), high = std::max(high, column.high);
    if (low > high) low = high = 0.0;
    if (kind.fromZero) low = std::min(low, 0.0);
    double pad = high > low ? (high - low) * margin : std::max(std::fabs(low) * 0.01, 1.0);
    low = kind.fromZero && low >= 0.0 ? 0.0 : low - pad;
    high += kind.fromZero ? (high - low) * zeroBasedHeadroom : pad;
    return {span.from, span.to, low, high, ValueStep(low, high, std::max(2, pixelRows / pixelsPerNumber))};
}

// `text` cut to at most `length` bytes, not inside a UTF-8 character, with
// "..." when anything was cut.
std::string Shortened(const std::string& text, std::size_t length) {
    if (text.size() <= length) return text;
    std::size_t end = length > 3 ? length - 3 : 0;
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
    return text.substr(0, end) + "...";
}

// The channel's description gives way when the title would not fit the
// panel, and in a narrow panel the words "bin" and "station" too.
std::string PanelTitle(const StationTrack& track, const PanelKind& kind, double characters) {
    const std::size_t shortestDescription = 8;
    std::string what = std::string(kind.name) + " (" + (kind.inChannelUnit ? UnitOfTrack(track).name : kind.unit) + ")";
    std::string bin = std::to_string(track.bin), station = std::to_string(track.station);
    std::string rest = ", bin " + bin + ", station " + station + ": " + what;
    std::size_t room = static_cast<std::size_t>(std::max(characters, 0.0));
    if (room < rest.size() + shortestDescription) rest = " " + bin + "/" + station + ": " + what;
    return Shortened(track.description, room > rest.size() ? room - rest.size() : 0) + rest;
}

void DrawPanel(FigureCanvas& canvas, const FigureLayout& layout, const StationTrack& track, TimeSpan span, int row,
               bool bottom) {
    for (int column = 0; column < FigureLayout::panelsPerRow; ++column) {
        const PanelKind& kind = panelKinds[column];
        PanelBox box = layout.Panel(row, column);
        Traces traces;
        for (const Series& series : kind.series)
            traces.push_back(ReduceToColumns(track.seconds, series.values(track), span.from, span.to, box.pixelColumns));
        double titleRoom = (box.right - box.left) / canvas.CharacterWidth();
        canvas.Axes(box, RangeOf(traces, span, kind, box.pixelRows), bottom, PanelTitle(track, kind, titleRoom));
        for (std::size_t i = 0; i < traces.size(); ++i) canvas.Trace(traces[i], kind.series[i].colour);
    }
}

std::string FigureTitle(const TrackRecording& recording) {
    std::string title = recording.name;
    if (!recording.startTime.empty()) title += ", started " + recording.startTime;
    if (!recording.host.empty()) title += " on " + recording.host;
    return title;
}

// Each panel column's series names above it, in their colours.
void DrawLegend(FigureCanvas& canvas, const FigureLayout& layout) {
    for (int column = 0; column < FigureLayout::panelsPerRow; ++column) {
        PanelBox box = layout.Panel(0, column);
        const std::vector<Series>& series = panelKinds[column].series;
        for (std::size_t i = 0; i < series.size(); ++i) {
            double x = box.left + (box.right - box.left) * (i + 0.5) / series.size();
            canvas.Text(x, layout.LegendY(), series[i].name, series[i].colour);
        }
    }
}

}  // namespace

TimeSpan SpanOfTracks(const std::vector<StationTrack>& tracks) {
    TimeSpan span{std::numeric_limits<double>::infinity(), -std::numeric_limits<double>::infinity()};
    for (const StationTrack& track : tracks) {
        if (track.seconds.empty()) continue;
        span.from = std::min(span.from, track.seconds.front());
        span.to = std::max(span.to, track.seconds.back());
    }
    if (span.from > span.to) span = {0.0, 0.0};
    if (span.to - span.from < 1.0) span.to = span.from + 1.0;
    return span;
}

std::vector<std::uint8_t> DrawTrackFigure(const TrackRecording& recording, const std::vector<StationTrack>& tracks,
                                          TimeSpan span, int width, int height) {
    FigureCanvas canvas(width, height);
    FigureLayout layout(width, height, static_cast<int>(tracks.size()));
    canvas.Text(0.5, layout.TitleY(), FigureTitle(recording), textColour);
    DrawLegend(canvas, layout);
    for (std::size_t row = 0; row < tracks.size(); ++row)
        DrawPanel(canvas, layout, tracks[row], span, static_cast<int>(row), row + 1 == tracks.size());
    canvas.Text(0.5, layout.TimeLabelY(), "time (s)", textColour);
    return canvas.Finish();
}
