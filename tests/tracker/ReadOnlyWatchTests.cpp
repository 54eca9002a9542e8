// Watching a channel of another user's server: whoever may write a mutex
// object could steer the writes of every process that locks it, so no reader
// locks one that others may write; it reads through the server's write
// sequence instead. And whom readers trust besides themselves and root: the
// administrator's file of trusted owners.
#include <chrono>
#include <cstddef>
#include <fcntl.h>
#include <fstream>
#include <pthread.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "tests/support/ChildProcess.h"
#include "tests/support/OutputFile.h"
#include "tests/tracker/TrackerTestSupport.h"
#include "channel/StationReader.h"

namespace {

using namespace testsupport;
using Clock = std::chrono::steady_clock;

const Milliseconds runLimit(10000);

class ReadOnlyWatchTest : public SharedMemoryTest {
public:
    std::string Path(const std::string& name) const { return "/dev/shm/" + Prefix() + name; }
    bool Share(const std::string& name, uid_t owner, gid_t group, mode_t mode) const {
        return chown(Path(name).c_str(), owner, group) == 0 && chmod(Path(name).c_str(), mode) == 0;
    }
    Outcome Monitor(const std::vector<std::string>& options, const std::vector<std::string>& environment = {}) {
        std::vector<std::string> arguments{ProgramPath("lumivex-monitor")};
        arguments.insert(arguments.end(), options.begin(), options.end());
        return RunToEnd(arguments, ChildEnvironment(environment), runLimit);
    }
};

// What a member of a group that may write a mutex object can do to it while
// its server holds it: point the C library's robust-list links at an address
// of its choosing, put a dead thread's id in the lock word and flip the
// priority-inheritance bit of the kind word, over and over.
int Scribble(const std::string& path, Milliseconds duration) {
    int descriptor = open(path.c_str(), O_RDWR);
    if (descriptor < 0) return 1;
    const std::size_t length = alignof(pthread_mutex_t) + sizeof(pthread_mutex_t);
    void* base = mmap(nullptr, length, PROT_READ | PROT_WRITE, MAP_SHARED, descriptor, 0);
    if (base == MAP_FAILED) return 2;
    auto* mutex = reinterpret_cast<pthread_mutex_t*>(static_cast<char*>(base) + alignof(pthread_mutex_t));
    auto* chosen = reinterpret_cast<__pthread_internal_list*>(0x4141414141414140);
    for (auto end = Clock::now() + duration; Clock::now() < end;) {
        mutex->__data.__list.__prev = chosen;
        mutex->__data.__list.__next = chosen;
        mutex->__data.__kind ^= 32;
        mutex->__data.__lock = 0x3FFFFFF0;
    }
    return 0;
}

bool Whole(const float* pose) {
    for (int i = 1; i < 6; ++i)
        if (pose[i] != pose[0]) return false;
    return pose[0] > 0.0f;
}

// The channel of a server that left its mutex object writable by the
// watching group (our writers never do: they refuse such an object, and
// replace one loosened under them).
TEST_F(ReadOnlyWatchTest, AGroupThatMayWriteTheMutexHarmsNoReader) {
    ASSERT_EQ(Publisher::Run({"--bins", "0", "--motion", "counter", "--mode", "640", "--once"}), 0);
    ASSERT_TRUE(Share(RegionName(0, 0), 0, otherGroup, 0640));
    ASSERT_TRUE(Share(MutexName(0, 0), 0, otherGroup, 0660));
    pid_t attacker = StartAsOtherUser([this] { return Scribble(Path(MutexName(0, 0)), Milliseconds(1500)); });

    TrackerClient client;
    int whole = 0;
    for (auto end = Clock::now() + Milliseconds(500); Clock::now() < end; usleep(1000)) {
        float pose[6] = {};
        if (!ReadStationPose(client, 0, 3, pose)) continue;
        EXPECT_TRUE(Whole(pose)) << pose[0] << " " << pose[5];
        ++whole;
    }
    EXPECT_GT(whole, 0);
    EXPECT_TRUE(client.IsReadOnly(0)) << "a mutex its group may write is never locked";

    Outcome once = Monitor({"--once", "--bins", "0"});
    ASSERT_TRUE(once.finished && WIFEXITED(once.status)) << DescribeStatus(once.status);
    EXPECT_EQ(once.output.find("Mutex00"), std::string::npos) << "the mutex is not even looked at:\n" << once.output;
    OutputFile lines;
    ChildProcess watcher;
    int status = 0;
    ASSERT_TRUE(watcher.Start({{ProgramPath("lumivex-monitor"), "--bins", "0"}, ChildEnvironment({}), lines.Path()}));
    EXPECT_TRUE(lines.WaitFor("(0,0,3)", 0, runLimit) != std::string::npos) << lines.Text();
    ASSERT_TRUE(watcher.Signal(SIGINT) && watcher.WaitExit(runLimit, status));
    EXPECT_TRUE(WIFEXITED(status)) << DescribeStatus(status) << lines.Text();
    EXPECT_EQ(WaitForChild(attacker), 0) << "the attacker could not write the mutex object";

    // Made private again, the mutex object is closed to the group altogether.
    ASSERT_TRUE(Share(MutexName(0, 0), 0, otherGroup, 0600));
    pid_t member = StartAsOtherUser([this] { return open(Path(MutexName(0, 0)).c_str(), O_RDONLY) < 0 ? 0 : 1; });
    EXPECT_EQ(WaitForChild(member), 0) << "a group member opened a 0600 mutex object";
}

// The administrator's file names users whose objects are trusted like root's;
// only a regular file that nobody but root may write counts.
struct TrustedOwnersCase {
    const char* name;
    const char* text;
    uid_t owner;
    mode_t mode;
    bool link;
    const char* warning;  // empty: none
    bool trusted;
};

const TrustedOwnersCase trustedOwnersCases[] = {
    {"RootsFile", "# the server's account\n  nobody  # at the rig\n", 0, 0644, false, "", true},
    {"CommentOnly", "# nobody\n", 0, 0644, false, "", false},
    {"UnknownName", "lvx-no-such-user\nnobody\n", 0, 0644, false, "no such user \"lvx-no-such-user\"", true},
    {"GroupWritable", "nobody\n", 0, 0664, false, "ignored: someone but root may write it (owner uid 0, mode 0664)",
     false},
    {"OwnedByAnotherUser", "nobody\n", otherUser, 0644, false,
     "ignored: someone but root may write it (owner uid 65534", false},
    {"SymbolicLink", "nobody\n", 0, 0644, true, "ignored: a symbolic link", false},
};

void PrintTo(const TrustedOwnersCase& c, std::ostream* out) { *out << c.name; }

class TrustedOwners : public ReadOnlyWatchTest, public ::testing::WithParamInterface<TrustedOwnersCase> {};

TEST_P(TrustedOwners, AreTrustedOnlyFromAFileOnlyRootMayWrite) {
    if (geteuid() != 0) GTEST_SKIP() << "giving objects to other users needs root";
    const TrustedOwnersCase& c = GetParam();
    OutputFile file;
    std::ofstream(file.Path()) << c.text;
    ASSERT_EQ(chown(file.Path().c_str(), c.owner, 0), 0);
    ASSERT_EQ(chmod(file.Path().c_str(), c.mode), 0);
    const std::string link = file.Path() + ".link";
    if (c.link) {
        ASSERT_EQ(symlink(file.Path().c_str(), link.c_str()), 0);
    }
    ASSERT_EQ(Publisher::Run({"--bins", "0", "--once", "--mode", "640"}), 0);
    ASSERT_TRUE(Share(RegionName(0, 0), otherUser, otherGroup, 0640));
    ASSERT_TRUE(Share(MutexName(0, 0), otherUser, otherGroup, 0600));

    Outcome run = Monitor({"--once", "--bins", "0"}, {"LUMIVEX_TRUSTED_OWNERS=" + (c.link ? link : file.Path())});
    if (c.link) unlink(link.c_str());
    EXPECT_EQ(run.status, c.trusted ? 0 : 1 << 8) << DescribeStatus(run.status) << run.output;
    EXPECT_EQ(run.output.find("owned by another user") == std::string::npos, c.trusted) << run.output;
    EXPECT_EQ(run.output.find("trusted owners") != std::string::npos, *c.warning != '\0') << run.output;
    EXPECT_NE(run.output.find(c.warning), std::string::npos) << run.output;
}

INSTANTIATE_TEST_SUITE_P(Files, TrustedOwners, ::testing::ValuesIn(trustedOwnersCases),
                         [](const ::testing::TestParamInfo<TrustedOwnersCase>& info) {
                             return std::string(info.param.name);
                         });

}  // namespace
