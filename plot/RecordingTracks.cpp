#include "plot/RecordingTracks.h"

#include <cmath>
#include <cstdio>
#include <array>
#include <bitset>
#include <deque>

#include "channel/ChannelId.h"
#include "recording/RecordingReader.h"

namespace {

constexpr double degreesPerRadian = 57.29577951308232;

// Metres per unit of the positions, by the channel's unit code. The unit
// table's factors are floats (2.54f is 2.5399999618...); rounded to the
// micrometre they are the exact ones.
double MetresPerUnit(uint32_t flags) {
    double centimetres = station_layout::UnitOfCode(station_layout::UnitCode(flags)).scale;
    return std::round(centimetres * 1e6) / 1e8;
}

PoseSample Sample(const RecordedWrite& write, const RecordedStation& station, bool afterRemoval) {
    const StationRecord& pose = station.record;
    const double metres = MetresPerUnit(write.channel.flags);
    PoseSample sample;
    sample.seconds = write.seconds;
    sample.position[0] = pose.x * metres, sample.position[1] = pose.y * metres, sample.position[2] = pose.z * metres;
    sample.angles[0] = pose.azimuth * degreesPerRadian, sample.angles[1] = pose.elevation * degreesPerRadian;
    sample.angles[2] = pose.roll * degreesPerRadian;
    sample.active = !station_layout::StationKnownInactive(write.channel.flags, station.station);
    sample.writeCount = write.writeCount;
    sample.afterRemoval = afterRemoval;
    return sample;
}

class TrackBuilder {
public:
    TrackBuilder(const TrackSelection& selection, int capacity) : selection(selection), capacity(capacity) {}

    // Channels (ChannelId keys) the reader says were removed.
    void NoteRemovals(const std::vector<int>& channels) {
        for (int key : channels) removed.set(static_cast<std::size_t>(key));
    }

    // False when the tracks would keep more interval lengths than the limit.
    bool Add(const RecordedWrite& write) {
        const RecordedChannel& channel = write.channel;
        const std::size_t key = static_cast<std::size_t>(ChannelId{channel.instrument, channel.bin}.Key());
        const bool afterRemoval = removed.test(key);
        removed.reset(key);
        for (const RecordedStation& station : write.stations) {
            if (!Selects(selection, channel.bin, station.station, write.seconds)) continue;
            StationTrack& track = Track(channel, station.station);
            if (write.channelChanged) track.Rename(channel.description);
            lengths -= track.Lengths();
            track.Add(Sample(write, station, afterRemoval));
            lengths += track.Lengths();
        }
        return lengths <= intervalLengthLimit;
    }

    // By instrument, bin and station.
    std::vector<StationTrack> Take() {
        std::vector<StationTrack> list;
        for (StationTrack* track : byKey)
            if (track) list.push_back(std::move(*track));
        return list;
    }

private:
    // Found by table, not by search: this is done for every station of every write.
    StationTrack& Track(const RecordedChannel& channel, int station) {
        const std::size_t key =
            static_cast<std::size_t>(ChannelId{channel.instrument, channel.bin}.Key()) * station_layout::stationCount +
            station;
        if (!byKey[key]) {
            tracks.emplace_back(StationName{channel.instrument, channel.bin, station, channel.description}, capacity);
            byKey[key] = &tracks.back();
        }
        return *byKey[key];
    }

    TrackSelection selection;
    int capacity;
    std::deque<StationTrack> tracks;  // stays where it is as tracks are added
    std::array<StationTrack*, 16 * 16 * 32> byKey{};
    std::size_t lengths = 0;
    std::bitset<ChannelId::keys> removed;  // since the channel's last write
};

std::string TooManyLengths(const std::string& name, double seconds) {
    char at[64];
    std::snprintf(at, sizeof at, "%.6f", seconds);
    return name + ": at " + at + " s the selected stations have more than " + std::to_string(intervalLengthLimit) +
           " different intervals between writes, the most this program counts; select fewer stations or a shorter time";
}

}  // namespace

bool ReadTrackRecording(const std::string& path, const TrackSelection& selection, int columnCapacity,
                        TrackRecording& recording, std::string& error, std::string& warning) {
    RecordingReader reader;
    TrackBuilder builder(selection, columnCapacity);
    bool fits = true;
    if (reader.Open(path))
        for (RecordedWrite write; fits && reader.Next(write);) {
            builder.NoteRemovals(reader.RemovedBefore());
            if (!(fits = builder.Add(write))) error = TooManyLengths(reader.Name(), write.seconds);
            builder.NoteRemovals(reader.RemovedAfter());
        }
    if (fits) error = reader.Error();
    warning = reader.CutWarning();
    if (!error.empty()) return false;
    recording = TrackRecording{reader.Name(), reader.Info().start, reader.Info().host, builder.Take()};
    return true;
}
