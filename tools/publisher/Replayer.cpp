#include "tools/publisher/Replayer.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>

#include "tools/publisher/ChannelWrite.h"

bool LoadRecording(const PublisherOptions& options, Recording& recording) {
    const char* path = options.replay.c_str();
    std::ifstream file(options.replay, std::ios::binary);
    if (!file) {
        std::fprintf(stderr, "lumivex-publisher: %s: %s\n", path, std::strerror(errno));
        return false;
    }
    std::string error;
    if (!ParseRecording(file, recording, error)) {
        // "line 12: why" becomes "FILE:12: why", the way compilers name a line.
        std::fprintf(stderr, "lumivex-publisher: %s:%s\n", path, error.c_str() + std::strlen("line "));
        return false;
    }
    // Rows all at one moment would be rewritten as fast as the machine goes.
    if (options.loop && (recording.rows.empty() || recording.rows.back().seconds <= 0.0)) {
        std::fprintf(stderr, "lumivex-publisher: %s: --loop needs rows that span some time\n", path);
        return false;
    }
    return true;
}

Replayer::Replayer(const Recording& recording, const PublisherOptions& options)
    : recording(recording), options(options) {
    for (const RecordedChannel& recorded : recording.channels) {
        Channel channel{std::make_unique<ChannelWriter>(recorded.instrument, recorded.bin), ChannelState{}};
        channel.state.flags = recorded.flags;
        channel.state.description = recorded.description;
        channels.push_back(std::move(channel));
    }
}

bool Replayer::Open(std::string& error) {
    for (Channel& channel : channels) {
        channel.state.timestampMicros = TimestampMicros();
        if (!channel.writer->Open(options.mode, channel.state)) error = OpenFailure(*channel.writer);
        else if (!Write(channel)) error = "could not write " + platform::SharedObjectName(channel.writer->RegionName().c_str());
        if (!error.empty()) return false;
    }
    return true;
}

bool Replayer::Write(Channel& channel) {
    channel.state.timestampMicros = TimestampMicros();
    return WriteChannel(*channel.writer, options, channel.state);
}

// The recording declares every channel that a row names.
Replayer::Channel& Replayer::ChannelOf(int instrument, int bin) {
    std::size_t index = 0;
    while (recording.channels[index].instrument != instrument || recording.channels[index].bin != bin) ++index;
    return channels[index];
}

bool Replayer::PlayPass(const Pacer& pacer, double passStart, bool& stopped) {
    for (const RecordedRow& row : recording.rows) {
        stopped = !pacer.WaitUntil(passStart + row.seconds / options.speed);
        if (stopped) return true;
        Channel& channel = ChannelOf(row.instrument, row.bin);
        channel.state.records[row.station] = row.record;
        ++channel.state.writeCount;
        if (!Write(channel)) return false;
    }
    return true;
}

// Passes follow each other at the recording's length, counted from the start,
// so a late write does not push the rest of the replay back.
bool Replayer::Play(const Pacer& pacer) {
    const double passLength = recording.rows.empty() ? 0.0 : recording.rows.back().seconds / options.speed;
    bool stopped = false;
    for (double passStart = 0.0;; passStart += passLength) {
        if (!PlayPass(pacer, passStart, stopped)) return false;
        if (stopped || !options.loop) break;
    }
    if (!stopped && options.duration > 0.0) pacer.WaitUntil(options.duration);
    return true;
}

bool Replayer::Unlink() {
    bool removed = true;
    for (Channel& channel : channels) removed = channel.writer->Unlink() && removed;
    return removed;
}

void Replayer::ReportSkippedWrites() const {
    for (const Channel& channel : channels) ::ReportSkippedWrites(*channel.writer);
}
