#include "tools/publisher/PublisherOptions.h"

#include <cmath>
#include <limits>
#include <memory>
#include <vector>

#include <CLI/CLI.hpp>

#include "channel/ChannelId.h"
#include "tools/common/ChannelMode.h"
#include "tools/common/ChannelSelection.h"
#include "tools/common/OptionNumbers.h"
#include "tools/common/OptionRules.h"
#include "tools/publisher/Motion.h"
#include "tools/common/RunCommandLine.h"

namespace {

// Six finite numbers separated by single commas.
bool ParseFloats(const std::string& list, float* values, int count) {
    std::size_t start = 0;
    for (int i = 0; i < count; ++i) {
        std::size_t comma = i + 1 < count ? list.find(',', start) : list.size();
        double value = 0.0;
        if (comma == std::string::npos || !ParseFiniteNumber(list.substr(start, comma - start), value) ||
            std::fabs(value) > std::numeric_limits<float>::max())
            return false;
        values[i] = static_cast<float>(value);
        start = comma + 1;
    }
    return true;
}

bool ReadFlags(const std::string& text, uint32_t& flags) {
    unsigned long long value = 0;
    if (!ParseHexadecimal(text, 0xFFFFFFFFu, value)) return false;
    flags = static_cast<uint32_t>(value);
    return true;
}

// K=x,y,z,az,el,roll
bool ReadPose(const std::string& text, PublisherOptions& options) {
    std::size_t equals = text.find('=');
    long long k = 0;
    float pose[6] = {};
    if (equals == std::string::npos || !ParseDecimal(text.substr(0, equals), 0, station_layout::stationCount - 1, k) ||
        !ParseFloats(text.substr(equals + 1), pose, 6))
        return false;
    options.fixedPoses[k] = StationRecord{pose[0], pose[1], pose[2], pose[3], pose[4], pose[5]};
    options.fixedStations |= 1u << k;
    return true;
}

bool ReadMotion(const std::string& text, Motion& motion) {
    for (const auto& entry : motionNames) {
        if (text != entry.name) continue;
        motion = entry.motion;
        return true;
    }
    return false;
}

std::string RateProblem(const std::string& text) {
    double rate = 0.0;
    if (!ParseFiniteNumber(text, rate) || rate < 0.0) return "expected a number of writes per second, 0 or more";
    if (rate > 0.0 && rate < minimumRate)
        return "too slow: at least one write a day (a rate of 0.0000116 or more), or 0 for as fast as possible";
    return {};
}

std::string DurationProblem(const std::string& text) {
    double seconds = 0.0;
    return ParseFiniteNumber(text, seconds) && seconds > 0.0 ? "" : "expected a number of seconds above 0";
}

std::string SpeedProblem(const std::string& text) {
    double speed = 0.0;
    return ParseFiniteNumber(text, speed) && speed >= 0.001 && speed <= 1000.0 ? ""
                                                                               : "expected a factor from 0.001 to 1000";
}

std::string DescriptionProblem(const std::string& text) {
    if (text.size() <= station_layout::maxDescriptionLength) return {};
    return "longer than " + std::to_string(station_layout::maxDescriptionLength) + " characters";
}

const CLI::Validator flagsCheck = CheckedBy([](const std::string& text) {
    uint32_t flags = 0;
    return ReadFlags(text, flags)
               ? ""
               : "expected a hexadecimal 32-bit word: hexadecimal digits, 0x in front or not, no sign or space";
});

const CLI::Validator poseCheck = CheckedBy([](const std::string& text) {
    PublisherOptions scratch;
    return ReadPose(text, scratch)
               ? ""
               : "expected K=x,y,z,az,el,roll: K a number 0..31, then six finite numbers, without spaces";
});

const CLI::Validator motionCheck = CheckedBy([](const std::string& text) {
    Motion motion = Motion::Still;
    return ReadMotion(text, motion) ? "" : "expected still, orbit or counter";
});

void AddChannelOptions(CLI::App& app, PublisherOptions& options) {
    ChannelSelection::AddInstrument(app, options.instrument, "instrument number");
    ChannelSelection::AddList(app, ChannelSelection::List::Bins, options.bins,
                              "channels to publish, e.g. 0,1, 0-15 or 0-3,8");
    app.add_option_function<std::string>(
           "--flags", [&options](const std::string& text) { ReadFlags(text, options.flags); },
           "flags word: bits 0..3 active stations, 4 CART, 5 EULR, 6 QUAT, 8..11 unit: 0 inches, 1 cm, 2 metres")
        ->type_name("HEX")
        ->check(flagsCheck)
        ->default_str("0x21F");
    app.add_option("--description", options.description, "tracker description")
        ->type_name("TEXT")
        ->check(CheckedBy(DescriptionProblem))
        ->default_str("\"" + options.description + "\"");
    app.add_option_function<std::vector<std::string>>(
           "--pose",
           [&options](const std::vector<std::string>& poses) {
               for (const auto& pose : poses) ReadPose(pose, options);
           },
           "fix station K (0..31) at this pose, in the channel's unit and radians")
        ->type_name("K=x,y,z,az,el,roll")
        ->check(poseCheck)
        ->allow_extra_args(false);
    app.add_option_function<std::string>(
           "--motion", [&options](const std::string& text) { ReadMotion(text, options.motion); },
           "the other stations: still, orbit, or counter, which writes the write count into every float of every "
           "record")
        ->type_name("NAME")
        ->check(motionCheck)
        ->default_str("orbit");
}

void AddTimingOptions(CLI::App& app, PublisherOptions& options) {
    app.add_option("--rate", options.rate, "writes per second, 0 for as fast as possible; at least one write a day")
        ->type_name("HZ")
        ->check(CheckedBy(RateProblem))
        ->default_str("120");
    app.add_option("--duration", options.duration, "stop after this long rather than at SIGINT, SIGTERM or SIGHUP")
        ->type_name("SECONDS")
        ->check(CheckedBy(DurationProblem));
    app.add_flag("--once", options.once, "write once, exit and leave the objects");
    CLI::Option* unlink =
        app.add_flag("--unlink", options.unlink,
                     "remove the selected channels' objects and exit; refused for a channel that a live writer, "
                     "whoever's, writes");
    app.add_flag("--force", options.force, "remove them even when a live writer writes them")->needs(unlink);
    app.add_option_function<std::string>(
           "--mode", [&options](const std::string& text) { ParseChannelMode(text, options.mode); },
           "permission bits of the regions it creates: 640 lets the group watch, and no one but the owner may "
           "write them; mutex objects are always 600")
        ->type_name("OCTAL")
        ->check(ChannelModeValidator())
        ->default_str("600");
}

void AddFaultOptions(CLI::App& app, PublisherOptions& options) {
    app.add_option("--hold-lock-ms", options.holdLockMs,
                   "hold the channel's mutex this long on every write; a stop or the end of --duration ends it")
        ->type_name("MS")
        ->check(DecimalValidator(0, 60000));
    app.add_option("--crash-after", options.crashAfter, "after N writes, abort while holding a channel's mutex")
        ->type_name("N")
        ->check(DecimalValidator(1, 1000000000));
}

void AddReplayOptions(CLI::App& app, PublisherOptions& options) {
    CLI::Option* replay =
        app.add_option("--replay", options.replay,
                       "publish a recording of lumivex-monitor with its own timing: - reads standard "
                       "input, a name ending in .gz is compressed; --instrument and --bins choose its "
                       "channels")
            ->type_name("FILE")
            ->check(FileNameValidator());
    app.add_flag("--loop", options.loop, "start again from the beginning at the end")->needs(replay);
    app.add_option("--speed", options.speed, "play X times as fast")
        ->type_name("X")
        ->check(CheckedBy(SpeedProblem, "0.001..1000"))
        ->default_str("1")
        ->needs(replay);
    app.add_option("--from", options.from, "start this far into the recording")
        ->type_name("SECONDS")
        ->check(SecondsValidator())
        ->needs(replay);
    app.add_option("--to", options.to, "end this far into the recording")
        ->type_name("SECONDS")
        ->check(SecondsValidator())
        ->needs(replay);
    app.add_option("--as-instrument", options.asInstrument, "publish the channels under instrument N")
        ->type_name("N")
        ->check(DecimalValidator(0, ChannelId::highest))
        ->needs(replay);
}

// The recording sets its channels, stations and timing itself.
std::string ReplayConflict(const CLI::App& app, const PublisherOptions& options) {
    static const char* const notWithReplay[] = {"--flags", "--description", "--pose",  "--motion",
                                                "--rate",  "--once",        "--unlink"};
    if (options.replay.empty()) return {};
    for (const char* name : notWithReplay)
        if (app.count(name) > 0)
            return std::string(name) +
                   " cannot be combined with --replay: the recording sets the channels, "
                   "their stations and the timing";
    if (options.to >= 0.0 && options.to < options.from) return "--to must not come before --from";
    if (options.loop && options.replay == "-") return "--loop cannot replay standard input: it is read once";
    return {};
}

// With --replay, --instrument and --bins choose channels of the recording.
void SelectReplayed(const CLI::App& app, PublisherOptions& options) {
    if (app.count("--instrument") > 0) options.replayInstruments = 1u << options.instrument;
    if (app.count("--bins") > 0) options.replayBins = options.bins;
}

}  // namespace

