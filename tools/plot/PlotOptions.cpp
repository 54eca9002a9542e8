#include "tools/plot/PlotOptions.h"

#include <cstdio>
#include <map>

#include <CLI/CLI.hpp>

#include "tools/common/ChannelSelection.h"
#include "tools/common/OptionNumbers.h"
#include "tools/common/OptionRules.h"
#include "tools/common/OutputFileRule.h"

namespace {

const char* const description =
    "Draws a recording of lumivex-monitor: per station one row of panels (position x, y, z in metres, each\n"
    "about its mean unless --position absolute; azimuth, elevation and roll in degrees, unwrapped across\n"
    "+-180; the interval between writes in ms) over the recording's time. Traces break where a value is not\n"
    "finite and at dropouts; shades mark where the station was inactive, not finite, silent, or written by\n"
    "writes the recorder missed. An axis whose numbers would need more than six characters numbers from an\n"
    "offset or in a power of 1000, as its unit says. Texts of the recording are drawn escaped (\\xHH);\n"
    "PLplot's own messages are printed escaped, with status 1. Positions are converted to metres write by\n"
    "write, from each write's unit. The picture is written to RECORDING.png unless -o names another file;\n"
    "its name is printed on standard error.\n"
    "With --stats it prints per station instead:\n"
    "  samples     writes of the station\n"
    "  rate_hz     (samples - 1) / (last time - first time)\n"
    "  p50/p99/max_ms  intervals between consecutive writes, rounded to the nearest microsecond;\n"
    "              percentiles by nearest rank (the smallest interval with at least 50 % or 99 % of all at\n"
    "              or below it)\n"
    "  dropouts    intervals over twice the median that span no missed writes (the write counter advanced\n"
    "              by one, is not recorded, or started again: a restarted server's pause counts)\n"
    "  missed      writes the recorder did not see (the steps of the write counter beyond one; a counter\n"
    "              that goes back or jumps by more writes than microseconds passed, or any step across the\n"
    "              channel's removal, is a restart: none)\n"
    "  inactive    the fraction of writes with the station's active bit clear (stations 4-31 have none:\n"
    "              never inactive)\n"
    "  nonfinite   the fraction of writes with a value that is not finite\n"
    "  range_*_m   max - min of each axis's finite values, in metres\n"
    "  jitter_mm, jitter_deg  RMS distance of each position (x, y, z together) and of the angles (azimuth,\n"
    "              elevation, roll together, not per angle) from the mean of the 5 writes centred on it;\n"
    "              windows with a dropout, missed writes, a restart or a value that is not finite are left out\n"
    "--csv prints them with 9 significant digits, an empty field for a figure the station has too few\n"
    "writes for. The intervals are counted per length; a recording whose selected stations have more than\n"
    "200000 different intervals, all stations together, is refused.";

bool ParseSize(const std::string& text, int& width, int& height) {
    int consumed = 0;
    return std::sscanf(text.c_str(), "%5dx%5d%n", &width, &height, &consumed) == 2 &&
           static_cast<std::size_t>(consumed) == text.size() && text.find_first_of("+- ") == std::string::npos;
}

const CLI::Validator sizeValidator(
    [](std::string& text) {
        int width = 0, height = 0;
        if (!ParseSize(text, width, height) || width < smallestPictureSide || height < smallestPictureSide ||
            width > largestPictureSide || height > largestPictureSide)
            return "the size reads WIDTHxHEIGHT in pixels, each " + std::to_string(smallestPictureSide) + ".." +
                   std::to_string(largestPictureSide) + ", e.g. 1600x1000";
        if (static_cast<long>(width) * height > mostPicturePixels)
            return "the picture may have at most " + std::to_string(mostPicturePixels) +
                   " pixels (some 200 MB of memory to draw), e.g. 5000x5000";
        return std::string();
    },
    "", "Size");

// A PNG is no use on a terminal, and "-" as a file name would only surprise.
const CLI::Validator pictureName(
    [](std::string& text) {
        if (text == "-")
            return std::string("the picture is written to a file only, not to standard output; name a file");
        return text.empty() ? std::string("the file name is empty") : std::string();
    },
    "", "PictureName");

struct OptionTexts {
    std::string size = "1600x1000";
};

void AddOptions(CLI::App& app, PlotOptions& options, OptionTexts& texts) {
    app.add_option("RECORDING", options.recording, "a recording (\"-\": standard input)")
        ->required()
        ->check(FileNameValidator());
    CLI::Option* output =
        app.add_option(
               "-o,--output", options.output,
               "the picture, a PNG file (default: RECORDING.png, the recording's name with .png added; not \"-\")")
            ->type_name("OUT.png")
            ->check(pictureName);
    CLI::Option* force = AddForceFlag(app, options.force, "the picture");
    ChannelSelection::AddList(app, ChannelSelection::List::Bins, options.selection.bins,
                              "bins to show, e.g. 0,1 or 0-15");
    ChannelSelection::AddList(app, ChannelSelection::List::Stations, options.selection.stations,
                              "stations to show, e.g. 0-3 or 0,2,5");
    app.add_option("--from", options.selection.from, "start at S seconds into the recording")
        ->type_name("S")
        ->check(SecondsValidator());
    app.add_option("--to", options.selection.to, "end at S seconds into the recording")
        ->type_name("S")
        ->check(SecondsValidator());
    CLI::Option* size = app.add_option("--size", texts.size, "the picture's size in pixels")
                            ->type_name("WxH")
                            ->check(sizeValidator)
                            ->capture_default_str();
    const std::map<std::string, PositionStyle> styles{{"detrend", PositionStyle::Detrended},
                                                      {"absolute", PositionStyle::Absolute}};
    CLI::Option* position = app.add_option("--position", options.position, "positions about their mean, or as they are")
                                ->type_name("detrend|absolute")
                                ->transform(CLI::CheckedTransformer(styles))
                                ->default_str("detrend");
    CLI::Option* stats = app.add_flag("--stats", options.stats, "print statistics per station instead of drawing");
    app.add_flag("--csv", options.csv, "print the statistics as CSV")->needs(stats);
    stats->excludes(output)->excludes(size)->excludes(position)->excludes(force);
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
    if (drawing && options.recording == "-" && options.output.empty())
        return "a recording from standard input needs -o OUT.png";
    ParseSize(texts.size, options.width, options.height);
    if (drawing && options.output.empty()) options.output = DefaultOutput(options.recording);
    return "";
}

}  // namespace

CommandLineOutcome ParsePlotOptions(int argc, const char* const* argv, PlotOptions& options) {
    CLI::App app(description, "lumivex-plot");
    OptionTexts texts;
    AddOptions(app, options, texts);
    AddVersionFlag(app, "lumivex-plot");
    AddHelpAllFlag(app);
    RefuseOptionLikeValues(app);
    CheckTogether(app, [&app, &texts, &options]() { return Complete(app, texts, options); });
    return RunCommandLine(app, argc, argv);
}

std::string DefaultOutput(const std::string& recording) { return recording + ".png"; }
