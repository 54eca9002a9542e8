// Reading station records, the header and the description from a real
// publisher, including a publisher that dies or restarts under the reader.
#include <chrono>
#include <cstring>
#include <sys/stat.h>

#include "platform/SharedMemory.h"
#include "tests/tracker/TrackerTestSupport.h"
#include "channel/StationLayout.h"
#include "channel/StationReader.h"

namespace {

using StationReadingTest = SharedMemoryTest;

TEST_F(StationReadingTest, CopiesTheRecordOfAStationAtAKnownPose) {
    ASSERT_EQ(
        Publisher::Run({"--bins", "0,1", "--once", "--pose", "31=1.5,-2.25,3,0.1,-0.2,0.3", "--pose", "4=7,8,9,1,2,3"}),
        0);
    TrackerClient client;
    ASSERT_TRUE(client.Attach());
    float pose[6] = {};
    ASSERT_TRUE(ReadStationPose(client, 1, 31, pose));
    const float expected[6] = {1.5f, -2.25f, 3.0f, 0.1f, -0.2f, 0.3f};
    for (int i = 0; i < 6; ++i) EXPECT_EQ(pose[i], expected[i]) << i;
    ASSERT_TRUE(ReadStationPose(client, 0, 4, pose));
    EXPECT_EQ(pose[0], 7.0f);
    EXPECT_EQ(pose[5], 3.0f);
    EXPECT_FALSE(client.IsLocked());
}

TEST_F(StationReadingTest, FailedStepsWriteNothingAndHoldNoLock) {
    TrackerClient client;
    float pose[6] = {9, 9, 9, 9, 9, 9};
    EXPECT_FALSE(ReadStationPose(client, 0, 0, pose)) << "no server";
    ASSERT_EQ(Publisher::Run({"--bins", "0", "--once"}), 0);
    EXPECT_FALSE(ReadStationPose(client, 3, 0, pose)) << "bin 3 is neither open nor current";
    EXPECT_FALSE(client.IsChannelOpen(0)) << "an unselectable bin opens nothing";
    EXPECT_FALSE(ReadStationPose(client, 0, 32, pose)) << "station outside 0..31";
    EXPECT_FALSE(ReadStationPose(client, 0, -1, pose));
    EXPECT_FALSE(client.IsLocked()) << "the lock is released even when nothing is copied";
    for (float value : pose) EXPECT_EQ(value, 9.0f);
}

TEST_F(StationReadingTest, HeaderAndDescriptionAreReadWithinTheRegion) {
    ASSERT_EQ(Publisher::Run({"--bins", "0", "--once", "--flags", "0x125", "--description", "Lab rig A"}), 0);
    TrackerClient client;
    ASSERT_TRUE(BeginStationRead(client, 0));
    EXPECT_EQ(ReadFlagsWord(client), 0x125u);
    EXPECT_EQ(ReadDescription(client), "Lab rig A");
    EXPECT_EQ(client.ActiveStationCount(), 2);
    EXPECT_TRUE(client.Unlock());
}

TEST_F(StationReadingTest, DescriptionWithoutNulEndsAtTheEndOfTheRegion) {
    const std::size_t size = station_layout::descriptionOffset + 83;
    platform::RegionHandle region = platform::CreateRegion(RegionName(0, 0).c_str(), size, 0600);
    platform::RegionView view;
    ASSERT_TRUE(platform::MapRegion(region, platform::ViewAccess::ReadWrite, view));
    std::memset(view.base + station_layout::descriptionOffset, 'A', 83);
    platform::SharedMutex* mutex = platform::CreateSharedMutex(MutexName(0, 0).c_str(), 0600);
    TrackerClient client;
    ASSERT_TRUE(BeginStationRead(client, 0));
    EXPECT_EQ(ReadDescription(client), std::string(83, 'A'));
    client.Unlock();
    std::memset(view.base + station_layout::descriptionOffset, 0, 1);
    ASSERT_TRUE(BeginStationRead(client, 0));
    EXPECT_EQ(ReadDescription(client), "") << "a NUL at the first byte is an empty name";
    client.Unlock();
    platform::CloseSharedMutex(mutex);
    platform::UnmapRegion(view);
    platform::CloseRegion(region);
}

TEST(StationLayout, UnitCodesGiveScaleAndLabel) {
    struct Case {
        uint32_t flags;
        float scale;
        const char* label;
    } cases[] = {{0x0F0, 2.54f, "INCHES"},  {0x113, 1.0f, "CMETER"},   {0x213, 100.0f, "METERS"},
                 {0x313, 100.0f, "METERS"}, {0x513, 100.0f, "METERS"}, {0xF00, 100.0f, "METERS"}};
    for (const Case& c : cases) {
        station_layout::ChannelUnit unit = station_layout::UnitOfCode(station_layout::UnitCode(c.flags));
        EXPECT_EQ(unit.scale, c.scale) << std::hex << c.flags;
        EXPECT_STREQ(unit.label, c.label) << std::hex << c.flags;
    }
    EXPECT_EQ(station_layout::RecordOffset(31), 756u);
    EXPECT_EQ(station_layout::RecordOffset(31) + station_layout::recordSize, 780u);
}

TEST(StationLayout, NormalisationScalesThePositionAndAddsTheOriginOffset) {
    const float originOffset[3] = {-65.0f, 0.0f, 40.0f};
    float pose[6] = {10.0f, 1.0f, -2.0f, 0.5f, 0.25f, 0.125f};
    NormalisePosition(pose, 2.54f, originOffset);
    EXPECT_FLOAT_EQ(pose[0], -39.6f);
    EXPECT_FLOAT_EQ(pose[1], 2.54f);
    EXPECT_FLOAT_EQ(pose[2], 34.92f);
    EXPECT_EQ(pose[3], 0.5f) << "angles stay in radians, untouched";
    EXPECT_EQ(pose[5], 0.125f);
}

TEST_F(StationReadingTest, ServerDyingWithTheMutexFailsOneLockThenReadingResumes) {
    ASSERT_EQ(Publisher::Run({"--bins", "0", "--once", "--motion", "counter"}), 0);
    TrackerClient client;
    ASSERT_TRUE(client.Attach());
    ASSERT_EQ(Publisher::Run({"--bins", "0", "--motion", "counter", "--rate", "0", "--crash-after", "3"}), -SIGABRT);
    EXPECT_FALSE(client.Lock()) << "the dead server's mutex is reported, not waited for";
    EXPECT_EQ(client.WriterDeaths(0), 1u);
    EXPECT_FALSE(client.IsLocked());
    float pose[6] = {};
    ASSERT_TRUE(ReadStationPose(client, 0, 2, pose)) << "the recovered mutex can be taken again";
    EXPECT_EQ(pose[0], 3.0f);
    ASSERT_EQ(Publisher::Run({"--bins", "0", "--once", "--pose", "2=42,0,0,0,0,0"}), 0);
    ASSERT_TRUE(ReadStationPose(client, 0, 2, pose));
    EXPECT_EQ(pose[0], 42.0f) << "the restarted server took the mutex and wrote";
}

// A half write is never read, by a reader that found the holder dead or by
// one that came after (which only the odd sequence tells), until a server
// writes again; the death counts once.
TEST_F(StationReadingTest, AHalfWriteOfAServerThatDiedIsNotReadUntilAServerWritesAgain) {
    for (bool keepSequence : {true, false}) {
        ASSERT_EQ(Publisher::Run({"--bins", "0", "--once", "--motion", "counter"}), 0);
        TrackerClient first;
        ASSERT_TRUE(first.Attach());
        ASSERT_TRUE(DieInTheMiddleOfAWrite(0, 999.0f, keepSequence));
        float pose[6] = {};
        ChannelState state;
        EXPECT_FALSE(ReadStationPose(first, 0, 0, pose)) << keepSequence;
        EXPECT_FALSE(ReadStationPose(first, 0, 0, pose)) << keepSequence;
        EXPECT_FALSE(ReadChannelStateWithin(first, 0, state, std::chrono::milliseconds(100))) << keepSequence;
        EXPECT_TRUE(first.Trouble(0).halfWritten);
        EXPECT_EQ(first.WriterDeaths(0), 1u);
        TrackerClient later;
        EXPECT_EQ(ReadStationPose(later, 0, 0, pose), !keepSequence) << "only the sequence tells a later reader";
        ASSERT_EQ(Publisher::Run({"--bins", "0", "--once", "--pose", "0=42,0,0,0,0,0"}), 0);
        ASSERT_TRUE(ReadStationPose(first, 0, 0, pose)) << keepSequence;
        EXPECT_EQ(pose[0], 42.0f);
        EXPECT_EQ(first.WriterDeaths(0), 1u);
    }
}

TEST_F(StationReadingTest, RestartedServerCanRecoverTheMutexItself) {
    ASSERT_EQ(Publisher::Run({"--bins", "0", "--rate", "0", "--crash-after", "1"}), -SIGABRT);
    ASSERT_EQ(Publisher::Run({"--bins", "0", "--once", "--pose", "0=5,0,0,0,0,0"}), 0);
    TrackerClient client;
    float pose[6] = {};
    ASSERT_TRUE(ReadStationPose(client, 0, 0, pose));
    EXPECT_EQ(pose[0], 5.0f);
}

bool Exists(const std::string& objectName) {
    struct stat status {};
    return stat(objectName.c_str(), &status) == 0;
}

// The server's objects vanish when it ends; the reader keeps the last pose
// until a server creates the channel again, and then follows the new objects.
TEST_F(StationReadingTest, ReaderKeepsARemovedChannelAndFollowsItsReplacement) {
    TrackerClient client;
    {
        Publisher running({"--bins", "0,1", "--motion", "counter", "--rate", "200"});
        ASSERT_TRUE(WaitForFirstFloat(client, 0, 0, 2.0f));
    }
    EXPECT_FALSE(Exists(Path(RegionName(0, 0))));
    EXPECT_FALSE(Exists(Path(MutexName(0, 1))));
    WaitOneFrame();
    float pose[6] = {};
    ASSERT_TRUE(ReadStationPose(client, 1, 0, pose)) << "the removed channel keeps its last values";
    EXPECT_GE(pose[0], 2.0f);
    ASSERT_EQ(Publisher::Run({"--bins", "0,1", "--once", "--pose", "0=-1,-2,-3,0,0,0"}), 0);
    WaitOneFrame();
    ASSERT_TRUE(ReadStationPose(client, 1, 0, pose));
    EXPECT_EQ(pose[0], -1.0f);
    EXPECT_EQ(pose[2], -3.0f);
}

TEST_F(StationReadingTest, PublisherCreatesPrivateObjectsAndRemovesThemWhenItEnds) {
    ASSERT_EQ(Publisher::Run({"--bins", "2", "--once"}), 0);
    ASSERT_EQ(Publisher::Run({"--bins", "3", "--once", "--mode", "640"}), 0);
    struct stat status {};
    ASSERT_EQ(stat(Path(RegionName(0, 2)).c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 0777, 0600u);
    ASSERT_EQ(stat(Path(RegionName(0, 3)).c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 0777, 0640u);
    ASSERT_EQ(stat(Path(MutexName(0, 3)).c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 0777, 0600u) << "a mutex object is private to its server";
    ASSERT_EQ(Publisher::Run({"--bins", "2,3", "--unlink"}), 0);
    ASSERT_EQ(Publisher::Run({"--bins", "4", "--duration", "0.01"}), 0);
    EXPECT_FALSE(Exists(Path(RegionName(0, 4))));
    TrackerClient client;
    EXPECT_FALSE(client.Attach());
}

TEST_F(StationReadingTest, BadPublisherOptionsCreateNothing) {
    const std::vector<std::vector<std::string>> bad = {
        {"--instrument", "16"},       {"--bins", "0,16"},       {"--bins", ""},   {"--flags", "xyz"},
        {"--pose", "32=0,0,0,0,0,0"}, {"--motion", "spin"},     {"--rate", "-1"}, {"--mode", "9"},
        {"--crash-after", "0"},       {"--once", "--nonsense"}, {"--duration"}};
    for (const auto& arguments : bad) EXPECT_EQ(Publisher::Run(arguments), 2) << arguments[0];
    TrackerClient client;
    EXPECT_FALSE(client.Attach());
}

}  // namespace
