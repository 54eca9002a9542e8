// The Windows programs run as a user runs them: their command lines and exit
// statuses, the monitor's snapshot and recording, the publisher's replay of a
// recording made on Linux, and the viewer's start-up report.
#include <fstream>
#include <iterator>

#include "tests/windows/WindowsTestSupport.h"

namespace testsupport {
namespace {

using ProgramsTest = WindowsProgramTest;

struct ProgramCase {
    std::string program;
    std::vector<std::string> arguments;
    int status;
    std::string says;
};

// The viewer's main returns -1 for a switch it does not know: Windows keeps
// all 32 bits of it.
TEST_F(ProgramsTest, CommandLinesEndWithTheirStatusAndSayWhy) {
    const ProgramCase cases[] = {
        {"lumivex", {"/Z"}, -1, "Tracker types supported:"},
        {"lumivex-publisher", {"--version"}, 0, "lumivex-publisher 0.4.0"},
        {"lumivex-monitor", {"--version"}, 0, "lumivex-monitor 0.4.0"},
        {"lumivex-publisher", {"--rate", "x"}, 2, "--rate"},
        {"lumivex-monitor", {"--stations", "32"}, 2, "--stations"},
        {"lumivex-monitor", {"--once"}, 1, "nothing is published for instrument 0, bins 0-1"},
    };
    for (const ProgramCase& c : cases) {
        Outcome run = Run(c.program, c.arguments);
        ASSERT_TRUE(run.finished) << c.program;
        EXPECT_EQ(run.status, c.status) << c.program << " " << c.arguments[0] << ":\n" << run.output;
        EXPECT_NE(run.output.find(c.says), std::string::npos) << run.output;
    }
}

std::string FileText(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

TEST_F(ProgramsTest, MonitorShowsOneSnapshotAndRecordsEveryWrite) {
    OutputFile output, csv;
    ChildProcess publisher;
    ASSERT_TRUE(StartPublisher(publisher, output,
                               {"--rate", "20", "--motion", "still", "--flags", "135", "--description", "Windows test",
                                "--pose", "2=1.5,0.25,1.8,0,0,0"}));
    Outcome once;
    ASSERT_TRUE(WaitUntil([&] { return (once = Run("lumivex-monitor", {"--once"})).status == 0; })) << once.output;
    EXPECT_NE(once.output.find("channel (0,0) flags 0x00000135 active 0,2 CART EULR CMETER \"Windows test\""),
              std::string::npos)
        << once.output;
    Outcome recorded = Run("lumivex-monitor", {"--csv", csv.Path(), "--force", "--duration", "1"});
    ASSERT_EQ(recorded.status, 0) << recorded.output;
    std::string text = FileText(csv.Path());
    EXPECT_EQ(text.rfind("# lumivex recording", 0), 0u) << text.substr(0, 400);
    EXPECT_NE(text.find(",2,1.5,0.25,1.8,0,0,0\n"), std::string::npos) << text.substr(0, 800);
    EXPECT_EQ(text.find('\r'), std::string::npos) << "lines end as on Linux, so the recording replays there";
}

TEST_F(ProgramsTest, PublisherReplaysARecordingMadeOnLinux) {
    OutputFile output;
    ChildProcess publisher;
    ASSERT_TRUE(StartPublisher(publisher, output,
                               {"--replay", std::string(LUMIVEX_CORPUS) + "/recording/version2.csv.gz", "--loop"}));
    Outcome once;
    ASSERT_TRUE(WaitUntil([&] {
        return (once = Run("lumivex-monitor", {"--once", "--bins", "0-15"})).status == 0;
    })) << once.output
        << output.Text();
    EXPECT_NE(once.output.find("channel (0,"), std::string::npos) << once.output;
}

struct ReportCase {
    std::vector<std::string> published;  // the publisher's options; none: no publisher
    std::vector<std::string> lines;
};

// The report of what is published comes before the window opens; the viewer
// is then ended from outside.
TEST_F(ProgramsTest, ViewerReportsWhatIsPublished) {
    const ReportCase cases[] = {
        {{"--rate", "20", "--bins", "0", "--flags", "211"},
         {"QMT Tracking configuration:", "Sensor  1: QMT(0,0,0) Simulated tracker(1) ACTIVE CART|| METERS",
          "Sensor  2: QMT(0,0,1) Simulated tracker(1) INACTIVE CART|| METERS", "Total tracking stations = 4"}},
        {{}, {"Sensor  1: QMT(0,0,0) Not connected(0) INACTIVE || METERS", "Total tracking stations = 4"}},
    };
    for (const ReportCase& c : cases) {
        OutputFile publisherOutput, viewerOutput;
        ChildProcess publisher, viewer;
        if (!c.published.empty()) {
            ASSERT_TRUE(StartPublisher(publisher, publisherOutput, c.published));
            ASSERT_TRUE(WaitUntil([&] { return Run("lumivex-monitor", {"--once", "--bins", "0"}).status == 0; }));
        }
        ASSERT_TRUE(viewer.Start({{ProgramPath("lumivex"), "/V"}, Environment(), viewerOutput.Path()}));
        for (const std::string& line : c.lines)
            EXPECT_NE(viewerOutput.WaitFor(line, 0, Milliseconds(20000)), std::string::npos) << line << "\n"
                                                                                             << viewerOutput.Text();
    }
}

}  // namespace
}  // namespace testsupport
