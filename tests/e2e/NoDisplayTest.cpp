// The viewer started where no X display can be opened, or on one without
// OpenGL: it must say so, still run through its whole start-up, and end with
// status 3 rather than crash or end as a quit by the user would.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <string>
#include <vector>

#include "tests/e2e/TrackerChannels.h"
#include "tests/e2e/ViewerProcess.h"
#include "tests/support/ExpectInOrder.h"
#include "tests/support/XServer.h"

namespace e2e {
namespace {

const Milliseconds RunLimit(10000);
const int NoWindowStatus = 3;

class NoDisplayTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(ProgramPath("lumivex").empty()) << "LUMIVEX_BIN is not set";
        ASSERT_TRUE(channels.Unlink());
    }

    void TearDown() override { EXPECT_TRUE(channels.Unlink()); }

    // Without a display unless `display` names one.
    Outcome RunViewer(const std::vector<std::string>& switches, const std::string& display = "") {
        std::vector<std::string> arguments{ProgramPath("lumivex")};
        arguments.insert(arguments.end(), switches.begin(), switches.end());
        std::vector<std::string> added{channels.PrefixSetting()};
        if (!display.empty()) added.push_back("DISPLAY=" + display);
        return RunToEnd(arguments, ChildEnvironment(added, {"DISPLAY"}), RunLimit);
    }

    TrackerChannels channels;  // none published: a tracking server that is not running
};

void ExpectNoWindowExit(const Outcome& run) {
    ASSERT_TRUE(run.finished) << "the viewer did not end by itself";
    ASSERT_TRUE(WIFEXITED(run.status)) << DescribeStatus(run.status);
    EXPECT_EQ(WEXITSTATUS(run.status), NoWindowStatus);
}

const std::string Rule = "\n" + std::string(78, '=');

std::string NotConnectedRow(int row) {
    const std::string number = std::to_string(row);
    return "\n\tScale normalized by  100.00\n\tSensor  " + number + ": QMT(0,0," + std::to_string(row - 1) +
           ") Not connected(0) INACTIVE || METERS";
}

TEST_F(NoDisplayTest, StartsUpCompletelyAndEndsWithStatusThree) {
    Outcome run = RunViewer({});

    ExpectNoWindowExit(run);
    ExpectInOrder(
        run.output,
        {"\nIgnition ... ", "\n\tInit OpenGL ... ",
         "\nNo X display could be opened (DISPLAY=): the graphics window was not created.", "\n\tCALLBACKs ... ",
         "\n\tTracking ... ", Rule, "\nQMT Tracking configuration:", NotConnectedRow(1), NotConnectedRow(2),
         NotConnectedRow(3), NotConnectedRow(4), "\n\tTotal tracking stations = 4", Rule, "\n\tObjects ... ",
         "\n\tBuilding default environment ...", "\n\tKeymapping ... ", "\n\t\tSpacebar\tToggle tracking for selected.",
         "\n\t\tH-Key   \tPrint this help to console window.", StartupEnd});
    EXPECT_EQ(run.output.find("Processing command line parameters"), std::string::npos);
    EXPECT_EQ(run.output.compare(run.output.size() - std::string(StartupEnd).size(), std::string::npos, StartupEnd), 0)
        << "nothing may follow the help";
}

TEST_F(NoDisplayTest, DisplayWithoutOpenGlIsReportedAsNoWindow) {
    XServer server;
    ASSERT_TRUE(server.Start({"-extension", "GLX"}));

    Outcome run = RunViewer({}, server.Display());

    ExpectNoWindowExit(run);
    ExpectInOrder(run.output,
                  {"\n\tInit OpenGL ... ",
                   "\nThe X display " + server.Display() + " has no OpenGL (GLX): the graphics window was not created.",
                   "\n\tCALLBACKs ... ", StartupEnd});
}

// A server started without -noreset resets whenever its last client leaves,
// here each time a viewer ends; every quick start after it gets its window.
TEST_F(NoDisplayTest, EveryQuickStartOpensTheWindowOnAServerThatResetsWhenEmpty) {
    XServer server;
    ASSERT_TRUE(server.Start({}, XServer::LastClientLeaving::Reset));
    for (int start = 0; start < 12; ++start) {
        ViewerProcess viewer;
        ASSERT_TRUE(viewer.Start({}, ChildEnvironment({channels.PrefixSetting(), "DISPLAY=" + server.Display()})));
        ASSERT_TRUE(viewer.Expect("\n\t\tZ-Up Matrix ... ", RunLimit)) << "start " << start << ":\n" << viewer.Output();
    }
}

TEST_F(NoDisplayTest, TrackerSwitchesPrintTheirSettingsFirst) {
    Outcome run = RunViewer({"/TP", "/Txb3"});

    ExpectNoWindowExit(run);
    EXPECT_EQ(run.output.rfind("\nProcessing command line parameters ..."
                               "\n\tTracker type set to: (P)olhemus"
                               "\n\tTracker bin mask set to: 0x3"
                               "\nIgnition ... ",
                               0),
              0u)
        << run.output;
    // Only the tracking server's type is served: no configuration, no rows.
    ExpectInOrder(run.output, {"\n\tTracking ...  Unsupported type ((P)olhemus)\n\tObjects ... ", StartupEnd});
    EXPECT_EQ(run.output.find("QMT Tracking configuration"), std::string::npos);
}

}  // namespace
}  // namespace e2e
