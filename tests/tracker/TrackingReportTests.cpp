// The tracking configuration report: its console text, byte for byte, and the
// station map it leaves.
#include <cstdio>
#include <string>

#include "tests/tracker/TrackerTestSupport.h"
#include "app/TrackerSettings.h"
#include "app/TrackingReport.h"

namespace {

const std::string rules =
    "\n======================================="
    "=======================================";

std::string SensorLine(int row, int instrument, int bin, int station, const std::string& description, int active,
                       bool isActive, const std::string& formats, const std::string& unit) {
    char line[256];
    std::snprintf(line, sizeof line, "\n\tSensor%3d: QMT(%d,%d,%d) ", row, instrument, bin, station);
    return line + description + "(" + std::to_string(active) + ") " + (isActive ? "" : "IN") + "ACTIVE " + formats +
           " " + unit;
}

std::string Header() { return rules + "\nQMT Tracking configuration:"; }
std::string Footer(int total) {
    return "\n\tTotal tracking stations = " + std::to_string(total) + "\n" + rules.substr(1);
}
const std::string metresScale = "\n\tScale normalized by  100.00";

class TrackingReportTest : public SharedMemoryTest {
protected:
    void SetUp() override {
        SharedMemoryTest::SetUp();
        trackerSettings = TrackerSettings();
    }
    void TearDown() override {
        trackerSettings = TrackerSettings();
        delete clients;
        SharedMemoryTest::TearDown();
    }

    // Runs the report; its console text.
    std::string Report() {
        std::fflush(stdout);
        ::testing::internal::CaptureStdout();
        result = ReportTrackingConfiguration(map, count, clients);
        std::fflush(stdout);
        return ::testing::internal::GetCapturedStdout();
    }

    StationMapEntry map[stationMapCapacity];
    int count = 0;
    TrackerClientArray* clients = nullptr;
    bool result = false;
};

TEST_F(TrackingReportTest, DefaultMasksWithoutServerListBinZeroAsNotConnected) {
    std::string expected = Header();
    for (int k = 0; k < 4; ++k)
        expected += metresScale + SensorLine(k + 1, 0, 0, k, "Not connected", 0, false, "||", "METERS");
    expected += Footer(4);
    EXPECT_EQ(Report(), expected);
    EXPECT_TRUE(result);
    ASSERT_EQ(count, 4);
    EXPECT_EQ(map[0].objectId, 1);
    EXPECT_EQ(map[1].objectId, 0);
    EXPECT_EQ(map[3].station, 3);
    EXPECT_EQ(map[3].scale, 100.0f);
    ASSERT_NE(clients, nullptr);
    EXPECT_EQ(clients->Count(), 1);
}

TEST_F(TrackingReportTest, ServerWithTwoBinsGivesEightRows) {
    ASSERT_EQ(Publisher::Run({"--bins", "0,1", "--flags", "0x213", "--once"}), 0);
    std::string expected = Header();
    for (int row = 0; row < 8; ++row)
        expected += metresScale +
                    SensorLine(row + 1, 0, row / 4, row % 4, "Simulated tracker", 2, row % 4 < 2, "CART||", "METERS");
    expected += Footer(8);
    EXPECT_EQ(Report(), expected);
    ASSERT_EQ(count, 8);
    EXPECT_EQ(map[5].bin, 1);
    EXPECT_EQ(map[5].station, 1);
    EXPECT_EQ(map[7].scale, 100.0f);
    EXPECT_FALSE((*clients)[0].IsLocked());
}

TEST_F(TrackingReportTest, CentimetreAndInchChannelsScaleTheirRows) {
    ASSERT_EQ(Publisher::Run({"--bins", "0", "--flags", "0x1F1", "--description", "", "--once"}), 0);
    ASSERT_EQ(Publisher::Run({"--bins", "1", "--flags", "0x0F0", "--once"}), 0);
    trackerSettings.stationMask = 0x1;
    std::string expected =
        Header() + SensorLine(1, 0, 0, 0, "", 1, true, "CART|EULR|QUAT", "CMETER") + "\n\tScale normalized by    2.54" +
        SensorLine(2, 0, 1, 0, "Simulated tracker", 0, false, "CART|EULR|QUAT", "INCHES") + Footer(2);
    EXPECT_EQ(Report(), expected);
    EXPECT_EQ(map[0].scale, 1.0f);
    EXPECT_EQ(map[1].scale, 2.54f);
}

TEST_F(TrackingReportTest, UnsupportedTypePrintsOnlyItsMessage) {
    trackerSettings.type = 2;
    EXPECT_EQ(Report(), " Unsupported type ((P)olhemus)");
    EXPECT_FALSE(result);
    EXPECT_EQ(clients, nullptr);
    EXPECT_EQ(count, 0);
}

TEST_F(TrackingReportTest, InstrumentMaskSpansSlotsButUsesOnlySelectedOnes) {
    trackerSettings.instrumentMask = 0x4;
    trackerSettings.stationMask = 0x1;
    EXPECT_EQ(Report(),
              Header() + metresScale + SensorLine(1, 2, 0, 0, "Not connected", 0, false, "||", "METERS") + Footer(1));
    ASSERT_EQ(clients->Count(), 3);
    EXPECT_EQ((*clients)[2].Instrument(), 2);
    EXPECT_EQ(map[0].instrument, 2);
}

TEST_F(TrackingReportTest, EmptyStationMaskStillBindsRowZeroToTheViewpoint) {
    trackerSettings.stationMask = 0;
    EXPECT_EQ(Report(), Header() + Footer(0));
    EXPECT_EQ(count, 0);
    EXPECT_EQ(map[0].objectId, 1);
}

TEST_F(TrackingReportTest, SelectionsBeyondThirtyTwoRowsAreNeitherStoredNorPrinted) {
    ASSERT_EQ(Publisher::Run({"--bins", "0,1,2", "--once"}), 0);
    trackerSettings.binMask = 0x7;
    trackerSettings.stationMask = 0xFFFFFFFF;
    map[32 - 1].objectId = 77;  // a row the report fills but must not rebind
    std::string text = Report();
    EXPECT_EQ(count, 32);
    EXPECT_EQ(map[31].bin, 0);
    EXPECT_EQ(map[31].station, 31);
    EXPECT_EQ(map[31].objectId, 77);
    EXPECT_NE(text.find("Sensor 32: QMT(0,0,31)"), std::string::npos);
    EXPECT_EQ(text.find("Sensor 33"), std::string::npos);
    EXPECT_EQ(text.find("QMT(0,1,"), std::string::npos);
    EXPECT_NE(text.find(Footer(32)), std::string::npos);
    EXPECT_TRUE((*clients)[0].IsChannelOpen(2)) << "later bins are still connected";
}

}  // namespace
