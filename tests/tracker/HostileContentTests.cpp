// What a server (or anyone who can write its objects) puts INTO a channel,
// read by the real viewer, monitor and bridge sender: escape sequences and
// line breaks in the description, a huge region without a NUL, a channel
// visible before its first content, a server that died holding its mutex,
// and a server slow to release its mutex at start-up. Each reader must print the description escaped
// and bounded, and report what the server really publishes.
#include <fcntl.h>
#include <signal.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstring>
#include <functional>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/DdsLoopback.h"
#include "tests/support/OutputFile.h"
#include "tests/tracker/TrackerTestSupport.h"
#include "channel/ChannelState.h"
#include "text/ConsoleText.h"
#include "channel/StationReader.h"

namespace {

using namespace testsupport;

const Milliseconds patience(20000);

// A reader as a user runs it: the program and its arguments, and for one that
// runs until stopped, the text whose line it is stopped after.
struct ReaderRun {
    const char* name;
    std::vector<std::string> arguments;
    std::string stopAfter;
};

// The viewer first: it is the only reader of the cases about start-up.
std::vector<ReaderRun> Readers() {
    // ctest runs each test in a process of its own.
    const std::string domain = std::to_string(1 + getpid() % 200);
    return {{"viewer report", {"lumivex"}, ""},
            {"monitor --once", {"lumivex-monitor", "--once", "--bins", "0"}, ""},
            {"monitor lines", {"lumivex-monitor", "--bins", "0"}, "channel (0,0)"},
            {"bridge sending line", {"lumivex-bridge", "send", "--bins", "0", "--domain", domain}, "bin 0: "}};
}

class HostileContentTest : public SharedMemoryTest {
public:
    // Runs a lumivex-publisher to its end; true when it succeeded.
    bool PublishOnce(std::vector<std::string> options) {
        options.insert(options.begin(), {ProgramPath("lumivex-publisher"), "--once", "--bins", "0"});
        Outcome run = RunToEnd(options, Environment(), patience);
        EXPECT_TRUE(run.finished && run.status == 0) << run.output;
        return run.finished && run.status == 0;
    }
    bool StartPublisher(const std::vector<std::string>& options) {
        std::vector<std::string> arguments{ProgramPath("lumivex-publisher")};
        arguments.insert(arguments.end(), options.begin(), options.end());
        return publisher.Start({arguments, Environment(), ""});
    }
    // Wait until the object exists, or until bin 0's write counter reached
    // `count`: then a publisher started for the case is busy before a reader starts.
    bool WaitForObject(const std::string& name) const {
        return WaitFor([&] { return access(Path(name).c_str(), F_OK) == 0; });
    }
    bool WaitForWrites(uint32_t count) {
        TrackerClient client;
        ChannelState state;
        return WaitFor(
            [&] { return client.Attach() && ReadChannelState(client, 0, state) && state.writeCount >= count; });
    }
    bool WaitForHeld() {
        TrackerClient client;
        ChannelState state;
        return WaitFor(
            [&] { return client.Attach() && !ReadChannelState(client, 0, state) && client.Trouble(0).held; });
    }
    // The region grown to `size` bytes and its description filled without a NUL.
    bool FillRegion(std::size_t size) {
        std::string path = Path(RegionName(0, 0));
        int descriptor = open(path.c_str(), O_RDWR);
        bool grown = descriptor >= 0 && ftruncate(descriptor, static_cast<off_t>(size)) == 0;
        void* bytes = grown ? mmap(nullptr, size, PROT_WRITE, MAP_SHARED, descriptor, 0) : MAP_FAILED;
        if (descriptor >= 0) close(descriptor);
        if (bytes == MAP_FAILED) return false;
        std::memset(static_cast<char*>(bytes) + station_layout::descriptionOffset, 'A',
                    size - station_layout::descriptionOffset);
        return munmap(bytes, size) == 0;
    }

    static std::string Output(ReaderRun reader) {
        reader.arguments[0] = ProgramPath(reader.arguments[0]);
        if (reader.stopAfter.empty()) return RunToEnd(reader.arguments, Environment(), patience).output;
        OutputFile output;
        ChildProcess program;
        EXPECT_TRUE(program.Start({reader.arguments, Environment(), output.Path()})) << reader.arguments[0];
        std::size_t found = output.WaitFor(reader.stopAfter, 0, patience);
        if (found != std::string::npos) output.WaitFor("\n", found, patience);
        program.Stop();
        return output.Text();
    }

