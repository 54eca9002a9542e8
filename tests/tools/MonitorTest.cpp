// lumivex-monitor against real servers: its snapshot, its options, its CSV
// recording and the publisher's replay of it; and docs/layout.md, proven by a
// server written from that document alone.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/stat.h>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "recording/RecordingReader.h"
#include "server/ChannelWriter.h"
#include "platform/SharedMemory.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/OutputFile.h"
#include "tests/tracker/TrackerTestSupport.h"
#include "tests/support/ExpectInOrder.h"
#include "channel/ChannelMonitor.h"
#include "tools/monitor/MonitorView.h"
#include "tools/monitor/WriteRecorder.h"

namespace {

using namespace testsupport;

const Milliseconds runLimit(10000);
const std::string fixedPose = "2=1.5,0.25,1.8,0.5,0,-0.125";
// A description that steers a terminal: a line break, a title sequence, a
// backslash before "x41" and a right-to-left override.
const std::string steering = "Line one\r\nline two \x1b]0;x\x07 \\x41 \xe2\x80\xae";
constexpr double degreesPerRadian = 57.29577951308232;

// A recording as the module's reader gives it back.
using StationKey = std::tuple<int, int, int>;  // instrument, bin, station
using Pose = std::vector<float>;
using ChannelKey = std::tuple<int, int, uint32_t, std::string>;  // instrument, bin, flags, description
struct Recording {
    RecordingInfo info;
    std::vector<RecordedWrite> writes;
    std::set<ChannelKey> channels;
    std::map<StationKey, std::vector<Pose>> poses;  // in file order
    std::string error, cut;
};

Recording ReadRecording(const std::string& path) {
    Recording recording;
    RecordingReader reader;
    if (reader.Open(path))
        for (RecordedWrite write; reader.Next(write);) recording.writes.push_back(write);
    recording.info = reader.Info();
    recording.error = reader.Error();
    recording.cut = reader.CutWarning();
    for (const RecordedWrite& write : recording.writes) {
        const RecordedChannel& c = write.channel;
        recording.channels.insert({c.instrument, c.bin, c.flags, c.description});
        for (const RecordedStation& station : write.stations) {
            const StationRecord& r = station.record;
            recording.poses[{c.instrument, c.bin, station.station}].push_back(
                {r.x, r.y, r.z, r.azimuth, r.elevation, r.roll});
        }
    }
    return recording;
}

// The six numbers of a station's row in the monitor's text and what follows them.
bool StationRow(const std::string& text, const std::string& name, double (&numbers)[6], std::string& rest) {
    size_t at = text.find("  " + name + " ");
    if (at == std::string::npos) return false;
    std::istringstream row(text.substr(at + name.size() + 2, text.find('\n', at) - at - name.size() - 2));
    for (double& number : numbers) row >> number;
    std::getline(row >> std::ws, rest);
    return !row.fail();
}

// A program that runs until the test stops it, its output in a file.
struct Running {
    bool Start(const std::vector<std::string>& arguments) {
        return output.Valid() && process.Start({arguments, ChildEnvironment({}), output.Path()});
    }
    // Sends `signal` and waits for the end; the exit status, or -1.
    int StopWith(int signal) {
        int status = 0;
        if (!process.Signal(signal) || !process.WaitExit(runLimit, status)) return -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    OutputFile output;
    ChildProcess process;
};

// Each test has its own object names (SharedMemoryTest), inherited by every
// program it starts.
class MonitorTest : public SharedMemoryTest {
protected:
    Outcome Monitor(const std::vector<std::string>& options) {
        std::vector<std::string> arguments{ProgramPath("lumivex-monitor")};
        arguments.insert(arguments.end(), options.begin(), options.end());
        return RunToEnd(arguments, ChildEnvironment({}), runLimit);
    }

    // The publisher ends before the names are removed, so that it cannot
    // create them again behind the removal.
    void TearDown() override {
        publisher.reset();
        SharedMemoryTest::TearDown();
    }

    // The channels are written once before this returns, then kept up by a
    // running publisher.
    void Publish(const std::vector<std::string>& options) {
        std::vector<std::string> once = options;
        once.push_back("--once");
        ASSERT_EQ(Publisher::Run(once), 0);
        publisher.reset(new Publisher(options));
    }

    bool StartRecording(Running& monitor, const std::string& path) {
        return monitor.Start({ProgramPath("lumivex-monitor"), "--csv", path, "--force"});
    }

    std::unique_ptr<Publisher> publisher;
};

int ExitStatus(const Outcome& run) { return run.finished && WIFEXITED(run.status) ? WEXITSTATUS(run.status) : -1; }

// A tmux server of the test's own with one detached window, "view", running
// a program; it goes with the object.
class Tmux {
public:
    Tmux(const std::string& socket, const std::string& program) : socket(socket) {
        started = ExitStatus(Run({"new-session", "-d", "-s", "view", "-x", "80", "-y", "24", program})) == 0;
    }
    ~Tmux() { Run({"kill-server"}); }

    Outcome Run(std::vector<std::string> arguments) const {
        arguments.insert(arguments.begin(), {"tmux", "-L", socket, "-f", "/dev/null"});
        return RunToEnd(arguments, ChildEnvironment({}), runLimit);
    }
    // The window as shown, a wrapped line joined again.
    std::string Screen() const { return Run({"capture-pane", "-p", "-J", "-t", "view"}).output; }
    // Polls until the window shows `text`; what it shows then.
    std::string WaitFor(const std::string& text) const {
        std::string screen = Screen();
        for (int attempt = 0; attempt < 100 && screen.find(text) == std::string::npos; ++attempt) {
            std::this_thread::sleep_for(Milliseconds(50));
            screen = Screen();
        }
        return screen;
    }
    // Polls until the window has shown `count` new pictures (the stations
    // orbit, so every redraw changes it); false when it stopped changing.
    bool WaitForRedraws(int count) const {
        std::string last = Screen();
        for (int attempt = 0; attempt < 100 && count > 0; ++attempt) {
            std::this_thread::sleep_for(Milliseconds(50));
            std::string now = Screen();
            if (now != last) --count;
            last = now;
        }
        return count == 0;
    }
    // How many lines scrolled off the top (a resize that makes the window
    // shorter pushes some there too).
    std::string History() const { return Run({"display-message", "-p", "-t", "view", "#{history_size}"}).output; }

