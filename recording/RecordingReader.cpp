#include "recording/RecordingReader.h"

#include "recording/RecordingSyntax.h"
#include "text/NumberList.h"
#include "text/ConsoleText.h"

using namespace recording_syntax;

namespace {

const char* const valueNames[] = {"x", "y", "z", "azimuth", "elevation", "roll"};
float StationRecord::*const recordFields[] = {&StationRecord::x,       &StationRecord::y,         &StationRecord::z,
                                              &StationRecord::azimuth, &StationRecord::elevation, &StationRecord::roll};
constexpr long long counterLimit = 1LL << 32;

// Where each value sits in a row of either version; -1: not in that version.
struct Columns {
    std::size_t count;
    int time, instrument, bin, writeCount, stamp, station, values;
};
const Columns columnsOf[] = {{fieldCountVersion1, 0, 1, 2, -1, -1, 3, 4}, {fieldCount, 0, 1, 2, 3, 4, 5, 6}};

const Columns& ColumnsOf(int version) { return columnsOf[version == 1 ? 0 : 1]; }

// Version 2 starts with its version line; anything else is read as version 1,
// whose header is channel lines and comments up to its column line.
Reason ReadVersion(std::string_view line, int& version) {
    const std::string prefix = std::string(versionPrefix) + " ";
    version = line == versionLine ? 2 : 1;
    if (version == 1 && line.substr(0, prefix.size()) == prefix && line.substr(prefix.size()) != "1")
        return "this program reads recordings of versions 1 and 2, not '" + std::string(line) + "'";
    return {};
}

using MetadataRule = Reason (*)(std::string_view value, RecordingInfo& info);

Reason ReadList(std::string_view value, int highest, uint32_t& mask) {
    return ParseNumberList(std::string(value), highest, mask) ? Reason() : "expected a list such as 0-3,8";
}

const struct {
    const char* key;
    MetadataRule read;
} metadataRules[] = {
    {"start",
     [](std::string_view value, RecordingInfo& info) {
         info.start = UnescapeText(value);
         return Reason();
     }},
    {"host",
     [](std::string_view value, RecordingInfo& info) {
         info.host = UnescapeText(value);
         return Reason();
     }},
    {"prefix",
     [](std::string_view value, RecordingInfo& info) {
         info.prefix = UnescapeText(value);
         return Reason();
     }},
    {"program",
     [](std::string_view value, RecordingInfo& info) {
         info.program = UnescapeText(value);
         return Reason();
     }},
    {"instrument",
     [](std::string_view value, RecordingInfo& info) {
         long long instrument = 0;
         if (!ParseIndex(value, channelLimit, instrument)) return Reason("expected a number 0..15");
         info.instrument = static_cast<int>(instrument);
         return Reason();
     }},
    {"bins", [](std::string_view value, RecordingInfo& info) { return ReadList(value, channelLimit - 1, info.bins); }},
    {"stations", [](std::string_view value,
                    RecordingInfo& info) { return ReadList(value, station_layout::stationCount - 1, info.stations); }},
};

// The version line or the column line of either version, behind the header:
// two recordings joined into one file (two gzip members read as one).
bool StartsRecording(std::string_view line) {
    return line.substr(0, std::string_view(versionPrefix).size()) == versionPrefix || line == columnLine ||
           line == columnLineVersion1;
}

}  // namespace

// Messages quote the file's own text (and its name, which may come from a
// listing): both reach a terminal escaped.
bool RecordingReader::Fail(long line, const std::string& reason) {
    error = ConsoleText(name + ":" + std::to_string(line) + ": " + reason);
    ended = true;
    return false;
}

bool RecordingReader::Cut(long line) {
    cutWarning = name + ":" + std::to_string(line) +
                 ": the file is cut short; it is read up to its last whole write, before this line";
    ended = true;
    return false;
}

bool RecordingReader::Open(const std::string& path) {
    name = path == "-" ? "standard input" : ConsoleText(path);
    if (source.Open(path)) return ReadHeader();
    error = ConsoleText(name + ": " + source.Error());
    ended = true;
    return false;
}

bool RecordingReader::ReadHeader() {
    std::string_view line;
    const char* columns = columnLineVersion1;
    for (bool first = true; source.Next(line); first = false) {
        Reason reason = first ? ReadVersion(line, info.version) : Reason();
        if (!reason.empty()) return Fail(1, reason);
        columns = info.version == 2 ? columnLine : columnLineVersion1;
        if (line == columns)
            return info.version == 1 || info.stations != 0 ||
                   Fail(source.LineNumber(), "no '# stations LIST' line names the stations");
        if (!ReadMetadata(line)) return false;
    }
    if (!source.Error().empty()) return Fail(source.LineNumber() + 1, source.Error());
    return Fail(source.LineNumber() + 1, std::string("the file ends before the column line '") + columns + "'");
}