    ChildProcess publisher;

private:
    static bool WaitFor(const std::function<bool()>& condition) {
        for (int attempt = 0; attempt < 2000; ++attempt, std::this_thread::sleep_for(Milliseconds(5)))
            if (condition()) return true;
        return false;
    }
    static std::vector<std::string> Environment() {
        return ChildEnvironment({std::string("CYCLONEDDS_URI=") + ddsLoopbackOnly}, {"DISPLAY"});
    }
};

struct HostileContent {
    const char* name;
    std::function<bool(HostileContentTest&)> serve;
    std::size_t readers;                 // how many of Readers(), from the first, read it
    bool servedPerReader;                // a reader changes what it finds, so each finds it served afresh
    std::string shown;                   // every reader's output holds it
    std::vector<std::string> forbidden;  // no reader's output holds any of them
    int runs;
};

const std::string hostileDescription =
    "Tracker\x1b]0;owned\x07\x1b[2J\nSensor 99: forged\x7f\xc2\x9b"
    "1m";
const std::string description2779(station_layout::maxDescriptionLength + 1, 'A');

const HostileContent contents[] = {
    {"EscapesAndLineBreaksInTheDescription",
     [](HostileContentTest& test) {
         return test.PublishOnce({"--description", hostileDescription});
     },
     4,
     false,
     "Tracker\\x1b]0;owned\\x07\\x1b[2J\\x0aSensor 99: forged\\x7f\\xc2\\x9b1m",
     {"\x1b", "\x07", "\nSensor 99", "\xc2\x9b"},
     1},
    // 537 MB of output from the viewer before: each reader stops where a
    // region of the published size ends.
    {"RegionOf64MegabytesWithoutNul",
     [](HostileContentTest& test) { return test.PublishOnce({}) && test.FillRegion(64u << 20); },
     4,
     false,
     description2779.substr(1),
     {description2779},
     1},
    // The publisher dies while it holds bin 0's mutex in its first write, before
    // it ever wrote bin 1 under the lock: bin 1 still shows its first content,
    // and bin 0 what the dead server left there, in its unit (a reader that
    // gave up on the abandoned mutex showed "Not connected" in METERS). The
    // first reader makes the mutex usable again, so each gets a dead server of
    // its own.
    {"ServerThatDiedHoldingAMutexBeforeItsFirstLockedWrite",
     [](HostileContentTest& test) {
         test.publisher.Stop();
         bool started = test.StartPublisher({"--rate", "1", "--hold-lock-ms", "2000", "--flags", "0x11F"}) &&
                        test.WaitForObject(MutexName(0, 1));
         std::this_thread::sleep_for(Milliseconds(500));
         return started && test.publisher.Signal(SIGKILL);
     },
     2,
     true,
     "CMETER",
     {"INCHES", "METERS", "Not connected", "not read", "not published"},
     1},
    // A server dies having written station 0's x (999) of a write, and no
    // other field: no reader shows that x, each says the server died.
    {"ServerThatDiedInTheMiddleOfAWrite",
     [](HostileContentTest& test) { return test.PublishOnce({}) && DieInTheMiddleOfAWrite(0, 999.0f, true); },
     4,
     false,
     "its server died in the middle of a write",
     {"999.0", "Not connected"},
     1},
    // An inches server that holds its mutex past the start-up wait: reported
    // as held, its unit left to the first read (it was METERS before).
    {"StartUpBesideAServerHoldingItsMutexPastTheWait",
     [](HostileContentTest& test) {
         return test.PublishOnce({"--flags", "0x01F"}) &&
                test.StartPublisher({"--bins", "0", "--flags", "0x01F", "--hold-lock-ms", "60000", "--rate", "0.01"}) &&
                test.WaitForHeld();
     },
     2,
     false,
     "held by another process",
     {"Not connected", "METERS", "INCHES"},
     1},
    // A live server that holds its mutex 200 ms of every 250: the viewer's
    // report and lumivex-monitor --once wait for it.
    {"StartUpBesideAServerHoldingItsMutex200MsPerWrite",
     [](HostileContentTest& test) {
         return test.PublishOnce({"--flags", "0x11F"}) &&
                test.StartPublisher({"--bins", "0", "--flags", "0x11F", "--hold-lock-ms", "200", "--rate", "4"}) &&
                test.WaitForWrites(2);
     },
     2,
     false,
     "CMETER",
     {"Not connected", "METERS", "held by another process"},
     3},
};

void PrintTo(const HostileContent& content, std::ostream* out) { *out << content.name; }

class HostileChannel : public HostileContentTest, public ::testing::WithParamInterface<HostileContent> {};

TEST_P(HostileChannel, EveryReaderShowsItEscapedBoundedAndAsPublished) {
    const HostileContent& content = GetParam();
    ASSERT_FALSE(ProgramPath("lumivex").empty()) << "LUMIVEX_BIN is not set";
    const std::vector<ReaderRun> readers = Readers();
    ASSERT_TRUE(content.serve(*this));
    for (int run = 0; run < content.runs; ++run) {
        for (std::size_t r = 0; r < content.readers; ++r) {
            const ReaderRun& reader = readers[r];
            if (content.servedPerReader && r > 0) {
                ASSERT_TRUE(content.serve(*this));
            }
            std::string output = Output(reader);
            EXPECT_NE(output.find(content.shown), std::string::npos) << reader.name << ":\n" << output;
            for (const std::string& text : content.forbidden)
                EXPECT_EQ(output.find(text), std::string::npos) << reader.name << ":\n" << output.substr(0, 8192);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Contents, HostileChannel, ::testing::ValuesIn(contents),
                         [](const ::testing::TestParamInfo<HostileContent>& info) {
                             return std::string(info.param.name);
                         });

// What passes to a terminal as it is and what is escaped: well-formed UTF-8
// passes; C1 controls, overlong forms, surrogates, code points past U+10FFFF,
// cut-off sequences, line separators and bidirectional controls are escaped
// byte by byte.
TEST(ConsoleTextTest, EscapesControlsAndBytesThatAreNotWellFormedUtf8) {
    const struct {
        std::string text, shown;
    } cases[] = {
        {"Tracker 7 \\ \"x\" ~", "Tracker 7 \\ \"x\" ~"},
        {"Gr\xc3\xbc\xc3\x9f\xe2\x9c\x93 \xf0\x9d\x84\x9e \xc2\xa0",
         "Gr\xc3\xbc\xc3\x9f\xe2\x9c\x93 \xf0\x9d\x84\x9e \xc2\xa0"},
        {"a\tb\rc\x1b[0m\x7f", "a\\x09b\\x0dc\\x1b[0m\\x7f"},
        {"\xc2\x85\xc2\x9b", "\\xc2\\x85\\xc2\\x9b"},
        {"\xc0\xaf\xe0\x80\xaf\xed\xa0\x80", "\\xc0\\xaf\\xe0\\x80\\xaf\\xed\\xa0\\x80"},
        {"\xf4\x90\x80\x80\xe2\x9c", "\\xf4\\x90\\x80\\x80\\xe2\\x9c"},
        // U+2027 | U+2028 U+202E | U+202F U+2065 | U+2066 U+2069 | U+206A: the
        // separators and bidirectional controls between the bars are escaped.
        {"\xe2\x80\xa7|\xe2\x80\xa8\xe2\x80\xae|\xe2\x80\xaf\xe2\x81\xa5|\xe2\x81\xa6\xe2\x81\xa9|\xe2\x81\xaa",
         "\xe2\x80\xa7|\\xe2\\x80\\xa8\\xe2\\x80\\xae|\xe2\x80\xaf\xe2\x81\xa5|\\xe2\\x81\\xa6\\xe2\\x81\\xa9|"
         "\xe2\x81\xaa"},
        // U+061B | U+061C | U+061D U+200D | U+200E U+200F | U+2010: the Arabic
        // letter mark and the left-to-right and right-to-left marks reorder too.
        {"\xd8\x9b|\xd8\x9c|\xd8\x9d\xe2\x80\x8d|\xe2\x80\x8e\xe2\x80\x8f|\xe2\x80\x90",
         "\xd8\x9b|\\xd8\\x9c|\xd8\x9d\xe2\x80\x8d|\\xe2\\x80\\x8e\\xe2\\x80\\x8f|\xe2\x80\x90"},
    };
    for (const auto& c : cases) EXPECT_EQ(ConsoleText(c.text), c.shown) << c.shown;
}

}  // namespace
