#include "plot/StationTrack.h"

#include <algorithm>
#include <map>
#include <string>

namespace {

bool Selected(uint32_t mask, int number) { return number < 32 && (mask >> number & 1u) != 0; }

StationTrack CutToTime(const StationTrack& track, double from, double to) {
    StationTrack cut{track.instrument, track.bin, track.station, track.description, track.flags, {}, {}};
    auto first = std::lower_bound(track.seconds.begin(), track.seconds.end(), from);
    auto last = std::upper_bound(first, track.seconds.end(), to);
    cut.seconds.assign(first, last);
    cut.poses.assign(track.poses.begin() + (first - track.seconds.begin()),
                     track.poses.begin() + (last - track.seconds.begin()));
    return cut;
}

}  // namespace

std::vector<StationTrack> SelectTracks(const std::vector<StationTrack>& tracks, const TrackSelection& selection) {
    std::vector<StationTrack> selected;
    for (const StationTrack& track : tracks) {
        if (!Selected(selection.bins, track.bin) || !Selected(selection.stations, track.station)) continue;
        StationTrack cut = CutToTime(track, selection.from, selection.to);
        if (!cut.seconds.empty()) selected.push_back(std::move(cut));
    }
    return selected;
}

PositionUnit UnitOfTrack(const StationTrack& track) {
    station_layout::ChannelUnit unit = station_layout::UnitOfCode(station_layout::UnitCode(track.flags));
    // Short names for the report's labels, which a figure has no room for.
    static const std::map<std::string, const char*> names = {{"INCHES", "in"}, {"CMETER", "cm"}, {"METERS", "m"}};
    auto name = names.find(unit.label);
    return {name != names.end() ? name->second : unit.label, unit.scale * 10.0};
}
