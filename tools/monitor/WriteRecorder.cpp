#include "tools/monitor/WriteRecorder.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <ctime>
#include <numeric>

#include "platform/SharedMemory.h"
#include "platform/Host.h"

namespace {

// The wall-clock time now, ISO 8601 in UTC to the millisecond.
std::string UtcNow() {
    auto now = std::chrono::system_clock::now();
    std::time_t seconds = std::chrono::system_clock::to_time_t(now);
    auto millis = std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000;
    std::tm utc{};
    gmtime_r(&seconds, &utc);
    char text[40];
    std::size_t length = std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &utc);
    std::snprintf(text + length, sizeof text - length, ".%03dZ", static_cast<int>(millis));
    return text;
}

double SteadySeconds(MonitorClock::time_point time) {
    return std::chrono::duration<double>(time.time_since_epoch()).count();
}

bool SameRecords(const ChannelWatch& channel, const ChannelState& before) {
    for (const StationWatch& station : channel.stations)
        if (std::memcmp(&channel.state.records[station.station], &before.records[station.station],
                        sizeof(StationRecord)))
            return false;
    return true;
}

// The file's resolution of time.
constexpr double minimumStep = 1e-6;

bool HeaderChanged(const ChannelState& now, const ChannelState& before) {
    return now.flags != before.flags || now.description != before.description;
}

}  // namespace

bool WriteRecorder::SameStamp(const RecordedWrite& write, const Last& before) {
    return before.recorded && write.writeCount == before.state.writeCount &&
           write.stampMicros == before.state.timestampMicros;
}

bool WriteRecorder::Open(const std::string& path, const ChannelMonitor& monitor, uint32_t stations,
                         const std::string& program, int descriptor) {
    RecordingInfo info;
    info.start = UtcNow();
    info.host = platform::HostName();
    info.prefix = platform::SharedObjectName("");
    info.instrument = monitor.Instrument();
    for (const ChannelWatch& channel : monitor.Channels()) info.bins |= 1u << channel.bin;
    info.stations = stations;
    info.program = program;
    last.assign(monitor.Channels().size(), Last{});
    return writer.Open(path, info, descriptor);
}

// A server that counts its writes made none while its counter and stamp stay:
// a change then is no write of it (what a writer that died mid-write left),
// and a recording never holds one counter twice.
bool WriteRecorder::NewWrite(const ChannelWatch& channel, const Last& before) const {
    const ChannelState& now = channel.state;
    if (!before.recorded || now.writeCount != before.state.writeCount ||
        now.timestampMicros != before.state.timestampMicros)
        return true;
    if (now.writeCount != 0) return false;
    return HeaderChanged(now, before.state) || !SameRecords(channel, before.state);
}

// The write's time is the server's, on the monotonic clock, until WriteFound
// makes it relative.
void WriteRecorder::Collect(int instrument, const ChannelWatch& channel, MonitorClock::time_point now,
                            std::size_t index) {
    RecordedWrite write;
    write.seconds = SteadySeconds(ServerWriteTime(now, channel.state.timestampMicros));
    write.writeCount = channel.state.writeCount;
    write.stampMicros = channel.state.timestampMicros;
    write.channel = {instrument, channel.bin, channel.state.flags, channel.state.description};
    write.channelChanged = !last[index].recorded || HeaderChanged(channel.state, last[index].state);
    for (const StationWatch& station : channel.stations)
        write.stations.push_back({station.station, channel.state.records[station.station]});
    found.push_back(std::move(write));
    foundIndex.push_back(index);
}

// The write's time since zero. A stamp that puts the write before the
// channel's last one went back: the poll's time stands in, and the shift
// it takes carries the channel's later stamps on from there. A change that
// kept the counter and stamp of the write before goes a microsecond after
// it, so that the two stay two writes in the file.
bool WriteRecorder::PlaceInTime(RecordedWrite& write, Last& before, double polled) {
    const double stamped = write.seconds - zero + before.shift;
    const bool same = SameStamp(write, before);
    write.seconds = std::max(stamped, before.seconds + (same ? minimumStep : 0.0));
    if (!before.recorded || same || stamped >= before.seconds) return true;
    write.seconds = std::max(polled - zero, before.seconds + minimumStep);
    before.shift += write.seconds - stamped;
    return writer.WriteStampsBack(write.channel.instrument, write.channel.bin);
}

// In the order the server made them. Time zero is the earliest write of the
// first poll that found any; a channel's times never go back in the file.
bool WriteRecorder::WriteFound(const ChannelMonitor& monitor, MonitorClock::time_point now) {
    std::vector<std::size_t> order(found.size());
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(),
                     [&](std::size_t a, std::size_t b) { return found[a].seconds < found[b].seconds; });
    if (!started && !order.empty()) zero = found[order.front()].seconds;
    started = started || !order.empty();
    bool written = true;
    for (std::size_t at : order) {
        Last& before = last[foundIndex[at]];
        RecordedWrite& write = found[at];
        written = PlaceInTime(write, before, SteadySeconds(now)) && written;
        if (write.channelChanged) written = writer.WriteChannel(write.channel) && written;
        written = writer.WriteWrite(write) && written;
        before.recorded = true;
        before.state = monitor.Channels()[foundIndex[at]].state;
        before.seconds = write.seconds;
    }
    return written;
}

// Only a removal by the server: a channel refused after a change of its
// objects is still published. One line per removal: the next comes only
// after the channel was seen back.
bool WriteRecorder::WriteRemovals(const ChannelMonitor& monitor) {
    bool written = true;
    const auto& channels = monitor.Channels();
    for (std::size_t i = 0; i < channels.size(); ++i) {
        if (!channels[i].gone) last[i].goneWritten = false;
        if (!channels[i].gone || channels[i].refused || !last[i].recorded || last[i].goneWritten) continue;
        written = writer.WriteChannelGone(monitor.Instrument(), channels[i].bin) && written;
        last[i].goneWritten = true;
    }
    return written;
}

// Before the writes of the same poll: a restarted server's first write
// comes after its predecessor's death.
bool WriteRecorder::WriteDeaths(const ChannelMonitor& monitor) {
    bool written = true;
    const auto& channels = monitor.Channels();
    for (std::size_t i = 0; i < channels.size(); ++i) {
        for (; last[i].deathsWritten < channels[i].writerDeaths; ++last[i].deathsWritten)
            written = writer.WriteChannelDied(monitor.Instrument(), channels[i].bin) && written;
    }
    return written;
}

bool WriteRecorder::Record(const ChannelMonitor& monitor, MonitorClock::time_point now) {
    found.clear();
    foundIndex.clear();
    const auto& channels = monitor.Channels();
    for (std::size_t i = 0; i < channels.size(); ++i)
        if (channels[i].readable && NewWrite(channels[i], last[i])) Collect(monitor.Instrument(), channels[i], now, i);
    bool deaths = WriteDeaths(monitor);
    bool writes = WriteFound(monitor, now);
    return WriteRemovals(monitor) && writes && deaths;
}
