// What tracking costs the viewer's frame: frames per second and main-thread
// CPU time per frame of the default scene with tracking off and with all 32
// station-map rows tracked against a running publisher that publishes the two
// bins the rows use; how old a pose is when the first frame that shows it is
// on the screen; and the CPU time the viewer uses in two seconds with nothing
// to do (it draws nothing then), beside two seconds of tracking.
//
// Needs a display: scripts/with-xvfb.sh build/bin/bench-viewer
// LUMIVEX_BIN names the directory that holds lumivex-publisher (default: this
// program's own directory).
#include <benchmark/benchmark.h>

#include "app/ViewerApp.h"
#include "bench/BenchmarkRun.h"
#include "tests/support/GlutIdleProbe.h"
#include "tests/tracker/TrackerTestSupport.h"
#include "channel/StationReader.h"

#include <GL/freeglut.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

class BenchViewer : public ViewerApp {
public:
    void Display() override {
        ++frames;
        ViewerApp::Display();
    }
    long frames = 0;
};

BenchViewer* viewer = nullptr;
const int PauseMicroseconds = 10000;
const int BoxStations = 3;

// The viewer prints its progress, report and toggles on standard output; the
// benchmark's own table (or JSON) is what this program writes there.
template <typename Action>
bool Quietly(Action action) {
    std::fflush(stdout);
    int saved = dup(STDOUT_FILENO), sink = open("/dev/null", O_WRONLY);
    bool silenced = saved >= 0 && sink >= 0 && dup2(sink, STDOUT_FILENO) >= 0;
    action();
    std::fflush(stdout);
    bool restored = !silenced || dup2(saved, STDOUT_FILENO) >= 0;
    if (saved >= 0) close(saved);
    if (sink >= 0) close(sink);
    return restored;
}

// The viewpoint and the three boxes where the default scene has them, in
// metres; the publisher's default rate and bins.
std::vector<std::string> PublisherArguments() {
    return {"--flags",  "0x21F",
            "--motion", "still",
            "--pose",   "0=0.41,-0.4,0.3,0,0,0",
            "--pose",   "1=0.65,0.24,-0.36,0,0,0",
            "--pose",   "2=0.65,-0.24,-0.36,0,0,0",
            "--pose",   "3=0.89,0,-0.36,0,0,0"};
}

// Row 0 drives the viewpoint from station 0; the other rows drive the blue,
// red and green boxes in turn from stations 1 to 3 (box k from station k),
// alternating between bins 0 and 1, so every row is read and used.
void SetTracking(int rows) {
    for (int row = 0; row < stationMapCapacity; ++row) {
        int station = row == 0 ? 0 : 1 + (row - 1) % BoxStations;
        viewer->stationMap[row] = StationMapEntry{0, row % 2, station, station + 1, row < rows, 100.0f};
    }
    viewer->stationMapCount = std::max(rows, 1);
}

double Seconds(clockid_t clock) {
    timespec now{};
    if (clock_gettime(clock, &now) != 0) return 0;
    return now.tv_sec + now.tv_nsec * 1e-9;
}

// The frame the way the idle callback runs it: pending events, then Display,
// which reads every tracked row and swaps buffers.
void RunFrame() {
    glutMainLoopEvent();
    viewer->Display();
}

// Rendering runs in llvmpipe's own threads, so frames are counted per second
// of wall time, and the main thread's CPU time is reported beside it. One
// tracked frame comes first, so that with tracking off the same picture (the
// camera and boxes where the stations put them) is drawn.
void Frames(benchmark::State& state) {
    SetTracking(stationMapCapacity);
    RunFrame();
    SetTracking(static_cast<int>(state.range(0)));
    double cpu = Seconds(CLOCK_THREAD_CPUTIME_ID), wall = Seconds(CLOCK_MONOTONIC);
    for (auto _ : state) RunFrame();
    double frames = static_cast<double>(state.iterations());
    state.counters["main_cpu_us_per_frame"] = (Seconds(CLOCK_THREAD_CPUTIME_ID) - cpu) * 1e6 / frames;
    state.counters["frames_per_s"] = frames / (Seconds(CLOCK_MONOTONIC) - wall);
    SetTracking(0);
}
BENCHMARK(Frames)->Arg(0)->Arg(32)->UseRealTime()->Unit(benchmark::kMicrosecond);

// The publisher stamps every write with the low 32 bits of the monotonic clock
// in microseconds, the clock steady_clock reads here.
uint32_t NowMicros() {
    auto now = std::chrono::steady_clock::now().time_since_epoch();
    return static_cast<uint32_t>(std::chrono::duration_cast<std::chrono::microseconds>(now).count());
}

