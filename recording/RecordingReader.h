#pragma once

#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "channel/ChannelId.h"
#include "recording/LineSource.h"
#include "recording/RecordedData.h"

// Reads a recording (either version; plain, gzip or standard input) one
// server write at a time, so a long recording takes no more memory than a
// short one. Prints nothing: the caller reports Error() and CutWarning().
//
//   RecordingReader reader;
//   if (!reader.Open(path)) fail(reader.Error());
//   for (RecordedWrite write; reader.Next(write);) use(write);
//   if (!reader.Error().empty()) fail(reader.Error());
//   if (!reader.CutWarning().empty()) warn(reader.CutWarning());
class RecordingReader {
public:
    // "-" reads standard input. Reads the version line and the metadata; false
    // when the file cannot be opened or they are malformed.
    bool Open(const std::string& path);
    const RecordingInfo& Info() const { return info; }

    // The next whole write, into `write` (whose memory is reused). False at
    // the end, at a file cut short, or at a malformed line.
    bool Next(RecordedWrite& write);

    // Empty, or "NAME:LINE: what is wrong" ("NAME: why" when it cannot be
    // read), escaped for a terminal as text/ConsoleText does, like the
    // warning and the name.
    const std::string& Error() const { return error; }
    // Empty, or "NAME:LINE: ..." naming where a file cut short stops being read.
    const std::string& CutWarning() const { return cutWarning; }
    // Channels (ChannelId::Key) the server removed just before and
    // just after the write Next gave last.
    const std::vector<int>& RemovedBefore() const { return removedBefore; }
    const std::vector<int>& RemovedAfter() const { return removedAfter; }
    // Where the file says that a channel's server died holding its mutex,
    // read since the write before the one Next gave last: the channel
    // (ChannelId::Key) and the line.
    struct Death {
        int channel;
        long line;
    };
    const std::vector<Death>& Deaths() const { return deaths; }
    // The line of the first row of the write Next gave last.
    long WriteLine() const { return current.line; }
    // The file's name as messages give it ("standard input" for "-"), escaped.
    const std::string& Name() const { return name; }

private:
    struct Row {
        double seconds;
        int instrument, bin;
        uint32_t writeCount, stampMicros;
        RecordedStation station;
        long line;
    };
    struct ChannelSlot {
        bool declared = false;
        bool changed = false;
        bool stampsBack = false;  // a "# stamps back" line waits for the channel's next write
        double lastSeconds = 0.0;
        RecordedChannel channel;
    };

    bool ReadHeader();
    bool ReadMetadata(std::string_view line);
    bool Fail(long line, const std::string& reason);
    bool Cut(long line);
    bool DeclareChannel(std::string_view line);
    bool RemoveChannel(std::string_view line, bool afterWrite);
    bool NoteDeath(std::string_view line);
    bool NoteStampsBack(std::string_view line);
    bool ParseRow(std::string_view line, Row& row);
    bool ParseRowFields(const std::string_view* fields, Row& row);
    bool CheckRow(const std::string_view* fields, Row& row);
    bool SameWrite(const Row& row) const;
    void StartWrite(const Row& row, RecordedWrite& write);
    bool AddStation(const Row& row, RecordedWrite& write);
    bool WholeWrite() const;
    bool FinishAtEnd(bool open);
    bool FinishInsideLine(bool open);
    ChannelSlot& Slot(int instrument, int bin) { return channels[ChannelId{instrument, bin}.Key()]; }

    LineSource source;
    RecordingInfo info;
    std::string name;
    std::string error;
    std::string cutWarning;
    std::array<ChannelSlot, ChannelId::keys> channels;
    double lastSeconds = 0.0;  // version 1: times never go back in the whole file
    bool havePending = false;  // `pending` begins the next write
    Row pending{};
    Row current{};  // the first row of the write being read
    uint32_t currentStations = 0;
    std::vector<int> removedBefore;
    std::vector<int> removedAfter;
    std::vector<Death> deaths;
    bool ended = false;
};
