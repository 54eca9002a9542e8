#include "tools/monitor/MonitorOptions.h"

#include <CLI/CLI.hpp>

#include "tools/common/NumberList.h"
#include "tools/common/OptionNumbers.h"
#include "tools/common/OptionRules.h"

namespace {

constexpr int highestInstrument = 15;
constexpr int highestBin = 15;
constexpr int highestStation = 31;

const CLI::Validator fileName(
    [](std::string& text) { return text.empty() ? std::string("the file name is empty") : std::string(); }, "", "FileName");

// A week at most: longer is no use and would overflow the clock's arithmetic.
const CLI::Validator durationCheck(
    [](std::string& text) {
        double seconds = 0.0;
        bool fine = ParseFiniteNumber(text, seconds) && seconds > 0.0 && seconds <= 604800.0;
        return fine ? std::string() : "'" + text + "' is not a number of seconds above 0, at most a week";
    },
    "", "Duration");

const char* const description =
    "Shows what the tracking server publishes: per channel its flags and description, per station the pose\n"
    "(position in the channel's unit, angles in degrees), ACTIVE or not, the update rate and the age of the\n"
    "last change. On a terminal it redraws until Ctrl-C; otherwise it prints one line per change.\n"
    "Exit status: 0 done, 1 nothing published or a selected channel unreadable (--once), or the recording\n"
    "failed, 2 bad options.";

}  // namespace

OptionsOutcome ParseMonitorOptions(int argc, const char* const* argv, MonitorOptions& options, std::string& message) {
    CLI::App app(description, "lumivex-monitor");
    std::string bins = "0,1", stations = "0-3";
    app.add_option("--instrument", options.instrument, "instrument 0..15")->type_name("N")->check(DecimalValidator(0, highestInstrument))->capture_default_str();
    app.add_option("--bins", bins, "channels to show, e.g. 0,1 or 0-15")->type_name("LIST")->check(NumberListValidator(highestBin))->capture_default_str();
    app.add_option("--stations", stations, "stations to show, e.g. 0-3 or 0,2,5")
        ->type_name("LIST")
        ->check(NumberListValidator(highestStation))
        ->capture_default_str();
    CLI::Option* once = app.add_flag("--once", options.once, "show one snapshot and exit (status 1 when nothing is published)");
    app.add_option("--csv", options.csvPath,
                   "record every write of the selected channels into FILE until Ctrl-C (- standard output; "
                   "a name ending in .gz is compressed)")
        ->type_name("FILE")
        ->check(fileName)
        ->excludes(once);
    app.add_option("--duration", options.duration, "end after this many seconds")
        ->type_name("SECONDS")
        ->check(durationCheck)
        ->excludes(once);
    AddVersionFlag(app, "lumivex-monitor");
    RefuseOptionLikeValues(app);
    CommandLineOutcome outcome = ParseCommandLine(app, argc, argv, message);
    if (outcome != CommandLineOutcome::Run) return outcome;
    ParseNumberList(bins, highestBin, options.bins);
    ParseNumberList(stations, highestStation, options.stations);
    return OptionsOutcome::Run;
}