std::unique_ptr<CLI::App> PublisherCommandLine(PublisherOptions& options) {
    auto app = std::make_unique<CLI::App>(
        "Publishes simulated tracker channels in shared memory, the way the tracking server\n"
        "does, for the viewer to read. Objects are named \"/\" + $LUMIVEX_SHM_PREFIX +\n"
        "QuillmontShMemIC / QuillmontMutexIC (I instrument, C channel, hexadecimal). They\n"
        "outlive a crash, so a restarted publisher writes into them again; a normal end\n"
        "(SIGINT, SIGTERM, SIGHUP, --duration, the end of a replay) removes them, --once\n"
        "leaves them. A channel has one writer: one that another process writes is\n"
        "refused (exit status 1, naming that process).\n",
        "lumivex-publisher");
    AddChannelOptions(*app, options);
    AddTimingOptions(*app, options);
    AddFaultOptions(*app, options);
    AddReplayOptions(*app, options);
    AddVersionFlag(*app, "lumivex-publisher");
    AddHelpAllFlag(*app);
    RefuseOptionLikeValues(*app);
    const CLI::App& parsed = *app;
    CheckTogether(*app, [&parsed, &options]() {
        std::string problem = ReplayConflict(parsed, options);
        if (problem.empty()) SelectReplayed(parsed, options);
        return problem;
    });
    return app;
}
