#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "tools/monitor/ChannelMonitor.h"

// Records every change of the selected stations as CSV, one row per change:
//   # lumivex recording
//   # channel <instrument> <bin> flags 0x<8 hex digits> description <text>
//   time_s,instrument,bin,station,x,y,z,azimuth,elevation,roll
// Times are seconds since the recording started (monotonic clock), positions
// in the channel's unit, angles in radians as published, each float printed
// so that it reads back exactly. A channel's comment line comes before its
// first row, and again when its flags or description change.
class CsvRecorder {
public:
    CsvRecorder() = default;
    CsvRecorder(const CsvRecorder&) = delete;
    CsvRecorder& operator=(const CsvRecorder&) = delete;
    ~CsvRecorder();

    bool Open(const std::string& path);
    // Writes what one poll found; the column header goes behind the channel
    // lines of the first poll.
    bool Record(const ChannelMonitor& monitor, const std::vector<MonitorEvent>& events, double seconds);
    // Hands what is written so far to the system, so that it is in the file
    // however the process ends.
    bool Flush();
    // True when every row reached the file.
    bool Close();

    long Rows() const { return rows; }

private:
    void WriteChannel(int instrument, const ChannelWatch& channel);
    void WriteRow(int instrument, const ChannelWatch& channel, const StationWatch& station, double seconds);

    std::FILE* file = nullptr;
    bool headerWritten = false;
    bool failed = false;
    long rows = 0;
};
