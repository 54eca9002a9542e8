#include "plot/RecordingTracks.h"

#include <map>
#include <tuple>

#include "recording/RecordingReader.h"

namespace {

using StationKey = std::tuple<int, int, int>;  // instrument, bin, station

// A channel's description and flags are those of its first write.
void Add(const RecordedWrite& write, std::map<StationKey, StationTrack>& tracks) {
    const RecordedChannel& channel = write.channel;
    for (const RecordedStation& station : write.stations) {
        StationTrack& track = tracks[{channel.instrument, channel.bin, station.station}];
        if (track.seconds.empty())
            track = StationTrack{channel.instrument, channel.bin, station.station, channel.description, channel.flags, {}, {}};
        track.seconds.push_back(write.seconds);
        track.poses.push_back(station.record);
    }
}

}  // namespace

bool ReadTrackRecording(const std::string& path, TrackRecording& recording, std::string& error, std::string& warning) {
    RecordingReader reader;
    std::map<StationKey, StationTrack> tracks;
    if (reader.Open(path))
        for (RecordedWrite write; reader.Next(write);) Add(write, tracks);
    error = reader.Error();
    warning = reader.CutWarning();
    if (!error.empty()) return false;
    recording = TrackRecording{reader.Name(), reader.Info().start, reader.Info().host, {}};
    for (auto& entry : tracks) recording.tracks.push_back(std::move(entry.second));
    return true;
}
