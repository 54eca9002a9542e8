// lumivex-plot: draws a recording station by station, or prints how well
// each station was tracked.
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <sstream>
#include <string>
#include <system_error>

#include "image/PngFile.h"
#include "plot/FigureLayout.h"
#include "plot/RecordingTracks.h"
#include "plot/StatisticsReport.h"
#include "plot/TrackFigure.h"
#include "tools/common/OutputFileRule.h"
#include "tools/plot/PlotOptions.h"
#include "text/ConsoleText.h"
#include "text/Warning.h"

namespace {

bool Print(const std::string& text) {
    return std::fwrite(text.data(), 1, text.size(), stdout) == text.size() && std::fflush(stdout) == 0;
}

std::string NothingToShow(const PlotOptions& options, const TrackRecording& recording) {
    return recording.name + ": no rows" + (options.narrowed ? " for the selected bins, stations and time" : "") +
           "; nothing to show";
}

// Drawing over the recording would lose it ("-o session.csv", or a recording
// named "session.png").
bool IsTheRecording(const PlotOptions& options) {
    std::error_code error;
    return options.recording != "-" && std::filesystem::equivalent(options.recording, options.output, error);
}

// The picture's height: the default grows to give every station a legible
// row; a height too small for them is refused rather than drawn garbled.
bool FitHeight(PlotOptions& options, std::size_t rows, std::string& problem) {
    int needed = FigureLayout::HeightFor(static_cast<int>(rows));
    if (!options.sizeGiven) options.height = std::min(std::max(options.height, needed), largestPictureSide);
    if (needed <= options.height) return true;
    problem = std::to_string(rows) + " stations need a picture at least " + std::to_string(needed) +
              " pixels high; choose fewer with --bins and --stations" +
              (needed <= largestPictureSide ? " or a larger --size" : "");
    return false;
}

// PLplot prints its own warnings raw; they reach the terminal escaped, one
// line each, and the picture they concern counts as not drawn well.
int ReportDrawingTrouble(const std::string& messages, const std::string& picture) {
    std::istringstream lines(messages);
    bool any = false;
    for (std::string line; std::getline(lines, line);)
        if (line.find_first_not_of(" *\r") != std::string::npos) PrintWarning("PLplot", ConsoleText(line)), any = true;
    return any ? PrintError("PLplot reported trouble; " + picture + " may lack some of the figure", 1) : 0;
}

int Draw(PlotOptions& options, const TrackRecording& recording) {
    std::string problem;
    if (!FitHeight(options, recording.tracks.size(), problem)) return PrintError(problem, 2);
    TimeSpan span = SpanOfTracks(recording.tracks);
    if (options.fromGiven) span.from = options.selection.from;
    if (options.toGiven) span.to = options.selection.to;
    if (!(span.to > span.from)) span.to = span.from + 1.0;  // one update at --from: PLplot needs a width
    int status = 0;
    std::FILE* file = OpenOutputStream(options.output, options.force, status);
    if (!file) return status;
    std::string messages;
    std::string failure = WriteRgbPng(
        file, options.width, options.height,
        DrawTrackFigure(recording, span, options.width, options.height, options.position, messages), PixelLayout::Rgba);
    if (!failure.empty()) return PrintError("cannot write " + options.output + ": " + failure, 1);
    PrintNotice("wrote " + options.output);
    return ReportDrawingTrouble(messages, options.output);
}

// Columns kept per station while reading: a few per pixel column of a panel,
// so that merging them onto the panel later moves a write by under a pixel.
int ColumnCapacity(const PlotOptions& options) {
    constexpr int columnsPerPixel = 4;
    return options.stats ? statisticsColumnCapacity
                         : columnsPerPixel * FigureLayout(options.width, options.height, 1).Panel(0, 0).pixelColumns;
}

}  // namespace

int main(int argc, char** argv) {
    PlotOptions options;
    CommandLineOutcome outcome = ParsePlotOptions(argc, argv, options);
    if (!outcome.run) return outcome.status;
    if (!options.stats && IsTheRecording(options))
        return PrintError(options.output + " is the recording itself; name the picture with -o", 2);
    TrackRecording recording;
    std::string message, warning;
    bool read =
        ReadTrackRecording(options.recording, options.selection, ColumnCapacity(options), recording, message, warning);
    if (!warning.empty()) PrintWarning("recording", warning);
    if (!read) return PrintError(message, 2);
    if (recording.tracks.empty()) return PrintError(NothingToShow(options, recording), 1);
    if (!options.stats) return Draw(options, recording);
    return Print(options.csv ? FormatStatisticsCsv(recording.tracks) : FormatStatisticsTable(recording.tracks)) ? 0 : 1;
}
