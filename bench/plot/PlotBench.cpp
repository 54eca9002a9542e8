// What lumivex-plot pays for a long session once the recording is read: an
// hour at 120 Hz of four stations in each of two bins, drawn at the default
// size, and its statistics. Items per second are station updates.
#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

#include "plot/StationTrack.h"
#include "plot/TrackFigure.h"
#include "plot/TrackStatistics.h"

namespace {

constexpr int updatesPerStation = 120 * 3600;

std::vector<StationTrack> HourOfTracks() {
    std::vector<StationTrack> tracks;
    for (int bin = 0; bin < 2; ++bin)
        for (int station = 0; station < 4; ++station) {
            StationTrack track{0, bin, station, "Simulated tracker", 0x21F, {}, {}};
            for (int i = 0; i < updatesPerStation; ++i) {
                float angle = static_cast<float>(i / 120.0 + station);
                track.seconds.push_back(i / 120.0);
                track.poses.push_back({std::cos(angle), std::sin(angle), 1.5f, angle, 0.1f, 0.0f});
            }
            tracks.push_back(std::move(track));
        }
    return tracks;
}

const std::vector<StationTrack>& Tracks() {
    static const std::vector<StationTrack> tracks = HourOfTracks();
    return tracks;
}

void DrawHour(benchmark::State& state) {
    const TrackRecording recording{"bench", "", "", {}};
    for (auto _ : state)
        benchmark::DoNotOptimize(DrawTrackFigure(recording, Tracks(), SpanOfTracks(Tracks()), 1600, 1000));
    state.SetItemsProcessed(state.iterations() * updatesPerStation * 8);
}
BENCHMARK(DrawHour)->Unit(benchmark::kMillisecond);

void StatisticsOfHour(benchmark::State& state) {
    for (auto _ : state)
        for (const StationTrack& track : Tracks()) benchmark::DoNotOptimize(ComputeStatistics(track));
    state.SetItemsProcessed(state.iterations() * updatesPerStation * 8);
}
BENCHMARK(StatisticsOfHour)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
