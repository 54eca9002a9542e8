#include "server/Recording.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <sstream>

const char* const recordingHeader = "time_s,instrument,bin,station,x,y,z,azimuth,elevation,roll";

namespace {

constexpr int channelLimit = 16;  // instruments and bins are 0..15
const char* const fieldNames[] = {"time_s", "instrument", "bin", "station", "x", "y", "z", "azimuth", "elevation", "roll"};
constexpr std::size_t fieldCount = sizeof(fieldNames) / sizeof(fieldNames[0]);
float StationRecord::* const recordFields[] = {&StationRecord::x,       &StationRecord::y,         &StationRecord::z,
                                               &StationRecord::azimuth, &StationRecord::elevation, &StationRecord::roll};
const std::string channelKeyword = "# channel";

// What is wrong with a line; empty when nothing is.
using Reason = std::string;

struct ParseState {
    Recording recording;
    bool headerSeen = false;
    double lastSeconds = 0.0;
};

// Plain decimal digits only: no sign, no spaces, at most three digits.
bool ParseIndex(const std::string& text, int limit, int& value) {
    if (text.empty() || text.size() > 3) return false;
    value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        value = value * 10 + (c - '0');
    }
    return value < limit;
}

bool ParseFlags(const std::string& text, uint32_t& flags) {
    if (text.size() < 3 || text.size() > 10 || text[0] != '0' || (text[1] != 'x' && text[1] != 'X')) return false;
    if (!std::all_of(text.begin() + 2, text.end(), [](char c) { return std::isxdigit(static_cast<unsigned char>(c)); }))
        return false;
    flags = static_cast<uint32_t>(std::strtoul(text.c_str() + 2, nullptr, 16));
    return true;
}

// The whole text must be the number, with nothing around it.
template <typename Number, typename Convert>
bool ParseNumber(const std::string& text, Convert convert, Number& value) {
    if (text.empty() || std::isspace(static_cast<unsigned char>(text[0]))) return false;
    char* end = nullptr;
    value = convert(text.c_str(), &end);
    return end == text.c_str() + text.size() && std::isfinite(value);
}

bool IsChannelDeclaration(const std::string& line) {
    return line.compare(0, channelKeyword.size(), channelKeyword) == 0 &&
           (line.size() == channelKeyword.size() || std::isspace(static_cast<unsigned char>(line[channelKeyword.size()])));
}

bool Declared(const Recording& recording, int instrument, int bin) {
    return std::any_of(recording.channels.begin(), recording.channels.end(), [&](const RecordedChannel& channel) {
        return channel.instrument == instrument && channel.bin == bin;
    });
}

// "description TEXT": TEXT is everything after the one space that follows the keyword.
Reason ReadDescription(std::istream& words, std::string& description) {
    std::getline(words, description);
    if (!description.empty()) description.erase(0, 1);
    if (description.size() > station_layout::maxDescriptionLength)
        return "the description is longer than " + std::to_string(station_layout::maxDescriptionLength) + " characters";
    if (description.find('\0') != std::string::npos) return "the description holds a NUL byte";
    return {};
}

Reason ParseChannel(const std::string& line, ParseState& state) {
    std::istringstream words(line.substr(channelKeyword.size()));
    std::string instrument, bin, flagsWord, flags, descriptionWord;
    words >> instrument >> bin >> flagsWord >> flags >> descriptionWord;
    if (flagsWord != "flags" || descriptionWord != "description")
        return "a channel line reads '# channel INSTRUMENT BIN flags 0xHEX description TEXT'";
    RecordedChannel channel{};
    if (!ParseIndex(instrument, channelLimit, channel.instrument) || !ParseIndex(bin, channelLimit, channel.bin))
        return "the channel's instrument and bin must be numbers 0..15";
    if (!ParseFlags(flags, channel.flags)) return "the flags must be 0x and 1 to 8 hexadecimal digits";
    if (Declared(state.recording, channel.instrument, channel.bin))
        return "channel " + instrument + " " + bin + " is declared twice";
    Reason reason = ReadDescription(words, channel.description);
    if (reason.empty()) state.recording.channels.push_back(std::move(channel));
    return reason;
}

std::vector<std::string> SplitFields(const std::string& line) {
    std::vector<std::string> fields(1);
    for (char c : line) {
        if (c == ',') fields.emplace_back();
        else fields.back() += c;
    }
    return fields;
}

Reason ParseTime(const std::string& text, ParseState& state, double& seconds) {
    if (!ParseNumber(text, std::strtod, seconds) || seconds < 0.0)
        return "time_s must be a finite number of seconds, 0 or more";
    if (seconds < state.lastSeconds) return "time_s goes backwards";
    state.lastSeconds = seconds;
    return {};
}

Reason ParseIndices(const std::vector<std::string>& fields, RecordedRow& row) {
    if (!ParseIndex(fields[1], channelLimit, row.instrument)) return "instrument must be a number 0..15";
    if (!ParseIndex(fields[2], channelLimit, row.bin)) return "bin must be a number 0..15";
    if (!ParseIndex(fields[3], station_layout::stationCount, row.station)) return "station must be a number 0..31";
    return {};
}

Reason ParseRow(const std::string& line, ParseState& state) {
    std::vector<std::string> fields = SplitFields(line);
    if (fields.size() != fieldCount)
        return "a row has " + std::to_string(fieldCount) + " fields, this one " + std::to_string(fields.size());
    RecordedRow row{};
    Reason reason = ParseIndices(fields, row);
    if (!reason.empty()) return reason;
    for (std::size_t i = 0; i < 6; ++i)
        if (!ParseNumber(fields[4 + i], std::strtof, row.record.*recordFields[i]))
            return std::string(fieldNames[4 + i]) + " must be a finite number";
    if (!Declared(state.recording, row.instrument, row.bin))
        return "no '# channel " + fields[1] + " " + fields[2] + " ...' line declares this row's channel";
    reason = ParseTime(fields[0], state, row.seconds);
    if (reason.empty()) state.recording.rows.push_back(row);
    return reason;
}

Reason ParseLine(const std::string& line, ParseState& state) {
    if (line.empty()) return {};
    if (line[0] == '#') return IsChannelDeclaration(line) ? ParseChannel(line, state) : Reason{};
    if (state.headerSeen) return ParseRow(line, state);
    if (line != recordingHeader) return std::string("expected the header line '") + recordingHeader + "'";
    state.headerSeen = true;
    return {};
}

bool Fail(std::string& error, long lineNumber, const Reason& reason) {
    error = "line " + std::to_string(lineNumber) + ": " + reason;
    return false;
}

}  // namespace

bool ParseRecording(std::istream& input, Recording& recording, std::string& error) {
    ParseState state;
    long lineNumber = 0;
    for (std::string line; std::getline(input, line);) {
        ++lineNumber;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        Reason reason = ParseLine(line, state);
        if (!reason.empty()) return Fail(error, lineNumber, reason);
    }
    if (!state.headerSeen)
        return Fail(error, lineNumber + 1, std::string("the file ends before the header line '") + recordingHeader + "'");
    recording = std::move(state.recording);
    return true;
}
