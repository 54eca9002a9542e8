#include "tools/publisher/PublisherOptions.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>

namespace {

using Setter = bool (*)(const char* value, PublisherOptions& options);

struct OptionSpec {
    const char* name;
    bool takesValue;
    Setter set;
    const char* valueHint;  // shown when the value is rejected
};

bool ParseLong(const char* text, int base, long low, long high, long& value) {
    char* end = nullptr;
    errno = 0;
    long parsed = std::strtol(text, &end, base);
    if (errno != 0 || end == text || *end != '\0' || parsed < low || parsed > high) return false;
    value = parsed;
    return true;
}

bool ParseDouble(const char* text, double low, double& value) {
    char* end = nullptr;
    errno = 0;
    double parsed = std::strtod(text, &end);
    if (errno != 0 || end == text || *end != '\0' || !std::isfinite(parsed) || parsed < low) return false;
    value = parsed;
    return true;
}

bool SetInstrument(const char* value, PublisherOptions& options) {
    long number = 0;
    if (!ParseLong(value, 10, 0, 15, number)) return false;
    options.instrument = static_cast<int>(number);
    return true;
}

bool SetBins(const char* value, PublisherOptions& options) {
    std::stringstream list(value);
    std::string item;
    uint32_t bins = 0;
    long bin = 0;
    while (std::getline(list, item, ',')) {
        if (!ParseLong(item.c_str(), 10, 0, 15, bin)) return false;
        bins |= 1u << bin;
    }
    // getline drops an empty last item, so "0," would pass without this.
    if (bins == 0 || value[std::strlen(value) - 1] == ',') return false;
    options.bins = bins;
    return true;
}

bool SetFlags(const char* value, PublisherOptions& options) {
    char* end = nullptr;
    errno = 0;
    unsigned long flags = std::strtoul(value, &end, 16);
    if (errno != 0 || end == value || *end != '\0' || value[0] == '-' || flags > 0xFFFFFFFFul) return false;
    options.flags = static_cast<uint32_t>(flags);
    return true;
}

bool SetDescription(const char* value, PublisherOptions& options) {
    if (std::strlen(value) > station_layout::maxDescriptionLength) return false;
    options.description = value;
    return true;
}

// K=x,y,z,az,el,roll
bool SetPose(const char* value, PublisherOptions& options) {
    int station = -1, consumed = 0;
    StationRecord pose{};
    int fields = std::sscanf(value, "%d=%f,%f,%f,%f,%f,%f%n", &station, &pose.x, &pose.y, &pose.z, &pose.azimuth,
                             &pose.elevation, &pose.roll, &consumed);
    if (fields != 7 || value[consumed] != '\0' || station < 0 || station >= station_layout::stationCount) return false;
    options.fixedPoses[station] = pose;
    options.fixedStations |= 1u << station;
    return true;
}

bool SetMotion(const char* value, PublisherOptions& options) {
    static const struct { const char* name; Motion motion; } motions[] = {
        {"still", Motion::Still}, {"orbit", Motion::Orbit}, {"counter", Motion::Counter}};
    for (const auto& entry : motions) {
        if (std::strcmp(value, entry.name) != 0) continue;
        options.motion = entry.motion;
        return true;
    }
    return false;
}

bool SetRate(const char* value, PublisherOptions& options) { return ParseDouble(value, 0.0, options.rate); }

bool SetDuration(const char* value, PublisherOptions& options) {
    return ParseDouble(value, 0.0, options.duration) && options.duration > 0.0;
}

bool SetOnce(const char*, PublisherOptions& options) {
    options.once = true;
    return true;
}

bool SetUnlink(const char*, PublisherOptions& options) {
    options.unlink = true;
    return true;
}

bool SetMode(const char* value, PublisherOptions& options) {
    long mode = 0;
    if (!ParseLong(value, 8, 0, 0777, mode)) return false;
    options.mode = static_cast<unsigned>(mode);
    return true;
}

bool SetHoldLock(const char* value, PublisherOptions& options) {
    long milliseconds = 0;
    if (!ParseLong(value, 10, 0, 60000, milliseconds)) return false;
    options.holdLockMs = static_cast<int>(milliseconds);
    return true;
}

bool SetCrashAfter(const char* value, PublisherOptions& options) {
    return ParseLong(value, 10, 1, 1000000000L, options.crashAfter);
}

const OptionSpec optionTable[] = {
    {"--instrument", true, SetInstrument, "a number 0..15"},
    {"--bins", true, SetBins, "comma-separated numbers 0..15"},
    {"--flags", true, SetFlags, "a hexadecimal 32-bit word"},
    {"--description", true, SetDescription, "a text of at most 2778 characters"},
    {"--pose", true, SetPose, "K=x,y,z,az,el,roll with K 0..31"},
    {"--motion", true, SetMotion, "still, orbit or counter"},
    {"--rate", true, SetRate, "a number of writes per second, 0 or more"},
    {"--duration", true, SetDuration, "a number of seconds above 0"},
    {"--once", false, SetOnce, ""},
    {"--unlink", false, SetUnlink, ""},
    {"--mode", true, SetMode, "octal permission bits, 0..777"},
    {"--hold-lock-ms", true, SetHoldLock, "milliseconds 0..60000"},
    {"--crash-after", true, SetCrashAfter, "a number of writes, 1 or more"},
};

const OptionSpec* FindOption(const char* name) {
    for (const OptionSpec& option : optionTable)
        if (std::strcmp(option.name, name) == 0) return &option;
    return nullptr;
}

ParseOutcome Reject(std::string& error, const std::string& message) {
    error = message;
    return ParseOutcome::Error;
}

}  // namespace

