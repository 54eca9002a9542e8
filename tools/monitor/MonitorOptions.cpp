#include "tools/monitor/MonitorOptions.h"

#include <CLI/CLI.hpp>

namespace {

constexpr int highestInstrument = 15;
constexpr int highestBin = 15;
constexpr int highestStation = 31;

// Two decimal digits at most: every number here is below 32.
bool ParseNumber(const std::string& text, int highest, int& value) {
    if (text.empty() || text.size() > 2 || text.find_first_not_of("0123456789") != std::string::npos) return false;
    value = std::stoi(text);
    return value <= highest;
}

bool ParseItem(const std::string& item, int highest, uint32_t& mask) {
    std::size_t dash = item.find('-');
    int first = 0, last = 0;
    if (!ParseNumber(item.substr(0, dash), highest, first)) return false;
    last = first;
    if (dash != std::string::npos && !ParseNumber(item.substr(dash + 1), highest, last)) return false;
    if (last < first) return false;
    for (int number = first; number <= last; ++number) mask |= 1u << number;
    return true;
}

CLI::Validator NumberList(int highest) {
    std::string what = "comma-separated numbers or ranges N-M, each 0.." + std::to_string(highest);
    return CLI::Validator(
        [highest, what](std::string& text) {
            uint32_t mask = 0;
            return ParseNumberList(text, highest, mask) ? std::string() : "'" + text + "' is not " + what;
        },
        "LIST", "NumberList");
}

// CLI11 reads integers with base prefixes ("010" would be eight); only plain
// decimals are meant here.
const CLI::Validator decimal(
    [](std::string& text) {
        int value = 0;
        return ParseNumber(text, highestInstrument, value) ? std::string() : "'" + text + "' is not a number 0..15";
    },
    "", "Decimal");

const CLI::Validator fileName(
    [](std::string& text) { return text.empty() ? std::string("the file name is empty") : std::string(); }, "", "FileName");

const char* const description =
    "Shows what the tracking server publishes: per channel its flags and description, per station the pose\n"
    "(position in the channel's unit, angles in degrees), ACTIVE or not, the update rate and the age of the\n"
    "last change. On a terminal it redraws until Ctrl-C; otherwise it prints one line per change.\n"
    "Exit status: 0 done, 1 nothing published (--once) or the recording failed, 2 bad options.";

}  // namespace

bool ParseNumberList(const std::string& text, int highest, uint32_t& mask) {
    uint32_t result = 0;
    for (std::size_t start = 0;;) {
        std::size_t comma = text.find(',', start);
        if (!ParseItem(text.substr(start, comma - start), highest, result)) return false;
        if (comma == std::string::npos) break;
        start = comma + 1;
    }
    mask = result;
    return true;
}

std::string DescribeNumberList(uint32_t mask) {
    std::string list;
    for (int first = 0; first < 32; ++first) {
        if (!(mask >> first & 1u)) continue;
        int last = first;
        while (last < 31 && (mask >> (last + 1) & 1u)) ++last;
        list += (list.empty() ? "" : ",") + std::to_string(first) + (last > first ? "-" + std::to_string(last) : "");
        first = last;
    }
    return list.empty() ? "none" : list;
}

OptionsOutcome ParseMonitorOptions(int argc, const char* const* argv, MonitorOptions& options, std::string& message) {
    CLI::App app(description, "lumivex-monitor");
    std::string bins = "0,1", stations = "0-3";
    app.add_option("--instrument", options.instrument, "instrument 0..15")->type_name("N")->check(decimal)->capture_default_str();
    app.add_option("--bins", bins, "channels to show, e.g. 0,1 or 0-15")->type_name("LIST")->check(NumberList(highestBin))->capture_default_str();
    app.add_option("--stations", stations, "stations to show, e.g. 0-3 or 0,2,5")
        ->type_name("LIST")
        ->check(NumberList(highestStation))
        ->capture_default_str();
    CLI::Option* once = app.add_flag("--once", options.once, "show one snapshot and exit (status 1 when nothing is published)");
    app.add_option("--csv", options.csvPath, "record every change of every selected station into FILE until Ctrl-C")
        ->type_name("FILE")
        ->check(fileName)
        ->excludes(once);
    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp&) {
        message = app.help();
        return OptionsOutcome::Help;
    } catch (const CLI::Error& error) {
        message = error.what();
        return OptionsOutcome::Error;
    }
    ParseNumberList(bins, highestBin, options.bins);
    ParseNumberList(stations, highestStation, options.stations);
    return OptionsOutcome::Run;
}
