#pragma once

#include <string>
#include <vector>

#include "recording/RecordingWriter.h"
#include "channel/ChannelMonitor.h"

// Records what the server wrote, as the monitor's polls find it: each new
// write of a selected channel (its write counter or time stamp moved, or, for
// a server that keeps neither, something selected changed) becomes one write
// of the recording with all selected stations, at the server's own time.
// Times count from the first recorded write. A stamp earlier than the
// channel's write before (a server whose clock stepped back) takes the time
// of the poll instead and shifts the channel's later stamps by as much, with
// a "# stamps back I B" line, so that times go on by the time that passed. A
// recorded channel that its server removes gets one "# channel I B gone" line
// when the monitor sees it go, behind the writes found in the same poll.
class WriteRecorder {
public:
    // The metadata says what `monitor` watches; `program` is "NAME VERSION";
    // `descriptor`, when given, is `path` opened already.
    bool Open(const std::string& path, const ChannelMonitor& monitor, uint32_t stations, const std::string& program,
              int descriptor = -1);
    // After each poll at `now`.
    bool Record(const ChannelMonitor& monitor, MonitorClock::time_point now);
    bool Flush() { return writer.Flush(); }
    bool Close() { return writer.Close(); }
    std::string FailureReason() const { return writer.FailureReason(); }

    long Writes() const { return writer.Writes(); }

private:
    struct Last {
        bool recorded = false;
        ChannelState state;
        double seconds = 0.0;
        bool goneWritten = false;    // the channel's removal is in the file
        uint32_t deathsWritten = 0;  // of ChannelWatch::writerDeaths
        double shift = 0.0;          // seconds added to the stamps, since they stepped back
    };

    static bool SameStamp(const RecordedWrite& write, const Last& before);
    bool NewWrite(const ChannelWatch& channel, const Last& last) const;
    void Collect(int instrument, const ChannelWatch& channel, MonitorClock::time_point now, std::size_t index);
    bool PlaceInTime(RecordedWrite& write, Last& before, double polled);
    bool WriteFound(const ChannelMonitor& monitor, MonitorClock::time_point now);
    bool WriteRemovals(const ChannelMonitor& monitor);
    bool WriteDeaths(const ChannelMonitor& monitor);

    RecordingWriter writer;
    std::vector<Last> last;               // by the monitor's channel index
    std::vector<RecordedWrite> found;     // the new writes of one poll
    std::vector<std::size_t> foundIndex;  // their channels
    bool started = false;
    double zero = 0.0;  // seconds on the monotonic clock
};
