#include "tools/monitor/MonitorOptions.h"

#include <CLI/CLI.hpp>

#include "tools/common/ChannelSelection.h"
#include "tools/common/OptionNumbers.h"
#include "tools/common/OptionRules.h"
#include "tools/common/OutputFileRule.h"

namespace {

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
    "last change. On a terminal it redraws until Ctrl-C; otherwise it prints one line per change.";

}  // namespace

std::unique_ptr<CLI::App> MonitorCommandLine(MonitorOptions& options) {
    auto app = std::make_unique<CLI::App>(description, "lumivex-monitor");
    ChannelSelection::AddInstrument(*app, options.instrument, "instrument");
    ChannelSelection::AddList(*app, ChannelSelection::List::Bins, options.bins, "channels to show, e.g. 0,1 or 0-15");
    ChannelSelection::AddList(*app, ChannelSelection::List::Stations, options.stations,
                              "stations to show, e.g. 0-3 or 0,2,5");
    CLI::Option* once =
        app->add_flag("--once", options.once, "show one snapshot and exit; status 1 when nothing is published");
    CLI::Option* csv =
        app->add_option("--csv", options.csvPath,
                        "record every write of the selected channels into FILE until Ctrl-C: - writes standard output, "
                        "a name ending in .gz is compressed; a file that exists is refused, and a symbolic link always")
            ->type_name("FILE")
            ->check(FileNameValidator())
            ->excludes(once);
    AddForceFlag(*app, options.force, "the recording")->needs(csv);
    app->add_option("--duration", options.duration, "end after this many seconds, at most a week")
        ->type_name("SECONDS")
        ->check(durationCheck)
        ->excludes(once);
    AddVersionFlag(*app, "lumivex-monitor");
    AddHelpAllFlag(*app);
    RefuseOptionLikeValues(*app);
    return app;
}