    std::string socket;
    bool started = false;
};

TEST_F(MonitorTest, OnceShowsTheSelectedChannelsAndStations) {
    Publish({"--flags", "135", "--description", "Once test", "--pose", fixedPose});

    Outcome run = Monitor({"--once", "--stations", "2-3,5"});

    ASSERT_EQ(ExitStatus(run), 0) << run.output;
    ExpectInOrder(run.output, {"channel (0,0) flags 0x00000135 active 0,2 CART EULR CMETER \"Once test\"", "(0,0,2)",
                               "(0,0,3)", "(0,0,5)", "channel (0,1) flags", "(0,1,2)", "(0,1,3)", "(0,1,5)"});
    EXPECT_EQ(run.output.find("(0,0,0)"), std::string::npos);
    EXPECT_EQ(run.output.find("(0,0,4)"), std::string::npos);
    double numbers[6];
    std::string rest;
    ASSERT_TRUE(StationRow(run.output, "(0,1,2)", numbers, rest)) << run.output;
    const double expected[6] = {1.5, 0.25, 1.8, 0.5 * degreesPerRadian, 0.0, -0.125 * degreesPerRadian};
    for (int i = 0; i < 6; ++i) EXPECT_NEAR(numbers[i], expected[i], 0.006) << "number " << i;
    EXPECT_EQ(rest.rfind("ACTIVE", 0), 0u) << rest;
    ASSERT_TRUE(StationRow(run.output, "(0,1,3)", numbers, rest));
    EXPECT_EQ(rest.rfind("inactive", 0), 0u) << rest;
    EXPECT_EQ(run.output.find("rate Hz"), std::string::npos) << "one look measures no rate:\n" << run.output;
}

// A write's time is the server's stamp, also for one stamped a little after
// the poll's clock read; a stamp 20 s off is no stamp of this clock.
TEST(ServerWriteTimeTest, TakesTheStampEvenJustAfterThePoll) {
    const MonitorClock::time_point now = MonitorClock::now();
    const uint32_t nowMicros =
        static_cast<uint32_t>(std::chrono::duration_cast<std::chrono::microseconds>(now.time_since_epoch()).count());
    const std::pair<uint32_t, MonitorClock::time_point> cases[] = {
        {nowMicros - 500, now - std::chrono::microseconds(500)},
        {nowMicros + 2, now + std::chrono::microseconds(2)},
        {nowMicros + 20000000, now},
        {0, now}};
    for (const auto& [stamp, expected] : cases)
        EXPECT_TRUE(ServerWriteTime(now, stamp) == expected) << stamp - nowMicros;
}

// The mapping of a removed channel still holds its last write: its stations
// show as gone, without a rate, not as active.
TEST(MonitorViewTest, StationsOfARemovedChannelAreGone) {
    ChannelWatch channel;
    channel.published = channel.gone = true;
    channel.state.flags = 0x21F;
    channel.state.writeCount = 1;
    channel.stations.emplace_back(0);
    const MonitorClock::time_point start = MonitorClock::now();
    channel.writeRate.Sample(start, 1);
    channel.writeRate.Sample(start + std::chrono::seconds(2), 15);

    std::string line = FormatStation(0, channel, channel.stations[0], start + std::chrono::seconds(2));

    EXPECT_NE(line.find(" gone "), std::string::npos) << line;
    EXPECT_EQ(line.find("ACTIVE"), std::string::npos) << line;
    EXPECT_EQ(line.find("7.0"), std::string::npos) << "no rate: " << line;
}

// A name prefix that is not a plain name is refused, said once, and nothing
// is published under it.
TEST_F(MonitorTest, NothingPublishedEndsWithStatusOne) {
    OutputFile csv;
    struct Case {
        std::vector<std::string> options;
        std::string prefix;  // empty: the test's own
        std::string message;
    };
    const std::string nothing = "nothing is published for instrument 0, bins 0-1";
    const Case cases[] = {
        {{"--once"}, "", nothing},
        {{"--csv", csv.Path(), "--force", "--duration", "0.3"},
         "",
         "nothing was recorded: no selected channel of instrument 0, bins 0-1"},
        {{"--once"}, "../" + Prefix(), "LUMIVEX_SHM_PREFIX \"../" + Prefix() + "\" is refused: it contains '/'"},
        {{"--once"}, "..", "LUMIVEX_SHM_PREFIX \"..\" is refused: it is \".\" or \"..\""},
        {{"--once"},
         Prefix() + "\x1b",
         "LUMIVEX_SHM_PREFIX \"" + Prefix() + "\\x1b\" is refused: it contains control characters"},
        {{"--once"}, std::string(300, 'p'), "is refused: it is longer than 223 characters"},
    };
    for (const Case& c : cases) {
        std::vector<std::string> arguments{ProgramPath("lumivex-monitor")};
        arguments.insert(arguments.end(), c.options.begin(), c.options.end());
        std::string prefix = c.prefix.empty() ? Prefix() : c.prefix;
        Outcome run = RunToEnd(arguments, ChildEnvironment({"LUMIVEX_SHM_PREFIX=" + prefix}), runLimit);
        EXPECT_EQ(ExitStatus(run), 1) << c.prefix;
        EXPECT_NE(run.output.find(c.message), std::string::npos) << run.output;
        EXPECT_EQ(run.output.find(c.message), run.output.rfind(c.message)) << "said once:\n" << run.output;
        if (!c.prefix.empty()) {
            EXPECT_NE(run.output.find(nothing), std::string::npos) << run.output;
        }
    }
    // A writer names the prefix too, and every name it prints, escaped.
    const std::string retitle = Prefix() + "\x1b]0;x\x07";
    Outcome writer = RunToEnd({ProgramPath("lumivex-publisher"), "--bins", "0", "--once"},
                              ChildEnvironment({"LUMIVEX_SHM_PREFIX=" + retitle}), runLimit);
    EXPECT_EQ(ExitStatus(writer), 1);
    EXPECT_NE(writer.output.find("LUMIVEX_SHM_PREFIX \"" + Prefix() + "\\x1b]0;x\\x07\" is refused"), std::string::npos)
        << writer.output;
    EXPECT_EQ(writer.output.find_first_of("\x1b\x07"), std::string::npos) << writer.output;
    // Writers get a clear refusal, and a removal under such a prefix is no success.
    UsePrefix("../" + Prefix());
    platform::ObjectCheck check;
    EXPECT_EQ(platform::CreateRegion(RegionName(0, 0).c_str(), 4096, 0600, &check), platform::noRegion);
    EXPECT_EQ(check.status, platform::OpenStatus::RefusedName);
    EXPECT_FALSE(platform::UnlinkSharedObject(RegionName(0, 0).c_str()));
    UsePrefix(Prefix());
}

TEST_F(MonitorTest, BadOptionsEndWithStatusTwoAndSayWhatIsWrong) {
    const std::vector<std::vector<std::string>> rejected{{"--instrument", "16"},
                                                         {"--instrument", "x"},
                                                         {"--bins", "0,,1"},
                                                         {"--bins", "16"},
                                                         {"--stations", "3-1"},
                                                         {"--stations", "32"},
                                                         {"--once", "--csv", "out.csv"},
                                                         {"--csv", "--once"},
                                                         {"--unknown"},
                                                         {"extra"}};
    for (const auto& options : rejected) {
        Outcome run = Monitor(options);
        EXPECT_EQ(ExitStatus(run), 2) << options[0];
        EXPECT_NE(run.output.find(options[0]), std::string::npos) << run.output;
    }
}

// Sixteen channels of four stations do not fit an 80x24 terminal: the view
// cuts them, and the columns that do not fit, rather than scroll, says what
// it left out, and follows the terminal as it is resized.
TEST_F(MonitorTest, LiveViewFitsItsTerminalAndFollowsResizes) {
    Publish({"--bins", "0-15"});
    Tmux tmux(Prefix(), "exec " + ProgramPath("lumivex-monitor") + " --bins 0-15");
    ASSERT_TRUE(tmux.started);
    struct Size {
        int columns, rows;
        std::string hidden;
    };
    const Size sizes[] = {{80, 24, "... 3 more stations and 12 more channels below; cut: rate Hz, age ms"},
                          {120, 40, "... 4 more stations and 9 more channels below"},
                          {60, 12, "... 3 more stations and 14 more channels below; cut: el d..."}};
    for (const Size& size : sizes) {
        tmux.Run({"resize-window", "-t", "view", "-x", std::to_string(size.columns), "-y", std::to_string(size.rows)});
        std::string screen = tmux.WaitFor(size.hidden + "\nCtrl-C ends.");
        EXPECT_NE(screen.find(size.hidden + "\nCtrl-C ends."), std::string::npos) << screen;
        EXPECT_EQ(screen.rfind("lumivex-monitor: instrument 0, bins 0-15", 0), 0u) << screen;
        std::istringstream lines(screen);
        for (std::string line; std::getline(lines, line);) EXPECT_LE(line.size(), size.columns) << line;
        std::string history = tmux.History();
        ASSERT_TRUE(tmux.WaitForRedraws(3)) << "the view stopped redrawing at " << size.columns << "x" << size.rows;
        EXPECT_EQ(tmux.History(), history) << "lines scrolled at " << size.columns << "x" << size.rows;
    }
}

// Line output states its columns and how many decimals each number has, and
// reports a channel whose server ends, one that starts again, and one refused
// after a chmod (which its server did not remove).
TEST_F(MonitorTest, LineOutputStatesItsPrecisionAndFollowsChannelsThatGoAndComeBack) {
    Publish({"--rate", "50", "--bins", "0"});
    Running monitor;
    ASSERT_TRUE(monitor.Start({ProgramPath("lumivex-monitor"), "--bins", "0"}));
    // A second pose is the running publisher's: it ends normally now, removing its objects.
    size_t first = monitor.output.WaitFor("(0,0,3)", 0, runLimit);
    ASSERT_NE(monitor.output.WaitFor("(0,0,3)", first, runLimit), std::string::npos) << monitor.output.Text();
    publisher.reset();
    size_t gone = monitor.output.WaitFor("channel (0,0) gone: its server removed it\n", 0, runLimit);
    ASSERT_NE(gone, std::string::npos) << monitor.output.Text();
    Publish({"--rate", "50", "--bins", "0"});
    size_t back = monitor.output.WaitFor("channel (0,0) back: published again\n", gone, runLimit);
    ASSERT_NE(back, std::string::npos) << monitor.output.Text();
    const std::string region = Prefix() + RegionName(0, 0);
    ASSERT_EQ(chmod(Path(RegionName(0, 0)).c_str(), 0602), 0);
    const std::string refused = "channel (0,0) refused: " + region + ": writable by every user";
    ASSERT_NE(monitor.output.WaitFor(refused, back, runLimit), std::string::npos) << monitor.output.Text();
    ASSERT_EQ(monitor.StopWith(SIGINT), 0);

    std::vector<std::string> lines;
    std::istringstream text(monitor.output.Text());
    for (std::string line; std::getline(text, line);) lines.push_back(line);
    ASSERT_GE(lines.size(), 4u);
    EXPECT_EQ(lines[0],
              "# lumivex-monitor: instrument 0, bins 0, stations 0-3; one line per change of a channel or a station");
    std::map<std::string, size_t> places;  // "# decimals: time_s 6, x 4, ...; ..."
    std::istringstream stated(lines[2].substr(0, lines[2].find(';')).substr(lines[2].find(':') + 1));
    std::string name;
    for (size_t count = 0; stated >> name >> count; stated.ignore(1)) places[name] = count;
    EXPECT_EQ(places.size(), 9u) << lines[2];
    auto row = std::find_if(lines.begin(), lines.end(),
                            [](const std::string& line) { return line.find(" (0,0,0) ") != std::string::npos; });
    ASSERT_NE(row, lines.end());
    std::istringstream columns(lines[1].substr(2)), fields(*row);
    for (std::string column, field; columns >> column && fields >> field;) {
        size_t point = field.find('.'), printed = point == std::string::npos ? 0 : field.size() - point - 1;
        if (places.count(column) && field != "-") {
            EXPECT_EQ(printed, places[column]) << column << " in " << *row;
        }
    }
}

// What a publisher says it wrote: the rounds of its end line, each a write
// of every channel; 0 when it does not say.
uint32_t RoundsWritten(const std::string& output) {
    const std::string mark = "lumivex-publisher: ";
    std::size_t at = output.rfind(mark);
    return at == std::string::npos
               ? 0
               : static_cast<uint32_t>(std::strtoul(output.c_str() + at + mark.size(), nullptr, 10));
}

// The write counters a recording holds, by bin.
std::map<int, std::set<uint32_t>> CountersByBin(const Recording& recording) {
    std::map<int, std::set<uint32_t>> counters;
    for (const RecordedWrite& write : recording.writes) counters[write.channel.bin].insert(write.writeCount);
    return counters;
}

// Until both bins' recorded writes reach `last`, as far as the file is
// flushed (a compressed one at each flush too).
bool WaitUntilRecorded(const std::string& path, uint32_t last) {
    const auto end = std::chrono::steady_clock::now() + runLimit;
    for (; std::chrono::steady_clock::now() < end; std::this_thread::sleep_for(std::chrono::milliseconds(20))) {
        std::map<int, std::set<uint32_t>> counters = CountersByBin(ReadRecording(path));
        if (counters[0].count(last) && counters[1].count(last)) return true;
    }
    return false;
}

// A publisher writing 20 times a second, a rate any recorder keeps up with on
// a loaded machine: the recording holds every write it says it made, each
// with all selected stations and its own counter, and is whole when a signal
// ends it (SIGHUP: the terminal closed), compressed or not.
TEST_F(MonitorTest, RecordingHoldsEveryWriteWholeAndEndsWholeOnASignal) {
    for (const auto& [signal, suffix] : {std::make_pair(SIGINT, ""), std::make_pair(SIGHUP, ".gz")}) {
        SCOPED_TRACE(suffix);
        OutputFile csv;
        const std::string path = csv.Path() + suffix;
        Running monitor;
        ASSERT_TRUE(StartRecording(monitor, path));
        ASSERT_NE(monitor.output.WaitFor("recording ", 0, runLimit), std::string::npos);
        Outcome published =
            RunToEnd({ProgramPath("lumivex-publisher"), "--rate", "20", "--duration", "1", "--description", steering},
                     ChildEnvironment({}), runLimit);
        const uint32_t rounds = RoundsWritten(published.output);
        ASSERT_GT(rounds, 0u) << published.output;
        EXPECT_TRUE(WaitUntilRecorded(path, rounds));
        ASSERT_EQ(monitor.StopWith(signal), 0) << monitor.output.Text();

        Recording recording = ReadRecording(path);
        if (*suffix) std::remove(path.c_str());
        EXPECT_EQ(recording.error + recording.cut, "");
        EXPECT_EQ(recording.info.version, 2);
        EXPECT_EQ(recording.info.stations, 0xFu);
        EXPECT_EQ(recording.info.prefix, Prefix());
        ASSERT_FALSE(recording.writes.empty());
        EXPECT_EQ(recording.writes[0].seconds, 0.0);
        EXPECT_EQ(recording.channels, (std::set<ChannelKey>{{0, 0, 0x21F, steering}, {0, 1, 0x21F, steering}}));
        for (const RecordedWrite& write : recording.writes) EXPECT_EQ(write.stations.size(), 4u);
        std::set<uint32_t> everyWrite;
        for (uint32_t count = 1; count <= rounds; ++count) everyWrite.insert(count);
        EXPECT_EQ(CountersByBin(recording), (std::map<int, std::set<uint32_t>>{{0, everyWrite}, {1, everyWrite}}));
        const std::string& output = monitor.output.Text();
        EXPECT_NE(output.find(std::to_string(recording.writes.size()) + " writes recorded"), std::string::npos)
            << output;
        EXPECT_EQ(output.find("came and went"), std::string::npos) << output;
    }
}

// A recording on standard output, which may be a terminal, holds no control
// character or bidirectional control; the description is in it escaped.
TEST_F(MonitorTest, RecordingToStandardOutputHoldsNoByteThatSteersATerminal) {
    Publish({"--description", steering});
    Outcome run = Monitor({"--csv", "-", "--duration", "0.3"});
    ASSERT_EQ(ExitStatus(run), 0) << run.output;
    EXPECT_NE(run.output.find("description Line one\\x0d\\x0aline two \\x1b]0;x\\x07 \\x5cx41 \\xe2\\x80\\xae\n"),
              std::string::npos)
        << run.output;
    auto steers = [](char c) { return (static_cast<unsigned char>(c) < 0x20 && c != '\n') || c == 0x7F; };
    EXPECT_EQ(std::count_if(run.output.begin(), run.output.end(), steers), 0) << run.output;
    EXPECT_EQ(run.output.find("\xe2\x80\xae"), std::string::npos) << run.output;
}

// The monitor's recording and the plot's picture are made under one rule: a
// file that exists is kept unless --force is given, and a symbolic link
// planted at the name is never followed, even then.
TEST_F(MonitorTest, OutputFilesKeepWhatExistsAndNeverFollowALink) {
    Publish({"--rate", "100"});
    OutputFile existing, victim;
    const std::string made = existing.Path() + ".csv", link = existing.Path() + ".link";
    std::ofstream(victim.Path()) << "another user's file\n";
    ASSERT_EQ(symlink(victim.Path().c_str(), link.c_str()), 0);
    ASSERT_EQ(ExitStatus(Monitor({"--csv", made, "--duration", "0.3"})), 0) << "a new name is written";
    const std::string monitor = ProgramPath("lumivex-monitor"), plot = ProgramPath("lumivex-plot");
    const std::string exists = ": it exists already; name another file, or add --force to replace it";
    const std::string isLink = ": it is a symbolic link; name the file itself";
    struct Case {
        std::vector<std::string> command;
        const OutputFile& target;
        int status;
        std::string message;
    };
    const Case cases[] = {
        {{monitor, "--csv", existing.Path(), "--duration", "0.3"}, existing, 2, existing.Path() + exists},
        {{monitor, "--csv", link, "--force", "--duration", "0.3"}, victim, 2, link + isLink},
        {{plot, made, "-o", existing.Path()}, existing, 2, existing.Path() + exists},
        {{plot, made, "-o", link, "--force"}, victim, 2, link + isLink},
        {{plot, made, "-o", existing.Path(), "--force"}, existing, 0, "wrote " + existing.Path()},
        {{monitor, "--csv", existing.Path(), "--force", "--duration", "0.3"}, existing, 0, "writes recorded"},
    };
    for (const Case& c : cases) {
        const std::string before = c.target.Text();
        Outcome run = RunToEnd(c.command, ChildEnvironment({}), runLimit);
        EXPECT_EQ(ExitStatus(run), c.status) << c.command[0] << " " << c.command[2] << "\n" << run.output;
        EXPECT_NE(run.output.find(c.message), std::string::npos) << run.output;
        EXPECT_EQ(c.target.Text() == before, c.status != 0) << c.command[0] << " " << c.command[2];
    }
    std::remove(made.c_str());
    std::remove(link.c_str());
}

// A pseudo-terminal of 250x200 that nobody reads until Drain: a terminal the
// user stopped with Ctrl-S, or a very slow one.
struct StuckTerminal {
    StuckTerminal() {
        master = posix_openpt(O_RDWR | O_NOCTTY);
        winsize size{200, 250, 0, 0};
        if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) return;
        name = ptsname(master);
        int slave = open(name.c_str(), O_RDWR | O_NOCTTY);
        if (slave >= 0 && ioctl(slave, TIOCSWINSZ, &size) == 0) close(slave);
    }
    ~StuckTerminal() {
        if (drain.joinable()) drain.join();
        if (master >= 0) close(master);
    }
    // Reads everything until the last writer closes it, keeping the end.
    void Drain() {
        drain = std::thread([this] {
            char buffer[4096];
            for (ssize_t length; (length = read(master, buffer, sizeof buffer)) > 0;) {
                tail.append(buffer, static_cast<std::size_t>(length));
                if (tail.size() > (1u << 20)) tail.erase(0, tail.size() - (1u << 16));
            }
        });
    }
    // What was written last, once every writer closed it.
    const std::string& Ended() {
        if (drain.joinable()) drain.join();
        return tail;
    }
    int master = -1;
    std::string name;
    std::thread drain;
    std::string tail;
};

// The live view of a recorder whose terminal takes nothing: reading and
// recording go on, and the recorder counts every write it missed (which a
// loaded machine may make it miss) by the write counters' gaps.
TEST_F(MonitorTest, RecordingGoesOnWhileItsTerminalTakesNothing) {
    Publish({"--rate", "100", "--bins", "0-15"});
    StuckTerminal terminal;
    ASSERT_FALSE(terminal.name.empty());
    OutputFile csv;
    ChildProcess monitor;
    ASSERT_TRUE(monitor.Start({{ProgramPath("lumivex-monitor"), "--bins", "0-15", "--csv", csv.Path(), "--force"},
                               ChildEnvironment({}),
                               terminal.name}));
    // About 450 kB a second: a few redraws fill the terminal before the first
    // megabyte, and the third comes after some seconds in which nothing is read.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    std::error_code error;
    while (std::filesystem::file_size(csv.Path(), error) < (3u << 20) && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(Milliseconds(50));
    ASSERT_GE(std::filesystem::file_size(csv.Path(), error), 3u << 20) << "the recording stopped";
    terminal.Drain();
    int status = 0;
    ASSERT_TRUE(monitor.Signal(SIGINT) && monitor.WaitExit(runLimit, status));
    EXPECT_EQ(ExitStatusOf(status), 0);
    Recording recording = ReadRecording(csv.Path());
    std::map<int, uint32_t> last;  // by bin: the counter recorded last
    uint64_t missed = 0;
    for (const RecordedWrite& write : recording.writes) {
        uint32_t& before = last[write.channel.bin];
        if (before != 0 && write.writeCount > before + 1) missed += write.writeCount - before - 1;
        before = write.writeCount;
    }
    const std::string& said = terminal.Ended();
    EXPECT_NE(said.find(std::to_string(recording.writes.size()) + " writes recorded"), std::string::npos) << said;
    EXPECT_EQ(said.find(std::to_string(missed) + " writes of the server came and went") != std::string::npos,
              missed > 0)
        << missed << " missed:\n"
        << said;
}

// A replay from a pipe publishes each write as its line arrives, not once a
// block of input has filled: each line goes in only after the one before it
// was seen published.
TEST_F(MonitorTest, ReplayFromAPipePublishesEachLineAsItArrives) {
    OutputFile place;
    const std::string fifo = place.Path() + ".fifo";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    Running replay, monitor;
    ASSERT_TRUE(replay.Start({"sh", "-c", "exec \"$0\" --replay - < \"$1\"", ProgramPath("lumivex-publisher"), fifo}));
    ASSERT_TRUE(monitor.Start({ProgramPath("lumivex-monitor"), "--bins", "0", "--stations", "0"}));
    std::ofstream feed(fifo);
    feed << "# lumivex recording 2\n# stations 0\n"
         << "time_s,instrument,bin,write,stamp_us,station,x,y,z,azimuth,elevation,roll\n"
         << "# channel 0 0 flags 0x21F description Live\n";
    size_t seen = 0;
    for (int line = 1; line <= 5; ++line) {
        feed << "0.00000" << line << ",0,0," << line << ",0,0," << line << ".5,0,0,0,0,0\n" << std::flush;
        seen = monitor.output.WaitFor(" " + std::to_string(line) + ".5000 ", seen, runLimit);
        ASSERT_NE(seen, std::string::npos) << "line " << line << " was not published\n" << monitor.output.Text();
    }
    feed.close();
    std::remove(fifo.c_str());
}

// The rate comes from the server's write counter when it keeps one (however
// often the poses change), else from the changes seen. Times are the test's own.
TEST_F(MonitorTest, RateFollowsTheWriteCounterOrElseTheChanges) {
    struct Case {
        uint32_t firstCount, lastCount;
        float lastX;
        double hz;
        uint64_t missed;
    };
    const Case cases[] = {{1, 101, 0.0f, 100.0, 99}, {0, 0, 50.0f, 50.0, 0}};
    for (const Case& c : cases) {
        ChannelWriter writer(0, 0);
        ASSERT_TRUE(writer.Open(0600, ChannelState{}));
        ChannelMonitor monitor(0, 0x1, 0x1);
        std::vector<MonitorEvent> events;
        const MonitorClock::time_point start = MonitorClock::now();
        ChannelState state;
        for (int step = 0; step <= 50; ++step) {
            state.writeCount = step == 50 ? c.lastCount : c.firstCount;
            state.records[0].x = std::min(static_cast<float>(step), c.lastX);
            ASSERT_TRUE(writer.Publish(state));
            monitor.Poll(start + Milliseconds(20 * step), events);
        }
        const ChannelWatch& channel = monitor.Channels()[0];
        EXPECT_NEAR(channel.StationHz(channel.stations[0]), c.hz, 1e-9) << "counter " << c.lastCount;
        EXPECT_EQ(channel.missedWrites, c.missed);
        writer.Unlink();
    }
}

// The age column for stamps around the poll's clock: a stamp 20 s old is
// stale (it showed 0 ms), one a little ahead of the poll is 0 ms old (it
// showed a negative age), one 2 s old is 2 s old.
TEST_F(MonitorTest, AgeIsTheStampsTrueAgeOrStale) {
    const struct {
        int64_t behindMicros;
        std::string age;
    } cases[] = {{20000000, " stale"}, {-5000, "       0"}, {2000000, "    2000"}};
    ChannelWriter writer(0, 0);
    ASSERT_TRUE(writer.Open(0600, ChannelState{}));
    ChannelMonitor monitor(0, 0x1, 0x1);
    std::vector<MonitorEvent> events;
    ChannelState state;
    for (const auto& c : cases) {
        MonitorClock::time_point now = MonitorClock::now();
        auto micros = std::chrono::duration_cast<std::chrono::microseconds>(now.time_since_epoch()).count();
        state.timestampMicros = static_cast<uint32_t>(micros - c.behindMicros);
        state.records[0].x += 1.0f;
        ++state.writeCount;
        ASSERT_TRUE(writer.Publish(state));
        monitor.Poll(now, events);
        const ChannelWatch& channel = monitor.Channels()[0];
        std::string line = FormatStation(0, channel, channel.stations[0], now);
        EXPECT_EQ(line.substr(line.size() - c.age.size()), c.age) << line;
    }
    writer.Unlink();
}

// A server that keeps neither counter nor stamp changes its flags and a pose
// between two polls at the same moment: two writes, which the file must keep
// apart so that it reads back.
TEST_F(MonitorTest, RecordingKeepsChangesWithoutCounterOrStampApart) {
    ChannelWriter writer(0, 0);
    ASSERT_TRUE(writer.Open(0600, ChannelState{}));
    ChannelMonitor monitor(0, 0x1, 0x1);
    OutputFile csv;
    WriteRecorder recorder;
    ASSERT_TRUE(recorder.Open(csv.Path(), monitor, 0x1, "test"));
    const MonitorClock::time_point now = MonitorClock::now();
    std::vector<MonitorEvent> events;
    ChannelState state;
    for (uint32_t flags : {0x211u, 0x210u}) {
        state.flags = flags;
        state.records[0].x = static_cast<float>(flags);
        ASSERT_TRUE(writer.Publish(state));
        monitor.Poll(now, events);
        ASSERT_TRUE(recorder.Record(monitor, now));
    }
    ASSERT_TRUE(recorder.Close());
    writer.Unlink();

    Recording recording = ReadRecording(csv.Path());
    EXPECT_EQ(recording.error + recording.cut, "");
    ASSERT_EQ(recording.writes.size(), 2u);
    EXPECT_EQ(recording.writes[1].channel.flags, 0x210u);
    EXPECT_TRUE(recording.writes[1].channelChanged);
    EXPECT_EQ(recording.writes[1].stations[0].record.x, static_cast<float>(0x210));
}

// A server whose stamps step back by a second, then writes once more and
// removes its channel before the next poll: times go on by the recorder's
// clock from the step on, the file says the stamps went back, and the last
// write comes before the one removal.
TEST_F(MonitorTest, RecordingTimesGoOnWhenStampsStepBackAndTheLastWriteComesBeforeItsRemoval) {
    const struct {
        int64_t stampMicros;  // from the first poll's clock
        bool remove;          // after the write
        double seconds;
        bool stampsBack;
    } polls[] = {{0, false, 0.0, false},
                 {10000, false, 0.01, false},
                 {-1000000, false, 0.02, true},
                 {-990000, false, 0.03, false},
                 {-980000, true, 0.04, false}};
    ChannelWriter writer(0, 0);
    ASSERT_TRUE(writer.Open(0600, ChannelState{}));
    ChannelMonitor monitor(0, 0x1, 0x1);
    OutputFile csv;
    WriteRecorder recorder;
    ASSERT_TRUE(recorder.Open(csv.Path(), monitor, 0x1, "test"));
    const MonitorClock::time_point start = MonitorClock::now();
    const int64_t startMicros = std::chrono::duration_cast<std::chrono::microseconds>(start.time_since_epoch()).count();
    std::vector<MonitorEvent> events;
    ChannelState state;
    for (std::size_t i = 0; i <= std::size(polls); ++i) {
        const MonitorClock::time_point now = start + std::chrono::milliseconds(10 * i);
        if (i < std::size(polls)) {
            state.writeCount = static_cast<uint32_t>(i + 1);
            state.timestampMicros = static_cast<uint32_t>(startMicros + polls[i].stampMicros);
            ASSERT_TRUE(writer.Publish(state));
            if (polls[i].remove) writer.Unlink();
        }
        // The removal is seen once the system has told of it: one poll finds
        // it with the write before it.
        monitor.Poll(now, events);
        for (int attempt = 0; i < std::size(polls) && polls[i].remove && !monitor.Channels()[0].gone; ++attempt) {
            ASSERT_LT(attempt, 10000) << "the removal was never seen";
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
            monitor.Poll(now, events);
        }
        ASSERT_TRUE(recorder.Record(monitor, now));
    }
    ASSERT_TRUE(recorder.Close());

    Recording recording = ReadRecording(csv.Path());
    EXPECT_EQ(recording.error + recording.cut, "");
    ASSERT_EQ(recording.writes.size(), std::size(polls)) << csv.Text();
    for (std::size_t i = 0; i < std::size(polls); ++i) {
        EXPECT_NEAR(recording.writes[i].seconds, polls[i].seconds, 1e-6) << i;
        EXPECT_EQ(recording.writes[i].stampsBack, polls[i].stampsBack) << i;
    }
    const std::string text = csv.Text();
    const std::size_t gone = text.find("\n# channel 0 0 gone\n");
    EXPECT_TRUE(gone != std::string::npos && gone > text.rfind("\n0.040000,")) << text;
    EXPECT_EQ(text.find("# channel 0 0 gone", gone + 2), std::string::npos) << text;
}

// A server dies in the middle of a write beside a recorder and is started
// again: the file marks the death once, holds neither the half write nor a
// counter twice, and the replay says where the server died.
TEST_F(MonitorTest, RecordingMarksAServerThatDiedMidWriteAndLeavesItsHalfWriteOut) {
    ASSERT_EQ(Publisher::Run({"--bins", "0", "--once", "--motion", "counter"}), 0);
    OutputFile csv;
    Running recorder;
    ASSERT_TRUE(recorder.Start({ProgramPath("lumivex-monitor"), "--csv", csv.Path(), "--force", "--bins", "0"}));
    ASSERT_NE(csv.WaitFor("\n0.000000,0,0,1,", 0, runLimit), std::string::npos) << csv.Text();
    ASSERT_TRUE(DieInTheMiddleOfAWrite(0, 999.0f, true));
    ASSERT_NE(csv.WaitFor("\n# died 0 0\n", 0, runLimit), std::string::npos) << csv.Text();
    ASSERT_EQ(Publisher::Run({"--bins", "0", "--once", "--motion", "counter", "--pose", "0=42,0,0,0,0,0"}), 0);
    ASSERT_NE(csv.WaitFor(",42,0,0,0,0,0\n", 0, runLimit), std::string::npos) << csv.Text();
    ASSERT_EQ(recorder.StopWith(SIGINT), 0);
    Recording recording = ReadRecording(csv.Path());
    ASSERT_EQ(recording.error, "");
    std::set<std::pair<uint32_t, uint32_t>> counters;
    for (const RecordedWrite& write : recording.writes) {
        EXPECT_NE(write.stations[0].record.x, 999.0f) << csv.Text();
        EXPECT_TRUE(counters.insert({write.writeCount, write.stampMicros}).second) << csv.Text();
    }
    EXPECT_EQ(recording.writes.back().stations[0].record.x, 42.0f);
    Outcome replay = RunToEnd({ProgramPath("lumivex-publisher"), "--replay", csv.Path(), "--speed", "1000"},
                              ChildEnvironment({}), runLimit);
    EXPECT_NE(replay.output.find("died here holding its mutex"), std::string::npos) << replay.output;
}

// A mutex held past the bound is said once, and once more when it is
// released; the line output says nothing of it before.
TEST_F(MonitorTest, LineOutputSaysOnceThatAChannelStaysHeldAndOnceThatItIsBack) {
    Publish({"--bins", "0", "--hold-lock-ms", "1500", "--rate", "0.5"});
    Running monitor;
    ASSERT_TRUE(monitor.Start({ProgramPath("lumivex-monitor"), "--bins", "0"}));
    size_t held = monitor.output.WaitFor(": held for more than 1 s;", 0, runLimit);
    ASSERT_NE(held, std::string::npos) << monitor.output.Text();
    size_t back = monitor.output.WaitFor(": released; the channel is read again\n", held, runLimit);
    ASSERT_NE(back, std::string::npos) << monitor.output.Text();
    ASSERT_NE(monitor.output.WaitFor(": held for more than 1 s;", back, runLimit), std::string::npos);
    monitor.StopWith(SIGINT);
    std::string text = monitor.output.Text();
    EXPECT_EQ(text.find(": held for", held + 1), text.find(": held for", back)) << "said once per hold";
}

// Needs `lumivex-publisher --replay FILE`, which publishes a recording again.
// A replay may repeat the file, so the check is that the replayed channels and
// poses are the recorded ones and that the last recorded poses come back.
TEST_F(MonitorTest, ReplayedRecordingPublishesTheRecordedPoses) {
    Publish({"--rate", "100", "--flags", "113", "--description", "Recorded tracker", "--pose", fixedPose});
    OutputFile originalCsv, replayedCsv;
    Running first, second, replay;
    ASSERT_TRUE(StartRecording(first, originalCsv.Path()));
    std::this_thread::sleep_for(std::chrono::seconds(1));
    ASSERT_EQ(first.StopWith(SIGINT), 0);
    publisher.reset();
    ASSERT_EQ(Publisher::Run({"--unlink"}), 0);

    ASSERT_TRUE(StartRecording(second, replayedCsv.Path()));
    ASSERT_TRUE(replay.Start({ProgramPath("lumivex-publisher"), "--replay", originalCsv.Path()}));
    int status = 0;
    ASSERT_TRUE(replay.process.WaitExit(runLimit, status)) << "the replay did not end";
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << DescribeStatus(status) << replay.output.Text();
    Recording original = ReadRecording(originalCsv.Path());
    // The replay removes its channels as it ends: once the recorder saw
    // that, it has read every write before.
    for (const ChannelKey& channel : original.channels) {
        std::string gone =
            "# channel " + std::to_string(std::get<0>(channel)) + " " + std::to_string(std::get<1>(channel)) + " gone";
        ASSERT_NE(replayedCsv.WaitFor(gone, 0, runLimit), std::string::npos) << replayedCsv.Text();
    }
    ASSERT_EQ(second.StopWith(SIGINT), 0);

    Recording replayed = ReadRecording(replayedCsv.Path());
    ASSERT_EQ(original.poses.size(), 8u);
    for (const ChannelKey& channel : original.channels)
        EXPECT_EQ(replayed.channels.count(channel), 1u) << std::get<3>(channel);
    const Pose unwritten(6, 0.0f);  // what a reader may see between creation and the first write
    for (const auto& [key, recorded] : original.poses) {
        const std::vector<Pose>& poses = recorded;
        const std::vector<Pose>& again = replayed.poses[key];
        EXPECT_NE(std::find(again.begin(), again.end(), poses.back()), again.end())
            << "last pose not replayed, bin " << std::get<1>(key) << " station " << std::get<2>(key);
        auto invented = std::count_if(again.begin(), again.end(), [&](const Pose& pose) {
            return pose != unwritten && std::find(poses.begin(), poses.end(), pose) == poses.end();
        });
        EXPECT_EQ(invented, 0) << "poses never recorded, bin " << std::get<1>(key) << " station " << std::get<2>(key);
    }
}

// The server in layout_server.py uses none of Lumivex's code. Instrument 1,
// bins 0 and 10 (digit A), stations 0 and 2 active, Cartesian, centimetres.
TEST_F(MonitorTest, ServerWrittenFromTheLayoutDocumentIsReadByViewerAndMonitor) {
    Running server;
    ASSERT_TRUE(server.Start({"python3", std::string(LUMIVEX_TESTS_DIR) + "/layout_server.py", "--instrument", "1",
                              "--bins", "0,10", "--flags", "115", "--description", "Layout server"}));
    ASSERT_NE(server.output.WaitFor("ready\n", 0, runLimit), std::string::npos) << server.output.Text();

    Outcome viewer =
        RunToEnd({ProgramPath("lumivex"), "/Txi2", "/Txb401"}, ChildEnvironment({}, {"DISPLAY"}), runLimit);
    Outcome monitor = Monitor({"--once", "--instrument", "1", "--bins", "0,10"});

    ASSERT_EQ(ExitStatus(monitor), 0) << monitor.output;
    std::vector<std::string> reportRows;
    for (int bin : {0, 10}) {
        for (int k = 0; k < 4; ++k) {
            std::string active = k % 2 == 0 ? " ACTIVE" : " INACTIVE";
            reportRows.push_back(": QMT(1," + std::to_string(bin) + "," + std::to_string(k) + ") Layout server " +
                                 std::to_string(bin) + "(2)" + active + " CART|| CMETER");
            double numbers[6];
            std::string rest;
            std::string name = "(1," + std::to_string(bin) + "," + std::to_string(k) + ")";
            ASSERT_TRUE(StationRow(monitor.output, name, numbers, rest)) << name << "\n" << monitor.output;
            const double expected[6] = {
                10.0 * bin + k + 0.5,        -0.25 * k, 2.0 + k, 0.5 * degreesPerRadian, -0.25 * degreesPerRadian,
                0.125 * k * degreesPerRadian};
            for (int i = 0; i < 6; ++i) EXPECT_NEAR(numbers[i], expected[i], 0.006) << name << " number " << i;
            double age = -1.0;
            EXPECT_EQ(std::sscanf(rest.c_str(), "%*s %lf", &age), 1) << "no age from the time stamp: " << rest;
            EXPECT_LT(age, 5000.0);
        }
    }
    ExpectInOrder(viewer.output, reportRows);
    ExpectInOrder(monitor.output, {"channel (1,0) flags 0x00000115 active 0,2 CART CMETER \"Layout server 0\"",
                                   "channel (1,10) flags 0x00000115 active 0,2 CART CMETER \"Layout server 10\""});
}

}  // namespace
