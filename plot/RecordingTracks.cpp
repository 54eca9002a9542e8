#include "plot/RecordingTracks.h"

#include <cstdio>
#include <map>
#include <tuple>

#include "recording/RecordingReader.h"

namespace {

using StationKey = std::tuple<int, int, int>;  // instrument, bin, station
constexpr double degreesPerRadian = 57.29577951308232;

// Metres per unit of the positions, by the channel's unit code.
double MetresPerUnit(uint32_t flags) {
    station_layout::ChannelUnit unit = station_layout::UnitOfCode(station_layout::UnitCode(flags));
    struct Exact {
        const char* label;
        double metres;
    };
    // The unit table's factors are floats; these are the exact ones.
    static const Exact exact[] = {{"INCHES", 0.0254}, {"CMETER", 0.01}, {"METERS", 1.0}};
    for (const Exact& entry : exact)
        if (std::string(unit.label) == entry.label) return entry.metres;
    return unit.scale / 100.0;
}

PoseSample Sample(const RecordedWrite& write, const RecordedStation& station) {
    const StationRecord& pose = station.record;
    const double metres = MetresPerUnit(write.channel.flags);
    PoseSample sample;
    sample.seconds = write.seconds;
    sample.position[0] = pose.x * metres, sample.position[1] = pose.y * metres, sample.position[2] = pose.z * metres;
    sample.angles[0] = pose.azimuth * degreesPerRadian, sample.angles[1] = pose.elevation * degreesPerRadian;
    sample.angles[2] = pose.roll * degreesPerRadian;
    sample.active = station_layout::StationActive(write.channel.flags, station.station);
    sample.writeCount = write.writeCount;
    return sample;
}

class TrackBuilder {
public:
    TrackBuilder(const TrackSelection& selection, int capacity) : selection(selection), capacity(capacity) {}

    // False when the tracks would keep more interval lengths than the limit.
    bool Add(const RecordedWrite& write) {
        const RecordedChannel& channel = write.channel;
        for (const RecordedStation& station : write.stations) {
            if (!Selects(selection, channel.bin, station.station, write.seconds)) continue;
            StationKey key{channel.instrument, channel.bin, station.station};
            auto found = tracks.find(key);
            if (found == tracks.end())
                found = tracks.emplace(key, StationTrack({channel.instrument, channel.bin, station.station, channel.description},
                                                         capacity)).first;
            lengths -= found->second.Lengths();
            found->second.Add(Sample(write, station));
            lengths += found->second.Lengths();
        }
        return lengths <= intervalLengthLimit;
    }

    std::vector<StationTrack> Take() {
        std::vector<StationTrack> list;
        for (auto& entry : tracks) list.push_back(std::move(entry.second));
        return list;
    }

private:
    TrackSelection selection;
    int capacity;
    std::map<StationKey, StationTrack> tracks;
    std::size_t lengths = 0;
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
        for (RecordedWrite write; fits && reader.Next(write);)
            if (!(fits = builder.Add(write))) error = TooManyLengths(reader.Name(), write.seconds);
    if (fits) error = reader.Error();
    warning = reader.CutWarning();
    if (!error.empty()) return false;
    recording = TrackRecording{reader.Name(), reader.Info().start, reader.Info().host, builder.Take()};
    return true;
}
