// How much of a fast server a recording holds, and what recording costs: the
// real lumivex-publisher writes two bins at 1 kHz (and 2 kHz) while the real
// `lumivex-monitor --csv` records them, on a quiet machine and with one busy
// process per core beside them. A write is held when the file has a row for
// it; the writes made are each bin's counter from its first write in the file
// to the publisher's last write (the publisher ends first).
// The recorder's CPU comes from /proc over the recording. With its live view
// on, the recorder draws into a terminal that takes 512 bytes every 100 ms.
//
//   bench-recorder [SECONDS [CASE]]   (default 10 per case; every case, or the CASE-th from 1)
//
// LUMIVEX_BIN names the directory that holds the programs (default: this
// program's own directory).
#include <fcntl.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <atomic>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "bench/BenchArguments.h"
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
    bool view;
};

// A pseudo-terminal of 120x40 whose reader is slow, as a console on a slow
// link or Wine's console is; it drains what is left when it goes.
class SlowTerminal {
public:
    SlowTerminal() {
        master = posix_openpt(O_RDWR | O_NOCTTY);
        winsize size{40, 120, 0, 0};
        if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) return;
        name = ptsname(master);
        int slave = open(name.c_str(), O_RDWR | O_NOCTTY);
        if (slave >= 0) ioctl(slave, TIOCSWINSZ, &size), close(slave);
        reader = std::thread([this] { Read(); });
    }
    ~SlowTerminal() {
        stop = true;
        if (reader.joinable()) reader.join();
        if (master >= 0) close(master);
    }
    const std::string& Name() const { return name; }

private:
    void Read() {
        char buffer[512];
        while (!stop && read(master, buffer, sizeof buffer) > 0) std::this_thread::sleep_for(Milliseconds(100));
        fcntl(master, F_SETFL, O_NONBLOCK);
        while (read(master, buffer, sizeof buffer) > 0) {}
    }
    int master = -1;
    std::string name;
    std::atomic<bool> stop{false};
    std::thread reader;
};

// Rows held over writes made, both bins together; `lastCount` is the
// publisher's last write counter. 0 when the file holds none.
double HeldShare(const std::string& path, uint64_t lastCount) {
    RecordingReader reader;
    if (!reader.Open(path)) return std::fprintf(stderr, "the recording: %s\n", reader.Error().c_str()), 0.0;
    uint32_t first[16] = {};
    uint64_t held = 0, made = 0;
    for (RecordedWrite write; reader.Next(write); ++held)
        if (first[write.channel.bin] == 0) first[write.channel.bin] = write.writeCount;
    for (int bin = 0; bin < 16; ++bin) made += first[bin] ? lastCount - first[bin] + 1 : 0;
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

// The publisher's closing line: "lumivex-publisher: N writes in T s".
uint64_t WritesMade(const OutputFile& output) {
    const std::string text = output.Text(), marker = "lumivex-publisher: ";
    std::size_t at = text.rfind(marker);
    return at == std::string::npos ? 0 : std::strtoull(text.c_str() + at + marker.size(), nullptr, 10);
}

// False, with a message, when a program did not run or the recording holds
// nothing: a held share of 0 would read as a result.
bool Report(const Case& measured, const OutputFile& published, const std::string& csv, double cpuShare) {
    uint64_t made = WritesMade(published);
    if (made == 0)
        return std::fprintf(stderr, "lumivex-publisher made no writes:\n%s", published.Text().c_str()), false;
    double held = HeldShare(csv, made);
    if (held <= 0) return std::fprintf(stderr, "lumivex-monitor recorded no write\n"), false;
    std::printf("%-34s %5d Hz   held %7.3f %%   recorder CPU %5.2f %% of a core\n", measured.what, measured.rate,
                100.0 * held, 100.0 * cpuShare);
    std::fflush(stdout);
    return true;
}

bool Measure(const Case& measured, int seconds) {
    std::vector<std::string> environment = ChildEnvironment({"LUMIVEX_SHM_PREFIX=" + prefix});
    ChildProcess publisher, recorder;
    OutputFile published;
    if (!publisher.Start({{ProgramPath("lumivex-publisher"), "--bins", "0,1", "--rate", std::to_string(measured.rate)},
                          environment,
                          published.Path()}))
        return std::fprintf(stderr, "cannot start lumivex-publisher\n"), false;
    std::this_thread::sleep_for(Milliseconds(500));
    auto busy = StartBusyProcesses(measured.busy ? static_cast<int>(std::thread::hardware_concurrency()) : 0);
    OutputFile csv;
    SlowTerminal terminal;
    recorder.Start({{ProgramPath("lumivex-monitor"), "--bins", "0-1", "--csv", csv.Path(), "--force"},
                    environment,
                    measured.view ? terminal.Name() : ""});
    std::this_thread::sleep_for(std::chrono::seconds(seconds));
    double cpu = recorder.CpuSeconds();
    publisher.Stop();
    std::this_thread::sleep_for(Milliseconds(200));  // the recorder reads the last writes
    recorder.Stop();
    busy.clear();
    return Report(measured, published, csv.Path(), cpu / seconds);
}

const Case cases[] = {
    {"quiet machine", 1000, false, false},           {"one busy process per core", 1000, true, false},
    {"quiet machine", 2000, false, false},           {"live view, slow terminal", 20, false, true},
    {"live view, slow terminal", 1000, false, true}, {"live view, slow terminal, busy per core", 1000, true, true}};

const char* const usage =
    "usage: bench-recorder [SECONDS [CASE]]\n"
    "  how much of a publisher's writes lumivex-monitor --csv holds, and its CPU;\n"
    "  SECONDS per case (default 10), every case or only the CASE-th (1 to 6)\n";

}  // namespace

int main(int argc, char** argv) {
    using Kind = BenchOperand::Kind;
    BenchArguments arguments(usage, {}, {{"SECONDS", Kind::Whole, 1}, {"CASE", Kind::Whole, 1, std::size(cases)}});
    if (int status = arguments.Parse(argc, argv); status >= 0) return status;
    if (!std::getenv("LUMIVEX_BIN"))
        setenv("LUMIVEX_BIN", std::filesystem::read_symlink("/proc/self/exe").parent_path().c_str(), 1);
    int seconds = static_cast<int>(arguments.Number(0, 10));
    auto only = static_cast<std::size_t>(arguments.Number(1, 0));
    for (std::size_t i = 0; i < std::size(cases); ++i)
        if ((only == 0 || only == i + 1) && !Measure(cases[i], seconds)) return 1;
    return 0;
}