ParseOutcome ParseOptions(int argc, char** argv, PublisherOptions& options, std::string& error) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) return ParseOutcome::Help;
        const OptionSpec* option = FindOption(argv[i]);
        if (!option) return Reject(error, std::string("unknown option ") + argv[i]);
        if (option->takesValue && i + 1 >= argc) return Reject(error, std::string(argv[i]) + " needs a value");
        const char* value = option->takesValue ? argv[++i] : "";
        if (!option->set(value, options))
            return Reject(error, std::string("bad value '") + value + "' for " + option->name + ": expected " +
                                     option->valueHint);
    }
    return ParseOutcome::Run;
}

void PrintUsage(const char* program) {
    std::printf(
        "Usage: %s [options]\n"
        "Publishes simulated tracker channels in shared memory, the way the tracking\n"
        "server does, for the viewer to read. Objects are named \"/\" + $LUMIVEX_SHM_PREFIX +\n"
        "QuillmontShMemIC / QuillmontMutexIC (I instrument, C channel, hexadecimal) and\n"
        "stay after the publisher ends, so a restarted publisher writes into them again.\n"
        "\n"
        "  --instrument N     instrument number 0..15 (default 0)\n"
        "  --bins LIST        comma-separated channels 0..15 (default 0,1)\n"
        "  --flags HEX        flags word: bits 0..3 active stations, 4 CART, 5 EULR,\n"
        "                     6 QUAT, 8..11 unit (0 inches, 1 cm, 2 metres) (default 0x21F)\n"
        "  --description TEXT tracker description (default \"Simulated tracker\")\n"
        "  --pose K=x,y,z,az,el,roll\n"
        "                     fix station K (0..31) at this pose, in the channel's unit\n"
        "                     and radians; repeatable\n"
        "  --motion NAME      the other stations: still, orbit (default) or counter\n"
        "                     (every float of every record is the write count)\n"
        "  --rate HZ          writes per second, 0 for as fast as possible (default 120)\n"
        "  --duration SECONDS stop after this long (default: at SIGINT or SIGTERM)\n"
        "  --once             write once, exit and leave the objects\n"
        "  --unlink           remove the selected channels' objects and exit\n"
        "  --mode OCTAL       permission bits of objects it creates (default 600)\n"
        "  --hold-lock-ms MS  hold the channel's mutex this long on every write\n"
        "  --crash-after N    after N writes, abort while holding a channel's mutex\n"
        "  --help             show this text\n"
        "\n"
        "Exit status: 0 done, 1 the objects could not be created or written, 2 bad options.\n",
        program);
}
