#include "plot/RecordingTracks.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <iostream>
#include <map>
#include <tuple>

#include "server/Recording.h"

namespace {

using StationKey = std::tuple<int, int, int>;  // instrument, bin, station

const RecordedChannel& ChannelOf(const Recording& recording, const RecordedRow& row) {
    for (const RecordedChannel& channel : recording.channels)
        if (channel.instrument == row.instrument && channel.bin == row.bin) return channel;
    return recording.channels.front();  // the reader refuses rows of undeclared channels
}

std::vector<StationTrack> TracksOf(const Recording& recording) {
    std::map<StationKey, StationTrack> tracks;
    for (const RecordedRow& row : recording.rows) {
        StationTrack& track = tracks[{row.instrument, row.bin, row.station}];
        if (track.seconds.empty()) {
            const RecordedChannel& channel = ChannelOf(recording, row);
            track = StationTrack{row.instrument, row.bin, row.station, channel.description, channel.flags, {}, {}};
        }
        track.seconds.push_back(row.seconds);
        track.poses.push_back(row.record);
    }
    std::vector<StationTrack> ordered;
    for (auto& entry : tracks) ordered.push_back(std::move(entry.second));
    return ordered;
}

}  // namespace

bool ReadTrackRecording(const std::string& path, TrackRecording& recording, std::string& error) {
    std::ifstream file;
    if (path != "-") {
        file.open(path, std::ios::binary);
        if (!file) {
            error = std::strerror(errno);
            return false;
        }
    }
    Recording parsed;
    if (!ParseRecording(path == "-" ? std::cin : file, parsed, error)) return false;
    recording = TrackRecording{path == "-" ? "standard input" : path, "", "", TracksOf(parsed)};
    return true;
}
