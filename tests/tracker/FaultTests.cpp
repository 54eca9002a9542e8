// Faults a server or another local user can inflict on the objects a reader
// has open, with real publisher processes and real shared memory: the reader
// must fail the read, never crash or hang, leave the other channel alone, and
// pick the channel up again once a server has put it right.
#include <cerrno>
#include <fcntl.h>
#include <functional>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

#include "server/ChannelWriter.h"
#include "tests/tracker/TrackerTestSupport.h"
#include "channel/StationReader.h"

namespace {

class FaultTest : public SharedMemoryTest {
public:
    bool Truncate(const std::string& name, off_t size) const { return truncate(Path(name).c_str(), size) == 0; }
    // What a creator that died half-way leaves: a mutex object that is not ready.
    bool ClearReadyWord(const std::string& name) const {
        int descriptor = open(Path(name).c_str(), O_WRONLY);
        const uint32_t zero = 0;
        bool written = descriptor >= 0 && pwrite(descriptor, &zero, sizeof zero, 0) == sizeof zero;
        return close(descriptor) == 0 && written;
    }
    // Under the lock, so the mutex object vanishes while the reader holds it.
    bool TruncateWhileHeld(const std::string& name) {
        bool truncated = BeginStationRead(client, 0) && Truncate(name, 0);
        EXPECT_FALSE(client.Unlock()) << "a mutex whose object vanished cannot be released";
        return truncated && !client.IsLocked();
    }
    // A server that keeps the mutex far longer than a reader waits, and never
    // lets it go until it is stopped: a holder that released it between writes
    // would let a read through now and then.
    bool HoldMutex() {
        holder = std::make_unique<Publisher>(
            std::vector<std::string>{"--bins", "0", "--rate", "0.5", "--hold-lock-ms", "60000"});
        float pose[6];
        for (int attempt = 0; attempt < 2000 && ReadStationPose(client, 0, 0, pose); ++attempt) usleep(1000);
        return true;
    }

    // As the viewer does each frame with rows on both bins: the read of the
    // open bin attaches, which opens the repaired one again once the change
    // has been seen.
    bool WaitForRepairedChannel() {
        float pose[6] = {};
        for (int frame = 0; frame < 2000; ++frame) {
            if (ReadStationPose(client, 1, 0, pose) && ReadStationPose(client, 0, 0, pose) && pose[0] >= 2.0f)
                return true;
            usleep(1000);
        }
        return false;
    }

    TrackerClient client;
    std::unique_ptr<Publisher> holder;
};

struct Fault {
    const char* name;
    std::function<bool(FaultTest&)> inflict;
    off_t regionSizeAfterFailure;  // >= 0: a server re-creates the region at this size before the repair
    bool held = false;             // the reader gives up on a mutex someone holds, and says so
};

// Re-creating an object with O_TRUNC empties it first, then gives it its new size.
const Fault faults[] = {
    {"MutexHeldPastTheBudget", [](FaultTest& test) { return test.HoldMutex(); }, -1, true},
    {"RegionTruncatedToZero", [](FaultTest& test) { return test.Truncate(RegionName(0, 0), 0); }, -1},
    {"RegionRecreatedShorterThanTheLayout", [](FaultTest& test) { return test.Truncate(RegionName(0, 0), 0); }, 100},
    {"MutexTruncatedToZero", [](FaultTest& test) { return test.Truncate(MutexName(0, 0), 0); }, -1},
    {"MutexRecreatedTooShort",
     [](FaultTest& test) { return test.Truncate(MutexName(0, 0), 0) && test.Truncate(MutexName(0, 0), 8); }, -1},
    {"MutexTruncatedWhileHeld", [](FaultTest& test) { return test.TruncateWhileHeld(MutexName(0, 0)); }, -1},
    {"MutexNeverBecameReady", [](FaultTest& test) { return test.ClearReadyWord(MutexName(0, 0)); }, -1},
};

void PrintTo(const Fault& fault, std::ostream* out) { *out << fault.name; }

class ChannelFault : public FaultTest, public ::testing::WithParamInterface<Fault> {};

TEST_P(ChannelFault, ReadFailsPromptlyAndResumesOnceAServerRepairsTheChannel) {
    ASSERT_EQ(Publisher::Run({"--bins", "0,1", "--once", "--pose", "0=1,1,1,1,1,1"}), 0);
    float pose[6] = {};
    ASSERT_TRUE(ReadStationPose(client, 0, 0, pose));
    ASSERT_TRUE(GetParam().inflict(*this));

    // A reader that waited for the server instead would never get here.
    EXPECT_FALSE(ReadStationPose(client, 0, 0, pose));
    EXPECT_EQ(client.Trouble(0).held, GetParam().held) << "why the read failed";
    EXPECT_FALSE(client.IsLocked());
    EXPECT_TRUE(ReadStationPose(client, 1, 0, pose)) << "the other channel is untouched";
    if (GetParam().regionSizeAfterFailure >= 0) {
        ASSERT_TRUE(Truncate(RegionName(0, 0), GetParam().regionSizeAfterFailure));
    }
    EXPECT_FALSE(ReadStationPose(client, 0, 0, pose)) << "still broken: refused, not read";

    holder.reset();
    ASSERT_EQ(Publisher::Run({"--bins", "0", "--once", "--pose", "0=2,2,2,2,2,2"}), 0);
    struct stat status {};
    ASSERT_EQ(stat(Path(RegionName(0, 0)).c_str(), &status), 0);
    EXPECT_EQ(status.st_size, static_cast<off_t>(station_layout::publishedRegionSize))
        << "the server restores the size";
    EXPECT_TRUE(WaitForRepairedChannel()) << "the channel is picked up again";
}

INSTANTIATE_TEST_SUITE_P(Faults, ChannelFault, ::testing::ValuesIn(faults),
                         [](const ::testing::TestParamInfo<Fault>& info) { return std::string(info.param.name); });

// A lock the system refuses (here the writer's own mutex, taken twice) ends
// the write with the system's reason, which a writer that stops prints.
TEST_F(FaultTest, AWriterSaysWhyTheSystemRefusedItsLock) {
    ChannelWriter writer(0, 0);
    ASSERT_TRUE(writer.Open(0600, CounterState(1)));
    ASSERT_TRUE(writer.Lock());
    EXPECT_FALSE(writer.Lock());
    EXPECT_EQ(writer.Failure(), "cannot write " + Prefix() + RegionName(0, 0) +
                                    ": its mutex cannot be locked: " + platform::ErrorText(EDEADLK));
    EXPECT_TRUE(writer.Unlock());
}

// A running server whose region someone empties gives it back its size on
// its next write, and readers follow.
TEST_F(FaultTest, ServerRestoresARegionEmptiedUnderIt) {
    ChannelWriter writer(0, 0);
    ASSERT_TRUE(writer.Open(0600, ChannelState{}));
    ChannelState state;
    state.records[0].x = 3.0f;
    ASSERT_TRUE(writer.Publish(state));
    float pose[6] = {};
    ASSERT_TRUE(ReadStationPose(client, 0, 0, pose));
    ASSERT_TRUE(Truncate(RegionName(0, 0), 0));
    state.records[0].x = 4.0f;
    EXPECT_TRUE(writer.Publish(state));
    struct stat status {};
    ASSERT_EQ(stat(Path(RegionName(0, 0)).c_str(), &status), 0);
    EXPECT_EQ(status.st_size, static_cast<off_t>(station_layout::publishedRegionSize));
    EXPECT_TRUE(WaitForFirstFloat(client, 0, 0, 4.0f));
}

}  // namespace
