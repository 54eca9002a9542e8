// lumivex-monitor: shows what the tracking server publishes, channel by
// channel and station by station, and records every change into CSV. It reads
// the channels as the viewer does, under each channel's mutex.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "channel/ObjectRefusal.h"
#include "platform/Console.h"
#include "platform/Signals.h"
#include "platform/TerminalScreen.h"
#include "platform/Timing.h"
#include "text/NumberList.h"
#include "tools/common/OutputFileRule.h"
#include "tools/common/RunCommandLine.h"
#include "tools/common/Version.h"
#include "channel/ChannelMonitor.h"
#include "tools/monitor/MonitorOptions.h"
#include "tools/monitor/MonitorView.h"
#include "tools/monitor/OutputThread.h"
#include "tools/monitor/ScreenPainter.h"
#include "tools/monitor/WriteRecorder.h"
#include "text/Warning.h"

namespace {

// How often channels are read for the screen while their writes are not
// foreseen (the ChangeDetector reads a steady server just when a write is
// due); a recording reads as often as every capturing reader.
constexpr std::chrono::microseconds pollPeriod(1000);
// Sleeps end at least this often, so that a stop request is seen soon.
constexpr std::chrono::milliseconds longestSleep(50);
constexpr std::chrono::milliseconds redrawPeriod(200);
// A recorder that dies loses at most this much.
constexpr std::chrono::milliseconds flushPeriod(100);

using PollHandler = std::function<bool(MonitorClock::time_point, const std::vector<MonitorEvent>&)>;

bool Print(const std::string& text, std::FILE* stream = stdout) {
    if (text.empty()) return true;
    return std::fwrite(text.data(), 1, text.size(), stream) == text.size() && std::fflush(stream) == 0;
}

// Polls until SIGINT, SIGTERM or SIGHUP, until --duration is over, or until
// `handle` returns false.
bool PollUntilStopped(ChannelMonitor& monitor, const MonitorOptions& options, const PollHandler& handle) {
    std::vector<MonitorEvent> events;
    const MonitorClock::time_point end = MonitorClock::now() + std::chrono::duration_cast<MonitorClock::duration>(
                                                                   std::chrono::duration<double>(options.duration));
    while (!platform::StopRequested()) {
        events.clear();
        MonitorClock::time_point now = MonitorClock::now();
        if (options.duration > 0.0 && now >= end) break;
        monitor.Poll(now, events);
        if (!handle(now, events)) return false;
        monitor.SleepUntilNextPoll(MonitorClock::now() + longestSleep);
    }
    return true;
}

// True once per `period`.
bool Due(MonitorClock::time_point now, MonitorClock::time_point& next, MonitorClock::duration period) {
    if (now < next) return false;
    next = now + period;
    return true;
}

// True once per redraw period, and at once when the terminal changed its size.
bool RedrawDue(MonitorClock::time_point now, MonitorClock::time_point& next) {
    if (platform::ResizeSeen()) next = now;
    return Due(now, next, redrawPeriod);
}

// The screen cut to the terminal as it is now (not cut when its size is unknown).
std::string FittedScreen(const ChannelMonitor& monitor, const MonitorOptions& options, MonitorClock::time_point now,
                         const std::string& footer) {
    ScreenRoom room;
    if (!platform::ScreenSize(room.columns, room.rows)) room = {};
    return FormatScreen(monitor, options, now, footer, room);
}

std::string Where(const MonitorOptions& options) {
    std::string prefix = ShownName("");
    return "instrument " + std::to_string(options.instrument) + ", bins " + DescribeNumberList(options.bins) +
           (prefix.empty() ? std::string() : ", LUMIVEX_SHM_PREFIX=" + prefix);
}

// "Nothing is published" only when nothing exists; otherwise which object
// stands in the way, and why, for every bin that has one. A refused object
// was named by the tracker link's warning already.
int FailNothingRead(const ChannelMonitor& monitor, const MonitorOptions& options) {
    bool named = false;
    for (const ChannelWatch& channel : monitor.Channels()) {
        if (!channel.refused && !channel.trouble.empty()) PrintError(channel.trouble);
        named = named || !channel.trouble.empty();
    }
    return named ? 1 : PrintError("nothing is published for " + Where(options) + "; is the tracking server running?");
}

bool AnyTrouble(const ChannelMonitor& monitor) {
    for (const ChannelWatch& channel : monitor.Channels())
        if (!channel.trouble.empty()) return true;
    return false;
}

// A selected channel whose objects exist but were not read makes the look a
// failure, though the others are shown.
int ShowOnce(ChannelMonitor& monitor, const MonitorOptions& options) {
    std::vector<MonitorEvent> events;
    MonitorClock::time_point now = MonitorClock::now();
    monitor.PollPatiently(now, events);
    if (!monitor.AnyPublished()) return FailNothingRead(monitor, options);
    return Print(FormatScreen(monitor, options, now)) && !AnyTrouble(monitor) ? 0 : 1;
}

int Watch(ChannelMonitor& monitor, const MonitorOptions& options, bool terminal) {
    MonitorClock::time_point start = MonitorClock::now(), nextRedraw = start;
    if (!terminal && !Print(FormatLineHeader(options))) return 1;
    bool shown =
        PollUntilStopped(monitor, options, [&](MonitorClock::time_point now, const std::vector<MonitorEvent>& events) {
            if (!terminal) return Print(FormatEvents(monitor, events, start, now));
            return !RedrawDue(now, nextRedraw) ||
                   platform::ShowScreen(FittedScreen(monitor, options, now, "Ctrl-C ends."));
        });
    return shown ? 0 : 1;
}

void WarnOfMissedWrites(const ChannelMonitor& monitor) {
    uint64_t missed = 0;
    for (const ChannelWatch& channel : monitor.Channels()) missed += channel.missedWrites;
    if (missed > 0)
        PrintWarning("recording", std::to_string(missed) +
                                      " writes of the server came and went between two reads; "
                                      "what they changed is not in the file");
}

std::string Until(const MonitorOptions& options) {
    char seconds[32];
    std::snprintf(seconds, sizeof seconds, "%g", options.duration);
    return options.duration > 0.0 ? std::string("for ") + seconds + " s" : "until SIGINT, SIGTERM or SIGHUP";
}

// Reads until stopped and records what it finds; the file and the terminal
// are written on threads of their own, so that a slow disk, pipe or terminal
// never makes the reads miss a write. False when the terminal could not be
// redrawn or recording failed.
bool Capture(ChannelMonitor& monitor, const MonitorOptions& options, bool terminal, WriteRecorder& recorder,
             const std::string& name) {
    OutputThread file(flushPeriod, [&recorder] { return recorder.Flush(); });
    ScreenPainter painter;
    MonitorClock::time_point nextRedraw = MonitorClock::now();
    bool polled =
        PollUntilStopped(monitor, options, [&](MonitorClock::time_point now, const std::vector<MonitorEvent>&) {
            if (!recorder.Record(monitor, now) || !painter.Fine()) return false;
            if (!terminal || !RedrawDue(now, nextRedraw)) return true;
            painter.Post(FittedScreen(
                monitor, options, now,
                "Recording into " + name + ": " + std::to_string(recorder.Writes()) + " writes. Ctrl-C ends."));
            return true;
        });
    file.Stop();
    return painter.Stop() && polled;
}

// With --csv - the recording is standard output, and every message goes to
// standard error.
int Record(ChannelMonitor& monitor, const MonitorOptions& options, bool terminal) {
    const bool toOutput = options.csvPath == "-";
    std::FILE* messages = toOutput ? stderr : stdout;
    const std::string name = toOutput ? "standard output" : options.csvPath;
    terminal = terminal && !toOutput;
    int descriptor = -1, status = 0;
    if (!toOutput && (descriptor = OpenOutput(options.csvPath, options.force, status)) < 0) return status;
    WriteRecorder recorder;
    if (!recorder.Open(options.csvPath, monitor, options.stations, std::string("lumivex-monitor ") + lumivexVersion,
                       descriptor))
        return PrintError("cannot write " + name + ": " + recorder.FailureReason());
    if (!terminal) Print("recording " + Where(options) + " into " + name + " " + Until(options) + "\n", messages);
    bool polled = Capture(monitor, options, terminal, recorder, name);
    if (!recorder.Close()) return PrintError("writing " + name + " failed: " + recorder.FailureReason());
    // Polling stops early for a failed write or a failed redraw; the write's is told above.
    if (!polled) return PrintError("the terminal could not be redrawn; recording into " + name + " stopped");
    WarnOfMissedWrites(monitor);
    if (recorder.Writes() == 0)
        return PrintError("nothing was recorded: no selected channel of " + Where(options) + " was written");
    Print(std::to_string(recorder.Writes()) + " writes recorded into " + name + "\n", messages);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    MonitorOptions options;
    CommandLineOutcome outcome = RunCommandLine(*MonitorCommandLine(options), argc, argv);
    if (!outcome.run) return outcome.status;
    ChannelMonitor monitor(options.instrument, options.bins, options.stations,
                           options.csvPath.empty() ? MonitorClock::duration(pollPeriod)
                                                   : MonitorClock::duration(ChangeDetector::captureSlowPoll));
    if (options.once) return ShowOnce(monitor, options);
    // Reads are timed to the microsecond around a foreseen write; should the
    // request fail, they merely wake a little later.
    (void)platform::WakeUpOnTime();
    if (!platform::CatchStopRequests()) return PrintError("cannot catch SIGINT, SIGTERM and SIGHUP");
    bool terminal = platform::SystemConsole().OutputHandle() != nullptr;
    // Without the signal, a resized terminal is still followed at the next redraw.
    if (terminal) platform::CatchResizes();
    return options.csvPath.empty() ? Watch(monitor, options, terminal) : Record(monitor, options, terminal);
}