bool RecordingReader::DeclareChannel(std::string_view line) {
    RecordedChannel channel;
    Reason reason = ParseChannelLine(line, channel);
    if (!reason.empty()) return Fail(source.LineNumber(), reason);
    ChannelSlot& slot = Slot(channel.instrument, channel.bin);
    slot.declared = slot.changed = true;
    slot.channel = std::move(channel);
    return true;
}

bool RecordingReader::RemoveChannel(std::string_view line, bool afterWrite) {
    int instrument = 0, bin = 0;
    Reason reason = ParseChannelGoneLine(line, instrument, bin);
    if (reason.empty() && !Slot(instrument, bin).declared) reason = "no '# channel' line declares the removed channel";
    if (!reason.empty()) return Fail(source.LineNumber(), reason);
    (afterWrite ? removedAfter : removedBefore).push_back(instrument * channelLimit + bin);
    return true;
}

bool RecordingReader::NoteDeath(std::string_view line) {
    int instrument = 0, bin = 0;
    Reason reason = ParseDiedLine(line, instrument, bin);
    if (!reason.empty()) return Fail(source.LineNumber(), reason);
    deaths.push_back({ChannelId{instrument, bin}.Key(), source.LineNumber()});
    return true;
}

bool RecordingReader::NoteStampsBack(std::string_view line) {
    int instrument = 0, bin = 0;
    Reason reason = ParseStampsBackLine(line, instrument, bin);
    if (!reason.empty()) return Fail(source.LineNumber(), reason);
    Slot(instrument, bin).stampsBack = true;
    return true;
}

// A channel line, a metadata line ("# KEY VALUE"), a comment or an empty line.
bool RecordingReader::ReadMetadata(std::string_view line) {
    if (line.empty()) return true;
    if (line[0] != '#')
        return Fail(source.LineNumber(), std::string("expected the column line '") +
                                             (info.version == 2 ? columnLine : columnLineVersion1) + "'");
    if (IsChannelLine(line)) return DeclareChannel(line);
    std::string_view rest = line.substr(std::min<std::size_t>(2, line.size()));
    std::size_t space = std::min(rest.find(' '), rest.size());
    std::string_view key = rest.substr(0, space), value = rest.substr(std::min(space + 1, rest.size()));
    for (const auto& rule : metadataRules) {
        if (key != rule.key) continue;
        Reason reason = rule.read(value, info);
        return reason.empty() || Fail(source.LineNumber(), "'# " + std::string(key) + "': " + reason);
    }
    return true;
}

bool RecordingReader::ParseRowFields(const std::string_view* fields, Row& row) {
    const Columns& at = ColumnsOf(info.version);
    long long instrument = 0, bin = 0, station = 0, writeCount = 0, stamp = 0;
    if (!ParseIndex(fields[at.instrument], channelLimit, instrument))
        return Fail(row.line, "instrument must be a number 0..15");
    if (!ParseIndex(fields[at.bin], channelLimit, bin)) return Fail(row.line, "bin must be a number 0..15");
    if (at.writeCount >= 0 && !ParseIndex(fields[at.writeCount], counterLimit, writeCount))
        return Fail(row.line, "write must be a number 0..4294967295");
    if (at.stamp >= 0 && !ParseIndex(fields[at.stamp], counterLimit, stamp))
        return Fail(row.line, "stamp_us must be a number 0..4294967295");
    if (!ParseIndex(fields[at.station], station_layout::stationCount, station))
        return Fail(row.line, "station must be a number 0..31");
    for (std::size_t i = 0; i < 6; ++i)
        if (!ParseFloat(fields[at.values + i], row.station.record.*recordFields[i]))
            return Fail(row.line, std::string(valueNames[i]) + " must be a number (nan, inf and -inf included)");
    if (!ParseSeconds(fields[at.time], row.seconds))
        return Fail(row.line, "time_s must be a number of seconds from 0 to 1e9");
    row.instrument = static_cast<int>(instrument);
    row.bin = static_cast<int>(bin);
    row.writeCount = static_cast<uint32_t>(writeCount);
    row.stampMicros = static_cast<uint32_t>(stamp);
    row.station.station = static_cast<int>(station);
    return true;
}

