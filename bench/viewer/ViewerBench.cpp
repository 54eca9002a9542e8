// Frames per second of the default scene while tracking four stations of a
// running publisher, beside the same scene without tracking; and the CPU time
// the viewer uses in two seconds with nothing to do (it draws nothing then),
// beside two seconds of tracking.
//
// Needs a display: scripts/with-xvfb.sh build/bin/bench-viewer
// LUMIVEX_BIN names the directory that holds lumivex-publisher (default: this
// program's own directory).
#include <benchmark/benchmark.h>

#include "app/ViewerApp.h"
#include "tests/support/GlutIdleProbe.h"
#include "tests/tracker/TrackerTestSupport.h"

#include <GL/freeglut.h>

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
const int TrackedRows = 4;
const int PauseMicroseconds = 10000;

// The viewpoint and the three boxes where the default scene has them, in metres.
std::vector<std::string> PublisherArguments() {
    return {"--bins",  "0",          "--flags", "0x21F",
            "--motion", "still",     "--pose",  "0=0.41,-0.4,0.3,0,0,0",
            "--pose",  "1=0.65,0.24,-0.36,0,0,0", "--pose", "2=0.65,-0.24,-0.36,0,0,0",
            "--pose",  "3=0.89,0,-0.36,0,0,0"};
}

// Row 0 drives the viewpoint, rows 1 to 3 the blue, red and green boxes.
void SetTracking(bool on) {
    for (int row = 0; row < TrackedRows && row < viewer->stationMapCount; ++row) {
        if (row > 0) viewer->stationMap[row].objectId = row + 1;
        viewer->stationMap[row].tracking = on;
    }
}

double ProcessCpuSeconds() {
    timespec now{};
    if (clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now) != 0) return 0;
    return now.tv_sec + now.tv_nsec * 1e-9;
}

void Frames(benchmark::State& state) {
    bool tracking = state.range(0) != 0;
    if (tracking && viewer->stationMapCount < TrackedRows) state.SkipWithError("fewer than four station rows");
    SetTracking(tracking);
    for (auto _ : state) {
        glutMainLoopEvent();
        viewer->Display();
    }
    SetTracking(false);
    state.SetItemsProcessed(state.iterations());
    state.SetLabel(tracking ? "frames/s, tracking 4 rows" : "frames/s, tracking off");
}
// Rendering runs in llvmpipe's own threads, so frames are counted per second
// of wall time.
BENCHMARK(Frames)->Arg(0)->Arg(1)->UseRealTime()->Unit(benchmark::kMicrosecond);

// The main loop as glutMainLoop runs it, for two seconds: with nothing to do
// the viewer has removed its idle callback; tracking (SPACE) installs it.
// glutMainLoop would block until the next event where this loop pauses for
// 10 ms, so the idle figure is an upper bound: the cost of those wake-ups.
void CpuInTwoSeconds(benchmark::State& state) {
    bool tracking = state.range(0) != 0;
    SetTracking(false);
    viewer->stationMap[0].objectId = 1;
    if (tracking) viewer->Keyboard(' ');
    for (auto _ : state) {
        long frames = viewer->frames;
        double cpu = ProcessCpuSeconds();
        auto end = std::chrono::steady_clock::now() + std::chrono::seconds(2);
        while (std::chrono::steady_clock::now() < end) glut_probe::RunCycle(PauseMicroseconds);
        state.counters["cpu_ms"] = (ProcessCpuSeconds() - cpu) * 1000;
        state.counters["frames"] = static_cast<double>(viewer->frames - frames);
    }
    if (tracking) viewer->Keyboard(' ');
    state.SetLabel(tracking ? "tracking" : "idle");
}
BENCHMARK(CpuInTwoSeconds)->Arg(0)->Arg(1)->Iterations(1)->UseRealTime()->Unit(benchmark::kMillisecond);

// Init prints its progress and the tracking report; the benchmark's own
// table is what this program is for.
bool StartViewer() {
    viewer = new BenchViewer;
    std::fflush(stdout);
    int saved = dup(STDOUT_FILENO), sink = open("/dev/null", O_WRONLY);
    bool silenced = saved >= 0 && sink >= 0 && dup2(sink, STDOUT_FILENO) >= 0;
    viewer->Init("Lumivex viewer benchmark");
    std::fflush(stdout);
    if (silenced && dup2(saved, STDOUT_FILENO) < 0) return false;
    if (saved >= 0) close(saved);
    if (sink >= 0) close(sink);
    // Up to the window's first frame, after which the viewer sits idle.
    for (int cycle = 0; cycle < 5000 && viewer->frames == 0; ++cycle) glut_probe::RunCycle();
    return viewer->windowCreated;
}

void UsePublisherBesideThisProgram(const char* program) {
    if (std::getenv("LUMIVEX_BIN")) return;
    std::string self(program);
    std::string directory = self.find('/') == std::string::npos ? "." : self.substr(0, self.rfind('/'));
    setenv("LUMIVEX_BIN", directory.c_str(), 1);
}

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    UsePublisherBesideThisProgram(argv[0]);
    std::string prefix = "lvxbenchviewer" + std::to_string(getpid()) + "_";
    setenv("LUMIVEX_SHM_PREFIX", prefix.c_str(), 1);
    const std::vector<std::string> unlink{"--bins", "0", "--unlink"};
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
            benchmark::RunSpecifiedBenchmarks();
        } else {
            std::fprintf(stderr, "bench-viewer: no window (is DISPLAY set?)\n");
            status = 1;
        }
    }
    Publisher::Run(unlink);
    benchmark::Shutdown();
    return status;
}
