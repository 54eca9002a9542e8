#include "tools/monitor/CsvRecorder.h"

namespace {

const char* const columns = "time_s,instrument,bin,station,x,y,z,azimuth,elevation,roll\n";

// A description is one line of the file whatever it holds.
std::string OneLine(std::string text) {
    for (char& c : text)
        if (c == '\r' || c == '\n') c = ' ';
    return text;
}

}  // namespace

CsvRecorder::~CsvRecorder() { Close(); }

bool CsvRecorder::Open(const std::string& path) {
    file = std::fopen(path.c_str(), "w");
    if (!file) return false;
    failed = std::fputs("# lumivex recording\n", file) < 0;
    return !failed;
}

bool CsvRecorder::Record(const ChannelMonitor& monitor, const std::vector<MonitorEvent>& events, double seconds) {
    if (!file) return false;
    const auto& channels = monitor.Channels();
    for (const MonitorEvent& event : events)
        if (event.station == MonitorEvent::channelChanged) WriteChannel(monitor.Instrument(), channels[event.channel]);
    if (!headerWritten) failed |= std::fputs(columns, file) < 0;
    headerWritten = true;
    for (const MonitorEvent& event : events) {
        const ChannelWatch& channel = channels[event.channel];
        if (event.station >= 0) WriteRow(monitor.Instrument(), channel, channel.stations[event.station], seconds);
    }
    return !failed;
}

bool CsvRecorder::Flush() {
    failed |= !file || std::fflush(file) != 0;
    return !failed;
}

bool CsvRecorder::Close() {
    if (!file) return !failed;
    failed |= std::fclose(file) != 0;
    file = nullptr;
    return !failed;
}

void CsvRecorder::WriteChannel(int instrument, const ChannelWatch& channel) {
    failed |= std::fprintf(file, "# channel %d %d flags 0x%08X description %s\n", instrument, channel.bin,
                           channel.state.flags, OneLine(channel.state.description).c_str()) < 0;
}

void CsvRecorder::WriteRow(int instrument, const ChannelWatch& channel, const StationWatch& station, double seconds) {
    const StationRecord& pose = station.pose;
    failed |= std::fprintf(file, "%.6f,%d,%d,%d,%.9g,%.9g,%.9g,%.9g,%.9g,%.9g\n", seconds, instrument, channel.bin,
                           station.station, pose.x, pose.y, pose.z, pose.azimuth, pose.elevation, pose.roll) < 0;
    ++rows;
}
