#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "channel/ChannelId.h"
#include "recording/RecordedData.h"

// The text of a recording, line by line:
//
//   # lumivex recording 2
//   # start 2026-12-08T01:12:14.123Z
//   # host lab-pc
//   # prefix lvx_
//   # instrument 0
//   # bins 0-1
//   # stations 0-3
//   # program lumivex-monitor 0.3.0
//   # units x y z in the channel's unit (...); azimuth elevation roll in radians
//   # rotation station to world R = Rz(azimuth) Ry(elevation) Rx(roll) = [...]
//   time_s,instrument,bin,write,stamp_us,station,x,y,z,azimuth,elevation,roll
//   # channel 0 0 flags 0x0000021F description Simulated tracker
//   0.000000,0,0,41,3105468212,0,1.5,0.25,1.8,0.5,0,-0.125
//   0.000000,0,0,41,3105468212,1,nan,inf,-inf,0,0,0
//
// The metadata block ("# KEY VALUE") runs from the version line to the column
// line; "stations" must be there, unknown keys are skipped. Behind it:
// - "# channel I B flags 0xHEX description TEXT" sets a channel's flags word
//   and description from its next write on. It comes before the channel's
//   first row and again whenever they change (a restarted server).
// - "# channel I B gone" says the server removed the channel there.
// - "# died I B" says the channel's server died there holding its mutex.
// - "# stamps back I B" says the channel's next write carried a time stamp
//   earlier than its write before: its time is the recorder's own.
// - A write of the server is a run of rows with the same time, instrument,
//   bin, write counter and time stamp; it holds each station of "# stations"
//   once. Replay writes it as one write.
// - time_s counts seconds from the first write, at most 1e9, and never goes
//   back within a channel. The write counter may (a restarted server).
// - Positions are in the channel's unit, angles in radians, each float as it
//   reads back exactly; nan, -nan, inf and -inf stand for themselves.
// Text values (the metadata's and the descriptions) are stored escaped: each
// byte that text/ConsoleText escapes, and each backslash, is written as
// \xHH, so the file holds no control character or bidirectional control and
// every value reads back exactly. A reader turns every \xHH (either case)
// into its byte and keeps any other backslash as it is; so a file written
// before values were escaped reads the same, unless one of its values holds a
// backslash, x and two hexadecimal digits.
// Other lines starting with '#' are comments; empty lines, a CR before the
// line feed and a UTF-8 byte-order mark before the first line are ignored. A
// line holds at most 65536 bytes. A version or column line behind the header
// starts a second recording, which is refused. A file cut short (its last line without a line
// feed, its last write without all its stations) reads up to its last whole
// write.
//
// Version 1 (read only; the first line is not the version line): channel
// lines, the column line "time_s,instrument,bin,station,x,y,z,azimuth,
// elevation,roll", and rows each of which is a write of one station.
namespace recording_syntax {

extern const char* const versionLine;    // "# lumivex recording 2"
extern const char* const versionPrefix;  // "# lumivex recording"
extern const char* const columnLine;     // of version 2
extern const char* const columnLineVersion1;
extern const char* const unitsLine;     // "# units ...", written, not read
extern const char* const rotationLine;  // "# rotation ...", written, not read
constexpr std::size_t fieldCount = 12;
constexpr std::size_t fieldCountVersion1 = 10;
constexpr int channelLimit = ChannelId::count;  // instruments and bins

// What is wrong with a line; empty when nothing is.
using Reason = std::string;

// A text value as the file stores it, and back.
std::string EscapeText(const std::string& text);
std::string UnescapeText(std::string_view text);

bool IsChannelLine(std::string_view line);
// "# channel I B gone": the server removed the channel; its next write, if
// any, creates it again.
bool IsChannelGoneLine(std::string_view line);
Reason ParseChannelGoneLine(std::string_view line, int& instrument, int& bin);
std::string FormatChannelGoneLine(int instrument, int bin);
// "# died I B": the channel's server died there holding its mutex; a write it
// left half done is not in the file. Not a channel line, so that readers
// older than it skip it as a comment.
bool IsDiedLine(std::string_view line);
Reason ParseDiedLine(std::string_view line, int& instrument, int& bin);
std::string FormatDiedLine(int instrument, int bin);
// "# stamps back I B": the channel's next write was stamped before its write
// before (the server's clock stepped back); the recorder timed it by its own
// clock, and the channel's times go on from there. A comment to older readers.
bool IsStampsBackLine(std::string_view line);
Reason ParseStampsBackLine(std::string_view line, int& instrument, int& bin);
std::string FormatStampsBackLine(int instrument, int bin);
// "# channel I B flags 0xHEX description TEXT"
Reason ParseChannelLine(std::string_view line, RecordedChannel& channel);
std::string FormatChannelLine(const RecordedChannel& channel);

// Plain decimal digits, no sign or space, below `limit`.
bool ParseIndex(std::string_view text, long long limit, long long& value);
// A float as the writer prints it, including nan, -nan, inf and -inf.
bool ParseFloat(std::string_view text, float& value);
// Seconds from 0 up to `longestSeconds`.
bool ParseSeconds(std::string_view text, double& seconds);
// The longest time a recording may reach, some 31 years: a replay never
// waits for a time beyond anyone's patience, and a row stays short.
constexpr double longestSeconds = 1e9;
// Splits at commas into at most `capacity` fields; the number of fields, or
// capacity + 1 when there are more.
std::size_t SplitFields(std::string_view line, std::string_view* fields, std::size_t capacity);
// Writes the shortest text that reads back as exactly `value` at `out`
// (room for 16 characters needed); returns the end of it.
char* FormatFloat(char* out, float value);

}  // namespace recording_syntax
