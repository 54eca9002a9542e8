// How much of a fast server a recording holds, and what recording costs: the
// real lumivex-publisher writes two bins at 1 kHz (and 2 kHz) while the real
// `lumivex-monitor --csv` records them, on a quiet machine and with one busy
// process per core beside them. A write is held when the file has a row for
// it; the writes made are the span of each bin's write counter in the file.
// The recorder's CPU comes from /proc over the recording.
//
//   bench-recorder [SECONDS]   (default 10 per case)
//
// LUMIVEX_BIN names the directory that holds the programs (default: this
// program's own directory).
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "recording/RecordingReader.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/OutputFile.h"

namespace {

using namespace testsupport;

const std::string prefix = "lvxbenchrecorder" + std::to_string(getpid()) + "_";

struct Case {
    const char* what;
    int rate;
    bool busy;
};

// Rows held over writes made, both bins together.
double HeldShare(const std::string& path) {
    RecordingReader reader;
    if (!reader.Open(path)) return std::fprintf(stderr, "%s\n", reader.Error().c_str()), 0.0;
    uint32_t first[16] = {}, last[16] = {};
    uint64_t held = 0, made = 0;
    for (RecordedWrite write; reader.Next(write); ++held) {
        int bin = write.channel.bin;
        if (first[bin] == 0) first[bin] = write.writeCount;
        last[bin] = write.writeCount;
    }
    for (int bin = 0; bin < 16; ++bin) made += first[bin] ? last[bin] - first[bin] + 1 : 0;
    return made ? static_cast<double>(held) / static_cast<double>(made) : 0.0;
}

std::vector<std::unique_ptr<ChildProcess>> StartBusyProcesses(int count) {
    std::vector<std::unique_ptr<ChildProcess>> busy;
    for (int i = 0; i < count; ++i) {
        busy.push_back(std::make_unique<ChildProcess>());
        busy.back()->Start({{"sh", "-c", "while :; do :; done"}, ChildEnvironment({}), ""});
    }
    return busy;
}

void Measure(const Case& measured, int seconds) {
    std::vector<std::string> environment = ChildEnvironment({"LUMIVEX_SHM_PREFIX=" + prefix});
    ChildProcess publisher, recorder;
    publisher.Start({{ProgramPath("lumivex-publisher"), "--bins", "0,1", "--rate", std::to_string(measured.rate)},
                     environment,
                     ""});
    std::this_thread::sleep_for(Milliseconds(500));
    auto busy = StartBusyProcesses(measured.busy ? static_cast<int>(std::thread::hardware_concurrency()) : 0);
    OutputFile csv;
    recorder.Start({{ProgramPath("lumivex-monitor"), "--bins", "0-1", "--csv", csv.Path()}, environment, ""});
    std::this_thread::sleep_for(std::chrono::seconds(seconds));
    double cpu = recorder.CpuSeconds();
    recorder.Stop();
    busy.clear();
    publisher.Stop();
    std::printf("%-34s %5d Hz   held %7.3f %%   recorder CPU %5.2f %% of a core\n", measured.what, measured.rate,
                100.0 * HeldShare(csv.Path()), 100.0 * cpu / seconds);
    std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
    if (!std::getenv("LUMIVEX_BIN"))
        setenv("LUMIVEX_BIN", std::filesystem::read_symlink("/proc/self/exe").parent_path().c_str(), 1);
    int seconds = argc > 1 ? std::atoi(argv[1]) : 10;
    for (const Case& measured : {Case{"quiet machine", 1000, false}, Case{"one busy process per core", 1000, true},
                                 Case{"quiet machine", 2000, false}})
        Measure(measured, seconds);
    return 0;
}