double Percentile(std::vector<double> values, double fraction) {
    if (values.empty()) return 0;
    std::size_t index = static_cast<std::size_t>(fraction * static_cast<double>(values.size() - 1));
    std::nth_element(values.begin(), values.begin() + static_cast<long>(index), values.end());
    return values[index];
}

// Per frame, the newest write is noted just before the frame reads its rows,
// and a write seen for the first time is aged at the end of the frame's buffer
// swap. A write that lands between the note and the rows' reads makes the
// figure a little too high, never too low.
void PoseAge(benchmark::State& state) {
    SetTracking(stationMapCapacity);
    TrackerClient& client = (*viewer->trackerClients)[0];
    std::vector<double> ages;
    ChannelState first, last;
    double wall = Seconds(CLOCK_MONOTONIC);
    for (auto _ : state) {
        ChannelState shown;
        if (!ReadChannelState(client, 0, shown)) continue;
        RunFrame();
        if (ages.empty()) first = shown;
        if (ages.empty() || shown.writeCount != last.writeCount)
            ages.push_back((NowMicros() - shown.timestampMicros) / 1000.0);
        last = shown;
    }
    SetTracking(0);
    if (last.writeCount == first.writeCount) return state.SkipWithError("the publisher did not write");
    state.counters["pose_age_p50_ms"] = Percentile(ages, 0.50);
    state.counters["pose_age_p99_ms"] = Percentile(ages, 0.99);
    state.counters["publisher_period_ms"] =
        (last.timestampMicros - first.timestampMicros) / 1000.0 / (last.writeCount - first.writeCount);
    state.counters["frame_ms"] = (Seconds(CLOCK_MONOTONIC) - wall) * 1000 / static_cast<double>(state.iterations());
}
BENCHMARK(PoseAge)->Iterations(2000)->UseRealTime()->Unit(benchmark::kMicrosecond);

// The main loop as glutMainLoop runs it, for two seconds: with nothing to do
// the viewer has removed its idle callback; tracking (SPACE) installs it.
// glutMainLoop would block until the next event where this loop pauses for
// 10 ms, so the idle figure is an upper bound: the cost of those wake-ups.
void CpuInTwoSeconds(benchmark::State& state) {
    bool tracking = state.range(0) != 0;
    SetTracking(0);
    if (tracking) Quietly([] { viewer->Keyboard(' '); });
    for (auto _ : state) {
        long frames = viewer->frames;
        double cpu = Seconds(CLOCK_PROCESS_CPUTIME_ID);
        auto end = std::chrono::steady_clock::now() + std::chrono::seconds(2);
        while (std::chrono::steady_clock::now() < end) glut_probe::RunCycle(PauseMicroseconds);
        state.counters["cpu_ms"] = (Seconds(CLOCK_PROCESS_CPUTIME_ID) - cpu) * 1000;
        state.counters["frames"] = static_cast<double>(viewer->frames - frames);
    }
    if (tracking) Quietly([] { viewer->Keyboard(' '); });
    state.SetLabel(tracking ? "tracking" : "idle");
}
BENCHMARK(CpuInTwoSeconds)->Arg(0)->Arg(1)->Iterations(1)->UseRealTime()->Unit(benchmark::kMillisecond);

bool StartViewer() {
    viewer = new BenchViewer;
    if (!Quietly([] { viewer->Init("Lumivex viewer benchmark"); })) return false;
    // Up to the window's first frame, after which the viewer sits idle.
    for (int cycle = 0; cycle < 5000 && viewer->frames == 0; ++cycle) glut_probe::RunCycle();
    return viewer->windowCreated;
}

}  // namespace

int main(int argc, char** argv) {
    if (int status = BenchmarkRun::Start(argc, argv); status >= 0) return status;
    UsePublisherBesideThisProgram(argv[0]);
    std::string prefix = "lvxbenchviewer" + std::to_string(getpid()) + "_";
    UsePrefix(prefix);
    const std::vector<std::string> unlink{"--unlink"};
    std::vector<std::string> once = PublisherArguments();
    once.push_back("--once");
    if (Publisher::Run(unlink) != 0 || Publisher::Run(once) != 0) {
        std::fprintf(stderr, "bench-viewer: the publisher did not run\n");
        return 1;
    }
    int status = 0;
    {
        Publisher live(PublisherArguments());
        if (StartViewer()) {
            status = BenchmarkRun::Finish();
        } else {
            std::fprintf(stderr, "bench-viewer: no window (is DISPLAY set?)\n");
            status = 1;
        }
    }
    Publisher::Run(unlink);
    return status;
}
