// The viewer's console as a user sees it while working the window: the
// tracking report at start-up, the picking, mapping and toggle messages, and
// the live viewpoint line.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <string>

#include "tests/e2e/StartingView.h"
#include "tests/e2e/ViewerWindowTest.h"

namespace e2e {
namespace {

const Milliseconds ExitLimit(5000);
const int EscapeStatus = 1;

std::string ReportRow(int row, int bin, int station, bool active) {
    return "\n\tScale normalized by  100.00\n\tSensor  " + std::to_string(row) + ": QMT(0," + std::to_string(bin) +
           "," + std::to_string(station) + ") Simulated tracker(2) " + (active ? "" : "IN") + "ACTIVE CART|| METERS";
}

// Flags 0x213: stations 0 and 1 active, Cartesian records, positions in metres.
std::string ExpectedReport() {
    const std::string rule = "\n" + std::string(78, '=');
    std::string report = "\n\tTracking ... " + rule + "\nQMT Tracking configuration:";
    for (int row = 1; row <= 8; ++row) report += ReportRow(row, (row - 1) / 4, (row - 1) % 4, (row - 1) % 4 < 2);
    return report + "\n\tTotal tracking stations = 8" + rule + "\n\tObjects ... ";
}

using ConsoleMessagesTest = ViewerWindowTest;

TEST_F(ConsoleMessagesTest, ReportsPublishedStationsAndEndsOnEscape) {
    ASSERT_TRUE(StartViewer({}));
    EXPECT_NE(viewer.Output().find(ExpectedReport()), std::string::npos) << viewer.Output();

    ASSERT_TRUE(Key("Escape"));
    int status = 0;
    ASSERT_TRUE(viewer.WaitExit(ExitLimit, status)) << "ESC did not end the viewer";
    ASSERT_TRUE(WIFEXITED(status)) << DescribeStatus(status);
    EXPECT_EQ(WEXITSTATUS(status), EscapeStatus);
}

TEST_F(ConsoleMessagesTest, PressesSelectTurnAndDeselect) {
    ASSERT_TRUE(StartViewer({}));
    const Pixel centre = WindowPixel(RedBoxCentre);

    ASSERT_TRUE(Click(centre));
    ASSERT_TRUE(viewer.Expect("\nPicked: 2")) << viewer.Output();
    ASSERT_TRUE(Click(WindowPixel(AroundCentre(RedBoxCentre, TurnGrip, AwayFromEye))));
    ASSERT_TRUE(viewer.Expect("\nPicked: 2<--")) << viewer.Output();
    ASSERT_TRUE(Click(WindowPixel(OpenFloor)));
    ASSERT_TRUE(viewer.Expect(" DESELCTED")) << viewer.Output();

    EXPECT_EQ(viewer.OutputAfterStartup(), "\nPicked: 2\nPicked: 2<-- DESELCTED");
}

TEST_F(ConsoleMessagesTest, WheelStepsTheCameraAndPicksNothing) {
    ASSERT_TRUE(StartViewer({}));
    const Pixel centre = WindowPixel(RedBoxCentre);
    const Area window{0, 0, Screenshot::Width, Screenshot::Height};
    Screenshot before, shot;
    ASSERT_TRUE(WaitForScreen([&](const Screenshot& s) { return s.MostlyAround(centre, IsRed); }, before));
    const int redPixels = before.Count(window, IsRed);
    auto changed = [&](const Screenshot& s) { return s.CountDifferent(before, window, IsRed); };

    ASSERT_TRUE(Click(centre, 4));
    ASSERT_TRUE(WaitForScreen([&](const Screenshot& s) { return changed(s) > redPixels / 10; }, shot))
        << "a notch up does not move the camera";
    ASSERT_TRUE(Click(centre, 5));
    ASSERT_TRUE(WaitForScreen([&](const Screenshot& s) { return changed(s) == 0; }, shot))
        << "a notch down does not take the camera back";
    ASSERT_TRUE(Click(centre, 6));
    ASSERT_TRUE(Click(centre, 7));
    // The notches over the box picked nothing: this press prints first.
    ASSERT_TRUE(Click(centre));
    ASSERT_TRUE(viewer.Expect("\nPicked: 2")) << viewer.Output();
    EXPECT_EQ(viewer.OutputAfterStartup(), "\nPicked: 2");
}

TEST_F(ConsoleMessagesTest, NumberKeyMapsStationToSelectedBox) {
    ASSERT_TRUE(StartViewer({"/V"}));

    ASSERT_TRUE(Click(WindowPixel(RedBoxCentre)));
    ASSERT_TRUE(viewer.Expect("\nPicked: 2"));
    ASSERT_TRUE(Key("2"));
    ASSERT_TRUE(viewer.Expect("\nTracking of object 3 mapped to station 2.")) << viewer.Output();
}

TEST_F(ConsoleMessagesTest, SpaceMakesViewpointFollowStationOne) {
    ASSERT_TRUE(StartViewer({"/V"}));

    ASSERT_TRUE(Key("space"));
    ASSERT_TRUE(viewer.Expect("\nToggled ON  tracking of object 1 on station 1.")) << viewer.Output();
    // Station 0 at (0.85, 0.4, 0.2) m: centimetres plus the origin offset
    // (-65, 0, 40), times the scene factor just below 0.25.
    ASSERT_TRUE(viewer.Expect("\rVP:   5.0, 10.0, 15.0")) << viewer.Output().substr(0, 4000);
    ASSERT_TRUE(viewer.Expect("\rVP:   5.0, 10.0, 15.0")) << "the viewpoint line is not rewritten";
}

// A server that keeps its mutex costs each tracked row one short, bounded
// wait per frame: the viewer still draws and answers keys. The server holds
// it for longer than the test runs, so an answer at all came while it did.
TEST_F(ConsoleMessagesTest, AnswersKeysWhileTrackingBesideAServerHoldingItsMutex) {
    channels.StopPublisher();
    ASSERT_TRUE(channels.StartPublisher({"--rate", "0.5", "--hold-lock-ms", "60000"}));
    ASSERT_TRUE(StartViewer({}));
    ASSERT_TRUE(Key("space"));
    ASSERT_TRUE(Key("h"));
    EXPECT_TRUE(viewer.Expect("-BaseHelp-", Milliseconds(20000))) << viewer.OutputAfterStartup();
}

}  // namespace
}  // namespace e2e
