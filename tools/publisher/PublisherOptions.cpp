#include "tools/publisher/PublisherOptions.h"

#include <cmath>
#include <cstdio>
#include <functional>
#include <limits>
#include <memory>
#include <vector>

#include <CLI/CLI.hpp>

#include "tools/common/ChannelMode.h"
#include "tools/common/NumberList.h"
#include "tools/common/OptionNumbers.h"
#include "tools/common/OptionRules.h"

namespace {

constexpr int highestInstrument = 15;
constexpr int highestBin = 15;

// Checks and stores one value; returns why it was refused, or empty.
using Store = std::function<std::string(const std::string& value)>;

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

std::string StoreFlags(const std::string& value, PublisherOptions& options) {
    unsigned long long flags = 0;
    if (!ParseHexadecimal(value, 0xFFFFFFFFu, flags))
        return "expected a hexadecimal 32-bit word: hexadecimal digits, 0x in front or not, no sign or space";
    options.flags = static_cast<uint32_t>(flags);
    return {};
}

std::string StoreDescription(const std::string& value, PublisherOptions& options) {
    if (value.size() > station_layout::maxDescriptionLength)
        return "longer than " + std::to_string(station_layout::maxDescriptionLength) + " characters";
    options.description = value;
    return {};
}

// K=x,y,z,az,el,roll
std::string StorePose(const std::string& value, PublisherOptions& options) {
    std::size_t equals = value.find('=');
    long long k = 0;
    float pose[6] = {};
    if (equals == std::string::npos || !ParseDecimal(value.substr(0, equals), 0, station_layout::stationCount - 1, k) ||
        !ParseFloats(value.substr(equals + 1), pose, 6))
        return "expected K=x,y,z,az,el,roll: K a number 0..31, then six finite numbers, without spaces";
    options.fixedPoses[k] = StationRecord{pose[0], pose[1], pose[2], pose[3], pose[4], pose[5]};
    options.fixedStations |= 1u << k;
    return {};
}

std::string StoreMotion(const std::string& value, PublisherOptions& options) {
    static const struct { const char* name; Motion motion; } motions[] = {
        {"still", Motion::Still}, {"orbit", Motion::Orbit}, {"counter", Motion::Counter}};
    for (const auto& entry : motions) {
        if (value != entry.name) continue;
        options.motion = entry.motion;
        return {};
    }
    return "expected still, orbit or counter";
}

std::string StoreRate(const std::string& value, PublisherOptions& options) {
    if (!ParseFiniteNumber(value, options.rate) || options.rate < 0.0) return "expected a number of writes per second, 0 or more";
    if (options.rate > 0.0 && options.rate < minimumRate)
        return "too slow: at least one write a day (a rate of 0.0000116 or more), or 0 for as fast as possible";
    return {};
}

std::string StoreDuration(const std::string& value, PublisherOptions& options) {
    if (!ParseFiniteNumber(value, options.duration) || options.duration <= 0.0) return "expected a number of seconds above 0";
    return {};
}

std::string StoreSpeed(const std::string& value, PublisherOptions& options) {
    if (!ParseFiniteNumber(value, options.speed) || options.speed < 0.001 || options.speed > 1000.0)
        return "expected a factor from 0.001 to 1000";
    return {};
}

// CLI11 reports a refused value by the exception it throws out of parse.
void StoreOrThrow(const std::string& name, const Store& store, const std::string& value) {
    std::string reason = store(value);
    if (!reason.empty()) throw CLI::ValidationError(name, "'" + value + "': " + reason);
}

CLI::Option* AddChecked(CLI::App& app, const std::string& name, const std::string& type, const std::string& help,
                        Store store) {
    auto callback = [name, store](const std::string& value) { StoreOrThrow(name, store, value); };
    return app.add_option_function<std::string>(name, callback, help)->type_name(type);
}

// Each occurrence takes one value; all of them are stored, in order.
void AddRepeatable(CLI::App& app, const std::string& name, const std::string& type, const std::string& help,
                   Store store) {
    auto callback = [name, store](const std::vector<std::string>& values) {
        for (const std::string& value : values) StoreOrThrow(name, store, value);
    };
    app.add_option_function<std::vector<std::string>>(name, callback, help)->type_name(type)->allow_extra_args(false);
}

// Store functions bound to the options they fill.
Store Into(PublisherOptions& options, std::string (*store)(const std::string&, PublisherOptions&)) {
    return [&options, store](const std::string& value) { return store(value, options); };
}

void AddChannelOptions(CLI::App& app, PublisherOptions& options) {
    app.add_option("--instrument", options.instrument, "instrument number 0..15 (default 0)")
        ->type_name("N")
        ->check(DecimalValidator(0, highestInstrument));
    // The check runs before the function, so the list read there is sound.
    app.add_option_function<std::string>(
           "--bins", [&options](const std::string& list) { ParseNumberList(list, highestBin, options.bins); },
           "channels to publish, e.g. 0,1 (default), 0-15 or 0-3,8")
        ->type_name("LIST")
        ->check(NumberListValidator(highestBin));
    AddChecked(app, "--flags", "HEX",
               "flags word: bits 0..3 active stations, 4 CART, 5 EULR, 6 QUAT, 8..11 unit (0 inches, 1 cm, "
               "2 metres) (default 0x21F)",
               Into(options, StoreFlags));
    AddChecked(app, "--description", "TEXT", "tracker description (default \"Simulated tracker\")",
               Into(options, StoreDescription));
    AddRepeatable(app, "--pose", "K=x,y,z,az,el,roll",
                  "fix station K (0..31) at this pose, in the channel's unit and radians; repeatable",
                  Into(options, StorePose));
    AddChecked(app, "--motion", "NAME",
               "the other stations: still, orbit (default) or counter (every float of every record is the write "
               "count)",
               Into(options, StoreMotion));
}

void AddTimingOptions(CLI::App& app, PublisherOptions& options) {
    AddChecked(app, "--rate", "HZ",
               "writes per second, 0 for as fast as possible (default 120); at least one write a day",
               Into(options, StoreRate));
    AddChecked(app, "--duration", "SECONDS", "stop after this long (default: at SIGINT, SIGTERM or SIGHUP)",
               Into(options, StoreDuration));
    app.add_flag("--once", options.once, "write once, exit and leave the objects");
    CLI::Option* unlink = app.add_flag(
        "--unlink", options.unlink,
        "remove the selected channels' objects and exit; refused for a channel that a live writer writes");
    app.add_flag("--force", options.force, "with --unlink: remove them even when a live writer writes them")
        ->needs(unlink);
    // The check runs before the function, so the mode read there is sound.
    app.add_option_function<std::string>(
           "--mode", [&options](const std::string& text) { ParseChannelMode(text, options.mode); },
           "permission bits of the regions it creates (default 600; 640 lets the group watch); no one but the "
           "owner may write them. Mutex objects are always 600")
        ->type_name("OCTAL")
        ->check(ChannelModeValidator());
}

void AddFaultOptions(CLI::App& app, PublisherOptions& options) {
    app.add_option("--hold-lock-ms", options.holdLockMs, "hold the channel's mutex this long on every write (0..60000); a stop or the end of --duration ends it")
        ->type_name("MS")
        ->check(DecimalValidator(0, 60000));
    app.add_option("--crash-after", options.crashAfter,
                   "after N writes (1..1000000000), abort while holding a channel's mutex")
        ->type_name("N")
        ->check(DecimalValidator(1, 1000000000));
}

std::string StoreFrom(const std::string& value, PublisherOptions& options) {
    if (!ParseFiniteNumber(value, options.from) || options.from < 0.0) return "expected a number of seconds, 0 or more";
    return {};
}

std::string StoreTo(const std::string& value, PublisherOptions& options) {
    if (!ParseFiniteNumber(value, options.to) || options.to < 0.0) return "expected a number of seconds, 0 or more";
    return {};
}

void AddReplayOptions(CLI::App& app, PublisherOptions& options) {
    CLI::Option* replay = app.add_option("--replay", options.replay,
                                         "publish a recording (lumivex-monitor's; - standard input, .gz compressed) "
                                         "with its own timing; --instrument and --bins choose its channels")
                              ->type_name("FILE");
    app.add_flag("--loop", options.loop, "with --replay: start again from the beginning at the end")->needs(replay);
    AddChecked(app, "--speed", "X", "with --replay: play X times as fast (0.001..1000, default 1)",
               Into(options, StoreSpeed))
        ->needs(replay);
    AddChecked(app, "--from", "SECONDS", "with --replay: start this far into the recording", Into(options, StoreFrom))
        ->needs(replay);
    AddChecked(app, "--to", "SECONDS", "with --replay: end this far into the recording", Into(options, StoreTo))
        ->needs(replay);
    app.add_option("--as-instrument", options.asInstrument, "with --replay: publish the channels under instrument N (0..15)")
        ->type_name("N")
        ->check(DecimalValidator(0, highestInstrument))
        ->needs(replay);
}

// The recording sets its channels, stations and timing itself.
std::string ReplayConflict(const CLI::App& app, const PublisherOptions& options) {
    static const char* const notWithReplay[] = {"--flags", "--description", "--pose", "--motion",
                                                "--rate",  "--once",        "--unlink"};
    if (options.replay.empty()) return {};
    for (const char* name : notWithReplay)
        if (app.count(name) > 0)
            return std::string(name) + " cannot be combined with --replay: the recording sets the channels, "
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

std::unique_ptr<CLI::App> CommandLine(PublisherOptions& options) {
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
    RefuseOptionLikeValues(*app);
    app->footer("Exit status: 0 done, 1 the objects could not be created or written, 2 bad options or recording.");
    return app;
}

ParseOutcome Reject(std::string& error, const std::string& message) {
    error = message;
    return ParseOutcome::Error;
}

}  // namespace

ParseOutcome ParseOptions(int argc, char** argv, PublisherOptions& options, std::string& error) {
    try {
        std::unique_ptr<CLI::App> app = CommandLine(options);
        if (argc > 1) app->parse(argc, argv);
        error = ReplayConflict(*app, options);
        SelectReplayed(*app, options);
        return error.empty() ? ParseOutcome::Run : ParseOutcome::Error;
    } catch (const CLI::CallForHelp&) {
        return ParseOutcome::Help;
    } catch (const CLI::CallForVersion& version) {
        error = version.what();
        return ParseOutcome::Version;
    } catch (const std::exception& failure) {
        return Reject(error, failure.what());
    } catch (...) {
        return Reject(error, "the options could not be read");
    }
}

void PrintUsage(const char* program) {
    PublisherOptions defaults;
    std::unique_ptr<CLI::App> app = CommandLine(defaults);
    app->name(program);
    std::fputs(app->help().c_str(), stdout);
}
