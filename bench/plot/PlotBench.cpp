// What lumivex-plot pays for a long session beside reading the text: an hour
// at 120 Hz of four stations in each of two bins reduced write by write into
// tracks, drawn at the default size, and its statistics. Items per second are
// station writes. Peak memory of the whole program is measured on a file
// (bench-recording make, then /usr/bin/time -v lumivex-plot); see
// docs/performance.md.
#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

#include "bench/BenchmarkRun.h"
#include "plot/RecordingTracks.h"
#include "plot/TrackFigure.h"
#include "plot/TrackStatistics.h"

namespace {

constexpr int writesPerStation = 120 * 3600;
constexpr int columnCapacity = 4 * 455;  // as lumivex-plot keeps them at 1600 pixels across

PoseSample Orbit(int write, int station) {
    PoseSample sample;
    double angle = write / 120.0 * 0.5 + station;
    sample.seconds = write / 120.0;
    sample.position[0] = std::cos(angle), sample.position[1] = std::sin(angle), sample.position[2] = 1.5;
    sample.angles[0] = angle * 57.3, sample.angles[1] = 5.0, sample.angles[2] = 0.0;
    sample.writeCount = static_cast<std::uint32_t>(write + 1);
    return sample;
}

std::vector<StationTrack> HourOfTracks() {
    std::vector<StationTrack> tracks;
    for (int bin = 0; bin < 2; ++bin)
        for (int station = 0; station < 4; ++station) {
            tracks.emplace_back(StationName{0, bin, station, "Simulated tracker"}, columnCapacity);
            for (int write = 0; write < writesPerStation; ++write) tracks.back().Add(Orbit(write, station));
        }
    return tracks;
}

const TrackRecording& Recording() {
    static const TrackRecording recording{"bench", "", "", HourOfTracks()};
    return recording;
}

void ReduceHour(benchmark::State& state) {
    for (auto _ : state) benchmark::DoNotOptimize(HourOfTracks());
    state.SetItemsProcessed(state.iterations() * writesPerStation * 8);
}
BENCHMARK(ReduceHour)->Unit(benchmark::kMillisecond);

void DrawHour(benchmark::State& state) {
    const TimeSpan span = SpanOfTracks(Recording().tracks);
    for (auto _ : state)
        benchmark::DoNotOptimize(DrawTrackFigure(Recording(), span, 1600, 1000, PositionStyle::Detrended));
    state.SetItemsProcessed(state.iterations() * writesPerStation * 8);
}
BENCHMARK(DrawHour)->Unit(benchmark::kMillisecond);

void StatisticsOfHour(benchmark::State& state) {
    for (auto _ : state)
        for (const StationTrack& track : Recording().tracks) benchmark::DoNotOptimize(ComputeStatistics(track));
    state.SetItemsProcessed(state.iterations() * writesPerStation * 8);
}
BENCHMARK(StatisticsOfHour)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    if (int status = BenchmarkRun::Start(argc, argv); status >= 0) return status;
    return BenchmarkRun::Finish();
}
