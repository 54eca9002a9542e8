// Opening, attaching, selecting and locking channels against real shared memory.
#include <cstring>
#include <pthread.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/SharedMemory.h"
#include "tests/tracker/TrackerTestSupport.h"
#include "channel/ChannelState.h"
#include "channel/ObjectRefusal.h"
#include "channel/StationLayout.h"
#include "channel/StationReader.h"

namespace {

using ChannelSetTest = SharedMemoryTest;

// A region and mutex made by hand, for the shapes the publisher never makes.
struct HandMadeChannel {
    HandMadeChannel(const std::string& regionName, const std::string& mutexName, std::size_t size) {
        region = platform::CreateRegion(regionName.c_str(), size, 0600);
        EXPECT_TRUE(platform::MapRegion(region, platform::ViewAccess::ReadWrite, view));
        if (!mutexName.empty()) mutex = platform::CreateSharedMutex(mutexName.c_str(), 0600);
    }
    ~HandMadeChannel() {
        platform::CloseSharedMutex(mutex);
        platform::UnmapRegion(view);
        platform::CloseRegion(region);
    }
    platform::RegionHandle region = platform::noRegion;
    platform::RegionView view;
    platform::SharedMutex* mutex = nullptr;
};

TEST(ChannelSetConstruction, ClampsInstrumentAndChannelCount) {
    struct Case {
        int instrument, channels, expectedInstrument;
        uint32_t expectedMask;
    } cases[] = {{16, 16, 0, 0xFFFF}, {-1, 0, 0, 0x1}, {15, 17, 15, 0x1}, {3, 4, 3, 0xF}};
    for (const Case& c : cases) {
        struct Probe : ShMemChannelSet {
            using ShMemChannelSet::ShMemChannelSet;
            bool OpenChannel(int, ChannelTrouble&) override { return false; }
        } set(c.instrument, c.channels);
        EXPECT_EQ(set.Instrument(), c.expectedInstrument);
        EXPECT_EQ(set.ChannelMask(), c.expectedMask);
        EXPECT_EQ(set.CurrentChannel(), 0);
        EXPECT_FALSE(set.IsLocked());
    }
    EXPECT_EQ(TrackerClient(2).ChannelMask(), 0xFFFFu);
}

TEST_F(ChannelSetTest, NoServerLeavesEveryChannelClosedAndTouchesNothing) {
    TrackerClient client;
    int descriptors = OpenDescriptorCount();
    EXPECT_FALSE(client.Attach());
    EXPECT_EQ(OpenDescriptorCount(), descriptors);
    for (int i = 0; i < 16; ++i) EXPECT_FALSE(client.IsChannelOpen(i));
    EXPECT_EQ(client.SelectChannel(5), 0);
    EXPECT_FALSE(client.Lock()) << "no view: must not wait";
    EXPECT_FALSE(client.Unlock());
    EXPECT_EQ(client.ActiveStationCount(), 0);
    EXPECT_EQ(client.CurrentView(), nullptr);
    client.CloseChannel(16);  // no channel of that number: nothing to close, nothing touched
    client.CloseAll();
}

TEST_F(ChannelSetTest, ServerStartingLaterIsPickedUpWithinAFrame) {
    TrackerClient client;
    ASSERT_FALSE(client.Attach());
    ASSERT_EQ(Publisher::Run({"--bins", "0", "--once"}), 0);
    WaitOneFrame();
    EXPECT_TRUE(client.Attach());
    EXPECT_TRUE(client.IsChannelOpen(0));
    EXPECT_FALSE(client.IsChannelOpen(1));
    ASSERT_EQ(Publisher::Run({"--bins", "1", "--once"}), 0);
    WaitOneFrame();
    EXPECT_TRUE(client.Attach());
    EXPECT_TRUE(client.IsChannelOpen(1));
}

// Its objects exist, but the mutex's creator has not yet marked it ready: no
// name changes when it does, so the channel must be retried without a change.
TEST_F(ChannelSetTest, ChannelStillBeingSetUpIsPickedUpOnceReady) {
    HandMadeChannel region(RegionName(0, 0), "", 2048);
    HandMadeChannel mutexStandIn(MutexName(0, 0), "", 64);
    TrackerClient client;
    ASSERT_FALSE(client.Attach());
    platform::SharedMutex* mutex = platform::CreateSharedMutex(MutexName(0, 0).c_str(), 0600);
    ASSERT_NE(mutex, nullptr);
    WaitOneFrame();
    EXPECT_TRUE(client.Attach());
    platform::CloseSharedMutex(mutex);
}

TEST_F(ChannelSetTest, NamesCarryInstrumentAndChannelDigits) {
    HandMadeChannel channel("QuillmontShMem3B", "QuillmontMutex3B", 2048);
    TrackerClient client(3);
    EXPECT_TRUE(client.Attach());
    EXPECT_STREQ(client.ShMemName(), "QuillmontShMem3F") << "the last name tried is channel 15's";
    EXPECT_STREQ(client.MutexName(), "QuillmontMutex3F");
    for (int i = 0; i < 16; ++i) EXPECT_EQ(client.IsChannelOpen(i), i == 11) << i;
    EXPECT_EQ(client.SelectChannel(11), 11);
}

TEST_F(ChannelSetTest, ChannelsThatCannotBeUsedStayClosedWithNothingLeftOpen) {
    HandMadeChannel withoutMutex(RegionName(0, 0), "", 2048);
    HandMadeChannel tooShort(RegionName(0, 1), MutexName(0, 1), station_layout::minimumRegionSize - 1);
    // A mutex object whose creator never finished: its ready word is unset.
    HandMadeChannel halfMadeMutex(RegionName(0, 2), "", 2048);
    HandMadeChannel mutexStandIn(MutexName(0, 2), "", 64);
    TrackerClient client;
    int descriptors = OpenDescriptorCount();
    int mappings = MappingCount(Prefix());
    EXPECT_FALSE(client.Attach());
    for (int i = 0; i < 3; ++i) EXPECT_FALSE(client.IsChannelOpen(i)) << i;
    EXPECT_EQ(OpenDescriptorCount(), descriptors);
    EXPECT_EQ(MappingCount(Prefix()), mappings);
}

TEST_F(ChannelSetTest, RegionOfExactlyTheMinimumSizeIsAccepted) {
    HandMadeChannel channel(RegionName(0, 0), MutexName(0, 0), station_layout::minimumRegionSize);
    TrackerClient client;
    EXPECT_TRUE(client.Attach());
    EXPECT_EQ(client.CurrentViewLength(), station_layout::minimumRegionSize);
}

TEST_F(ChannelSetTest, LockAndUnlockFollowTheHeldState) {
    HandMadeChannel channel(RegionName(0, 0), MutexName(0, 0), 2048);
    TrackerClient client;
    ASSERT_TRUE(client.Attach());
    EXPECT_TRUE(client.Unlock()) << "nothing held: nothing to release";
    ASSERT_TRUE(client.Lock());
    EXPECT_TRUE(client.IsLocked());
    EXPECT_FALSE(client.Lock()) << "a second lock by the holder fails instead of deadlocking";
    EXPECT_TRUE(client.IsLocked());
    EXPECT_TRUE(client.Unlock());
    EXPECT_FALSE(client.IsLocked());
    // The mutex is free again for another party.
    ASSERT_EQ(platform::LockSharedMutex(channel.mutex), platform::LockResult::Acquired);
    EXPECT_TRUE(platform::UnlockSharedMutex(channel.mutex));
}

TEST_F(ChannelSetTest, CloseAllReleasesAHeldMutex) {
    HandMadeChannel channel(RegionName(0, 0), MutexName(0, 0), 2048);
    TrackerClient client;
    ASSERT_TRUE(client.Attach());
    ASSERT_TRUE(client.Lock());
    client.CloseAll();
    EXPECT_FALSE(client.IsLocked());
    EXPECT_FALSE(client.IsChannelOpen(0));
    EXPECT_TRUE(client.Attach()) << "a channel its owner closed is opened again by the next Attach";
    ASSERT_EQ(platform::LockSharedMutex(channel.mutex), platform::LockResult::Acquired);
    EXPECT_TRUE(platform::UnlockSharedMutex(channel.mutex));
}

// Trust is checked again when a change names an object, and a refused object
// is not tried again until one does: a kind put right through a mapping, which
// no change event reports, leaves the channel closed.
TEST_F(ChannelSetTest, ObjectsAreCheckedAgainWhenAChangeNamesThemAndOnlyThen) {
    HandMadeChannel channel(RegionName(0, 0), MutexName(0, 0), 2048);
    const std::string region = Path(RegionName(0, 0));
    const std::string mutex = Path(MutexName(0, 0));
    TrackerClient client;
    ASSERT_TRUE(client.Attach());

    ASSERT_EQ(chmod(region.c_str(), 0602), 0);
    WaitOneFrame();
    EXPECT_FALSE(client.Attach()) << "a region that became writable by every user is given up";
    ASSERT_EQ(chmod(region.c_str(), 0600), 0);
    WaitOneFrame();
    ASSERT_TRUE(client.Attach());

    int32_t kind = 0;
    ASSERT_TRUE(PokeMutexField(mutex, offsetof(pthread_mutex_t, __data.__kind), 0, &kind));
    EXPECT_FALSE(client.Lock()) << "a mutex of another kind is not used";
    EXPECT_FALSE(client.Attach());
    ASSERT_TRUE(PokeMutexField(mutex, offsetof(pthread_mutex_t, __data.__kind), kind));
    for (int frame = 0; frame < 3; ++frame, WaitOneFrame()) EXPECT_FALSE(client.Attach()) << "tried again unasked";
    ASSERT_EQ(chmod(mutex.c_str(), 0600), 0);
    WaitOneFrame();
    EXPECT_TRUE(client.Attach()) << "a change that names the mutex lets it be tried again";
}

// A region of a size no channel has is named with its size, not read.
TEST_F(ChannelSetTest, RegionOfAWrongSizeIsNamedWithItsSize) {
    const std::pair<off_t, std::string> sizes[] = {
        {static_cast<off_t>(platform::maxMappedRegionSize + 1),
         "too large to map (67108865 bytes; a reader maps at most 64 MiB)"},
        {100, "shorter than a channel's layout (100 bytes; a channel takes 4096)"},
    };
    HandMadeChannel channel(RegionName(0, 0), MutexName(0, 0), 2048);
    const std::string region = Path(RegionName(0, 0));
    for (const auto& [size, reason] : sizes) {
        ASSERT_EQ(truncate(region.c_str(), size), 0);
        TrackerClient client;
        EXPECT_FALSE(client.Attach());
        EXPECT_EQ(DescribeTrouble(client, 0), Prefix() + RegionName(0, 0) + ": " + reason);
    }
}

// A mutex this user may not lock: the channel is read through its write
// sequence, which an abandoned write leaves odd; that reads as held, by the
// region's name, until a write completes.
TEST_F(ChannelSetTest, ReadOnlyChannelWaitsForAnEvenSequence) {
    SequencedServer server;
    ASSERT_TRUE(server.Open(0, 0640, 0660, getegid()));
    HandMadeChannel writer(RegionName(0, 0), "", 0);
    float pose[6] = {};
    TrackerClient client;
    ASSERT_TRUE(ReadStationPose(client, 0, 0, pose));
    EXPECT_TRUE(client.IsReadOnly(0));
    ASSERT_TRUE(platform::StoreRegionWord(writer.view, station_layout::sequenceOffset, 5));
    EXPECT_FALSE(ReadStationPose(client, 0, 0, pose));
    EXPECT_EQ(
        DescribeTrouble(client, 0),
        Prefix() + RegionName(0, 0) + ": its server has been writing it for longer than 10 ms (or died while writing)");
    ASSERT_TRUE(server.Write(7));
    ASSERT_TRUE(ReadStationPose(client, 0, 0, pose));
    EXPECT_EQ(pose[0], 7.0f);
}

// A writer that begins a write while a read-only reader copies and stops
// halfway through it: the sequence odd, station 0's position changed, its
// angles not yet. The copy it overtook is never returned, nor any other
// while the write stays unfinished.
TEST_F(ChannelSetTest, ReadOnlyCopyOvertakenByAWriteThatStoppedHalfwayIsNeverReturned) {
    SequencedServer server;
    ASSERT_TRUE(server.Open(0, 0640, 0660, getegid()));
    ASSERT_TRUE(server.Write(3));
    HandMadeChannel writer(RegionName(0, 0), "", 0);
    const float halfWritten[3] = {999.0f, 999.0f, 999.0f};
    bool writing = false;
    auto stopHalfway = [&writer, &halfWritten] {
        return platform::StoreRegionWord(writer.view, station_layout::sequenceOffset, 7) &&
               platform::CopyToRegion(writer.view, station_layout::RecordOffset(0), halfWritten, sizeof halfWritten);
    };
    float pose[6] = {};
    TrackerClient client;
    const bool read = ReadBin(client, 0, [&] {
        writing = writing || stopHalfway();
        return CopyStationRecord(client, 0, pose);
    });
    ASSERT_TRUE(writing);
    EXPECT_TRUE(client.IsReadOnly(0));
    EXPECT_FALSE(read) << "returned x " << pose[0] << ", azimuth " << pose[3];
}

TEST_F(ChannelSetTest, ActiveStationCountUsesOnlyTheLowFourBits) {
    struct Case {
        uint32_t flags;
        int active;
    } cases[] = {{0x125, 2}, {0x21F, 4}, {0x0F0, 0}, {0xFFFFFFF8, 1}};
    HandMadeChannel channel(RegionName(0, 0), MutexName(0, 0), 2048);
    TrackerClient client;
    ASSERT_TRUE(client.Attach());
    for (const Case& c : cases) {
        for (int i = 0; i < 4; ++i)
            channel.view.base[station_layout::flagsOffset + i] = static_cast<unsigned char>(c.flags >> (8 * i));
        EXPECT_EQ(client.ActiveStationCount(), c.active) << std::hex << c.flags;
    }
}

}  // namespace
