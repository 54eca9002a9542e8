#include "recording/RecordingSyntax.h"

#include <charconv>
#include <cctype>
#include <cmath>
#include <cstdio>

#include "text/ConsoleText.h"

namespace recording_syntax {

const char* const versionLine = "# lumivex recording 2";
const char* const versionPrefix = "# lumivex recording";
const char* const columnLine = "time_s,instrument,bin,write,stamp_us,station,x,y,z,azimuth,elevation,roll";
const char* const columnLineVersion1 = "time_s,instrument,bin,station,x,y,z,azimuth,elevation,roll";
// What the numbers of a row mean, for whoever reads the file without us.
const char* const unitsLine =
    "# units x y z in the channel's unit (flags bits 8-11: 0 inches, 1 centimetres, 2 metres); "
    "azimuth elevation roll in radians";
const char* const rotationLine =
    "# rotation station to world R = Rz(azimuth) Ry(elevation) Rx(roll) = "
    "[ca*ce ca*se*sr-sa*cr ca*se*cr+sa*sr; sa*ce sa*se*sr+ca*cr sa*se*cr-ca*sr; -se ce*sr ce*cr] "
    "(c cos, s sin; a azimuth, e elevation, r roll)";

namespace {

constexpr std::string_view channelKeyword = "# channel";
constexpr std::string_view diedKeyword = "# died ";
constexpr std::string_view stampsBackKeyword = "# stamps back ";

// The next space-separated word of `text`, taken off its front.
std::string_view TakeWord(std::string_view& text) {
    std::size_t start = text.find_first_not_of(' ');
    if (start == std::string_view::npos) start = text.size();
    text.remove_prefix(start);
    std::size_t stop = std::min(text.find(' '), text.size());
    std::string_view word = text.substr(0, stop);
    text.remove_prefix(stop);
    return word;
}

bool ParseFlags(std::string_view text, uint32_t& flags) {
    if (text.size() < 3 || text.size() > 10 || text[0] != '0' || (text[1] != 'x' && text[1] != 'X')) return false;
    const char* last = text.data() + text.size();
    return std::from_chars(text.data() + 2, last, flags, 16).ptr == last;
}

// "description TEXT": TEXT is everything after the one space behind the keyword.
Reason ParseDescription(std::string_view rest, std::string& description) {
    if (!rest.empty()) rest.remove_prefix(1);
    std::string text = UnescapeText(rest);
    if (text.size() > station_layout::maxDescriptionLength)
        return "the description is longer than " + std::to_string(station_layout::maxDescriptionLength) + " characters";
    if (text.find('\0') != std::string::npos) return "the description holds a NUL byte";
    description = std::move(text);
    return {};
}

bool IsHexDigit(char c) { return std::isxdigit(static_cast<unsigned char>(c)) != 0; }

// The byte of "xHH" at the front of `text`, or -1.
int EscapedByte(std::string_view text) {
    int value = -1;
    if (text.size() < 3 || text[0] != 'x' || !IsHexDigit(text[1]) || !IsHexDigit(text[2])) return -1;
    std::from_chars(text.data() + 1, text.data() + 3, value, 16);
    return value;
}

}  // namespace

// A backslash is ASCII, so cutting the text at one never splits a UTF-8
// sequence: each piece is escaped as the console would show it.
std::string EscapeText(const std::string& text) {
    std::string escaped;
    for (std::size_t start = 0;;) {
        std::size_t backslash = text.find('\\', start);
        escaped += ConsoleText(text.substr(start, backslash == std::string::npos ? backslash : backslash - start));
        if (backslash == std::string::npos) return escaped;
        escaped += "\\x5c";
        start = backslash + 1;
    }
}

std::string UnescapeText(std::string_view text) {
    std::string plain;
    plain.reserve(text.size());
    for (std::size_t at = 0; at < text.size(); ++at) {
        int byte = text[at] == '\\' ? EscapedByte(text.substr(at + 1)) : -1;
        plain += byte < 0 ? text[at] : static_cast<char>(byte);
        if (byte >= 0) at += 3;
    }
    return plain;
}

bool IsChannelLine(std::string_view line) {
    return line.substr(0, channelKeyword.size()) == channelKeyword &&
           (line.size() == channelKeyword.size() || line[channelKeyword.size()] == ' ');
}

Reason ParseChannelLine(std::string_view line, RecordedChannel& channel) {
    std::string_view rest = line.substr(channelKeyword.size());
    std::string_view instrument = TakeWord(rest), bin = TakeWord(rest), flagsWord = TakeWord(rest),
                     flags = TakeWord(rest), descriptionWord = TakeWord(rest);
    if (flagsWord != "flags" || descriptionWord != "description")
        return "a channel line reads '# channel INSTRUMENT BIN flags 0xHEX description TEXT'";
    long long instrumentNumber = 0, binNumber = 0;
    if (!ParseIndex(instrument, channelLimit, instrumentNumber) || !ParseIndex(bin, channelLimit, binNumber))
        return "the channel's instrument and bin must be numbers 0..15";
    if (!ParseFlags(flags, channel.flags)) return "the flags must be 0x and 1 to 8 hexadecimal digits";
    channel.instrument = static_cast<int>(instrumentNumber);
    channel.bin = static_cast<int>(binNumber);
    return ParseDescription(rest, channel.description);
}

bool IsChannelGoneLine(std::string_view line) {
    if (!IsChannelLine(line)) return false;
    std::string_view rest = line.substr(channelKeyword.size());
    TakeWord(rest), TakeWord(rest);
    return TakeWord(rest) == "gone";
}

Reason ParseChannelGoneLine(std::string_view line, int& instrument, int& bin) {
    std::string_view rest = line.substr(channelKeyword.size());
    std::string_view instrumentText = TakeWord(rest), binText = TakeWord(rest);
    TakeWord(rest);
    long long instrumentNumber = 0, binNumber = 0;
    if (!ParseIndex(instrumentText, channelLimit, instrumentNumber) || !ParseIndex(binText, channelLimit, binNumber) ||
        !TakeWord(rest).empty())
        return "a removed channel reads '# channel INSTRUMENT BIN gone', each number 0..15";
    instrument = static_cast<int>(instrumentNumber);
    bin = static_cast<int>(binNumber);
    return {};
}

namespace {

// "KEYWORD I B" and nothing behind.
Reason ParseChannelEvent(std::string_view line, std::string_view keyword, int& instrument, int& bin) {
    std::string_view rest = line.substr(keyword.size());
    std::string_view instrumentText = TakeWord(rest), binText = TakeWord(rest);
    long long instrumentNumber = 0, binNumber = 0;
    if (!ParseIndex(instrumentText, channelLimit, instrumentNumber) || !ParseIndex(binText, channelLimit, binNumber) ||
        !TakeWord(rest).empty())
        return "the line reads '" + std::string(keyword) + "INSTRUMENT BIN', each number 0..15";
    instrument = static_cast<int>(instrumentNumber);
    bin = static_cast<int>(binNumber);
    return {};
}

}  // namespace

bool IsDiedLine(std::string_view line) { return line.substr(0, diedKeyword.size()) == diedKeyword; }

Reason ParseDiedLine(std::string_view line, int& instrument, int& bin) {
    return ParseChannelEvent(line, diedKeyword, instrument, bin);
}

bool IsStampsBackLine(std::string_view line) { return line.substr(0, stampsBackKeyword.size()) == stampsBackKeyword; }

Reason ParseStampsBackLine(std::string_view line, int& instrument, int& bin) {
    return ParseChannelEvent(line, stampsBackKeyword, instrument, bin);
}

std::string FormatStampsBackLine(int instrument, int bin) {
    return std::string(stampsBackKeyword) + std::to_string(instrument) + " " + std::to_string(bin);
}

std::string FormatDiedLine(int instrument, int bin) {
    return std::string(diedKeyword) + std::to_string(instrument) + " " + std::to_string(bin);
}

std::string FormatChannelGoneLine(int instrument, int bin) {
    return "# channel " + std::to_string(instrument) + " " + std::to_string(bin) + " gone";
}

std::string FormatChannelLine(const RecordedChannel& channel) {
    char head[64];
    std::snprintf(head, sizeof head, "# channel %d %d flags 0x%08X description ", channel.instrument, channel.bin,
                  channel.flags);
    return head + EscapeText(channel.description);
}

bool ParseIndex(std::string_view text, long long limit, long long& value) {
    if (text.empty() || text.size() > 10 || text[0] == '-' || text[0] == '+') return false;
    const char* last = text.data() + text.size();
    auto [end, failure] = std::from_chars(text.data(), last, value);
    return end == last && failure == std::errc() && value < limit;
}

bool ParseFloat(std::string_view text, float& value) {
    const char* last = text.data() + text.size();
    auto [end, failure] = std::from_chars(text.data(), last, value);
    return end == last && failure == std::errc() && !text.empty();
}

bool ParseSeconds(std::string_view text, double& seconds) {
    const char* last = text.data() + text.size();
    auto [end, failure] = std::from_chars(text.data(), last, seconds);
    return end == last && failure == std::errc() && !text.empty() && seconds >= 0.0 && seconds <= longestSeconds;
}

std::size_t SplitFields(std::string_view line, std::string_view* fields, std::size_t capacity) {
    std::size_t count = 0;
    for (std::size_t start = 0;; ++count) {
        std::size_t comma = line.find(',', start);
        if (count == capacity) return capacity + 1;
        fields[count] = line.substr(start, comma == std::string_view::npos ? std::string_view::npos : comma - start);
        if (comma == std::string_view::npos) return count + 1;
        start = comma + 1;
    }
}

char* FormatFloat(char* out, float value) { return std::to_chars(out, out + 16, value).ptr; }

}  // namespace recording_syntax