// Version 1 times never go back; version 2 times never go back within a
// channel (channels are read one after another, so across them they may).
bool RecordingReader::CheckRow(const std::string_view* fields, Row& row) {
    ChannelSlot& slot = Slot(row.instrument, row.bin);
    if (!slot.declared)
        return Fail(row.line, "no '# channel " + std::string(fields[1]) + " " + std::string(fields[2]) +
                                  " ...' line declares this row's channel");
    if (info.version == 2 && !(info.stations >> row.station.station & 1u))
        return Fail(row.line, "station " + std::to_string(row.station.station) + " is not among '# stations " +
                                  DescribeNumberList(info.stations) + "'");
    double& last = info.version == 1 ? lastSeconds : slot.lastSeconds;
    if (row.seconds < last) return Fail(row.line, "time_s goes backwards");
    last = row.seconds;
    return true;
}

bool RecordingReader::ParseRow(std::string_view line, Row& row) {
    std::string_view fields[fieldCount];
    const std::size_t expected = ColumnsOf(info.version).count;
    std::size_t count = SplitFields(line, fields, expected);
    row.line = source.LineNumber();
    if (count != expected)
        return Fail(row.line, "a row has " + std::to_string(expected) + " fields, this one " +
                                  (count > expected ? "more" : std::to_string(count)));
    return ParseRowFields(fields, row) && CheckRow(fields, row);
}

bool RecordingReader::SameWrite(const Row& row) const {
    return info.version == 2 && row.seconds == current.seconds && row.instrument == current.instrument &&
           row.bin == current.bin && row.writeCount == current.writeCount && row.stampMicros == current.stampMicros;
}

void RecordingReader::StartWrite(const Row& row, RecordedWrite& write) {
    current = row;
    ChannelSlot& slot = Slot(row.instrument, row.bin);
    write.seconds = row.seconds;
    write.writeCount = row.writeCount;
    write.stampMicros = row.stampMicros;
    write.channel = slot.channel;
    write.channelChanged = slot.changed;
    write.stampsBack = slot.stampsBack;
    slot.changed = slot.stampsBack = false;
    write.stations.assign(1, row.station);
    currentStations = 1u << row.station.station;
}

bool RecordingReader::AddStation(const Row& row, RecordedWrite& write) {
    uint32_t bit = 1u << row.station.station;
    if (currentStations & bit)
        return Fail(row.line, "station " + std::to_string(row.station.station) + " appears twice in one write");
    currentStations |= bit;
    write.stations.push_back(row.station);
    return true;
}

bool RecordingReader::WholeWrite() const { return info.version == 1 || currentStations == info.stations; }

// The end of the text: the write being read is whole or the file was cut.
bool RecordingReader::FinishAtEnd(bool open) {
    ended = true;
    if (!source.Error().empty()) return Fail(source.LineNumber() + 1, source.Error());
    if (open && !WholeWrite()) return Cut(current.line);
    if (source.Truncated()) Cut(source.LineNumber() + 1);
    return open;
}

// A line the text ends inside: the write being read ends before it when it
// is whole already, else the write is cut too.
bool RecordingReader::FinishInsideLine(bool open) {
    bool whole = open && WholeWrite();
    Cut(whole ? source.LineNumber() : open ? current.line : source.LineNumber());
    return whole;
}

bool RecordingReader::Next(RecordedWrite& write) {
    removedBefore.clear();
    removedAfter.clear();
    deaths.clear();
    if (ended) return false;
    bool open = havePending;
    if (havePending) StartWrite(pending, write);
    havePending = false;
    for (std::string_view line;;) {
        // A whole write is handed out rather than wait for the line after it,
        // so that a replay from a pipe plays each write as it comes.
        if (open && info.version == 2 && WholeWrite() && !source.LineReady()) return true;
        if (!source.Next(line)) return FinishAtEnd(open);
        if (source.LastLineUnfinished()) return FinishInsideLine(open);
        if (StartsRecording(line))
            return Fail(source.LineNumber(), "a second recording starts here; split the file before this line");
        if (IsDiedLine(line) && !NoteDeath(line)) return false;
        if (IsStampsBackLine(line) && !NoteStampsBack(line)) return false;
        if (line.empty() || (line[0] == '#' && !IsChannelLine(line))) continue;
        if (line[0] == '#') {
            if (!(IsChannelGoneLine(line) ? RemoveChannel(line, open) : DeclareChannel(line))) return false;
            continue;
        }
        Row row{};
        if (!ParseRow(line, row)) return false;
        if (!open) {
            StartWrite(row, write);
            open = true;
            if (info.version == 1) return true;  // a row is a write
        } else if (SameWrite(row)) {
            if (!AddStation(row, write)) return false;
        } else {
            pending = row;
            havePending = true;
            return WholeWrite() ||
                   Fail(current.line, "this write lacks some of the stations " + DescribeNumberList(info.stations));
        }
    }
}
