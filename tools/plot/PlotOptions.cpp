#include "tools/plot/PlotOptions.h"

#include <cstdio>

#include <CLI/CLI.hpp>

#include "tools/common/NumberList.h"
#include "tools/common/OptionNumbers.h"
#include "tools/common/OptionRules.h"

namespace {

constexpr int highestBin = 15;
constexpr int highestStation = 31;

const char* const description =
    "Draws a recording of lumivex-monitor: per station one row of panels (position x, y, z in the channel's\n"
    "unit, azimuth, elevation and roll in degrees, and the interval between updates in ms) over time.\n"
    "With --stats it prints per station the samples, update rate, interval p50/p99/max, dropouts\n"
    "(intervals over twice the median), the position's range and its jitter instead.\n"
    "Exit status: 0 done, 1 nothing to show or the output could not be written, 2 bad options or recording.";

bool ParseSize(const std::string& text, int& width, int& height) {
    int consumed = 0;
    return std::sscanf(text.c_str(), "%5dx%5d%n", &width, &height, &consumed) == 2 &&
           static_cast<std::size_t>(consumed) == text.size() && text.find_first_of("+- ") == std::string::npos;
}

const CLI::Validator sizeValidator(
    [](std::string& text) {
        int width = 0, height = 0;
        if (ParseSize(text, width, height) && width >= smallestPictureSide && height >= smallestPictureSide && width <= largestPictureSide &&
            height <= largestPictureSide)
            return std::string();
        return "the size reads WIDTHxHEIGHT in pixels, each " + std::to_string(smallestPictureSide) + ".." +
               std::to_string(largestPictureSide) + ", e.g. 1600x1000";
    },
    "", "Size");

const CLI::Validator fileName(
    [](std::string& text) { return text.empty() ? std::string("the file name is empty") : std::string(); }, "", "FileName");

// A PNG is no use on a terminal, and "-" as a file name would only surprise.
const CLI::Validator pictureName(
    [](std::string& text) {
        if (text == "-") return std::string("the picture is written to a file only, not to standard output; name a file");
        return text.empty() ? std::string("the file name is empty") : std::string();
    },
    "", "PictureName");

struct OptionTexts {
    std::string bins = "0-15", stations = "0-31", size = "1600x1000";
};

void AddOptions(CLI::App& app, PlotOptions& options, OptionTexts& texts) {
    app.add_option("RECORDING", options.recording, "a recording (\"-\": standard input)")->required()->check(fileName);
    CLI::Option* output =
        app.add_option("-o,--output", options.output, "the picture, a PNG file (default: RECORDING with .png; not \"-\")")
            ->type_name("OUT.png")->check(pictureName);
    app.add_option("--bins", texts.bins, "bins to show, e.g. 0,1 or 0-15")->type_name("LIST")->check(NumberListValidator(highestBin))->capture_default_str();
    app.add_option("--stations", texts.stations, "stations to show, e.g. 0-3 or 0,2,5")
        ->type_name("LIST")->check(NumberListValidator(highestStation))->capture_default_str();
    app.add_option("--from", options.selection.from, "start at S seconds into the recording")->type_name("S")->check(SecondsValidator());
    app.add_option("--to", options.selection.to, "end at S seconds into the recording")->type_name("S")->check(SecondsValidator());
    CLI::Option* size = app.add_option("--size", texts.size, "the picture's size in pixels")
                            ->type_name("WxH")->check(sizeValidator)->capture_default_str();
    CLI::Option* stats = app.add_flag("--stats", options.stats, "print statistics per station instead of drawing");
    app.add_flag("--csv", options.csv, "print the statistics as CSV")->needs(stats);
    stats->excludes(output)->excludes(size);
}

void ApplyTexts(const OptionTexts& texts, PlotOptions& options) {
    ParseNumberList(texts.bins, highestBin, options.selection.bins);
    ParseNumberList(texts.stations, highestStation, options.selection.stations);
    ParseSize(texts.size, options.width, options.height);
}

// What CLI11 cannot check alone, and the values read from the texts; what is
// wrong, or "".
std::string Complete(const CLI::App& app, const OptionTexts& texts, PlotOptions& options) {
    options.fromGiven = app.count("--from") > 0;
    options.toGiven = app.count("--to") > 0;
    options.sizeGiven = app.count("--size") > 0;
    options.narrowed = options.fromGiven || options.toGiven || app.count("--bins") > 0 || app.count("--stations") > 0;
    if (options.fromGiven && options.toGiven && !(options.selection.from < options.selection.to))
        return "--from must come before --to";
    bool drawing = !options.stats;
    if (drawing && options.recording == "-" && options.output.empty()) return "a recording from standard input needs -o OUT.png";
    ApplyTexts(texts, options);
    if (drawing && options.output.empty()) options.output = DefaultOutput(options.recording);
    return "";
}

}  // namespace

PlotOptionsOutcome ParsePlotOptions(int argc, const char* const* argv, PlotOptions& options, std::string& message) {
    CLI::App app(description, "lumivex-plot");
    OptionTexts texts;
    AddOptions(app, options, texts);
    AddVersionFlag(app, "lumivex-plot");
    RefuseOptionLikeValues(app);
    CommandLineOutcome outcome = ParseCommandLine(app, argc, argv, message);
    if (outcome == CommandLineOutcome::Help) return PlotOptionsOutcome::Help;
    if (outcome == CommandLineOutcome::Error) return PlotOptionsOutcome::Error;
    message = Complete(app, texts, options);
    return message.empty() ? PlotOptionsOutcome::Run : PlotOptionsOutcome::Error;
}

std::string DefaultOutput(const std::string& recording) {
    std::string name = recording;
    const std::string gz = ".gz";
    if (name.size() > gz.size() && name.compare(name.size() - gz.size(), gz.size(), gz) == 0) name.resize(name.size() - gz.size());
    std::size_t slash = name.rfind('/'), dot = name.rfind('.');
    if (dot != std::string::npos && (slash == std::string::npos || dot > slash + 1)) name.resize(dot);
    return name + ".png";
}
