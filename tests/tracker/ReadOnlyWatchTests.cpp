// Watching a channel of another user's server: whoever may write a mutex
// object could steer the writes of every process that locks it, so no reader
// locks one that others may write; it reads through the server's write
// sequence instead. And whom readers trust besides themselves and root: the
// administrator's file of trusted owners.
#include <chrono>
#include <csignal>
#include <functional>
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
    if (geteuid() != 0) GTEST_SKIP() << "giving objects to another group and user needs root";
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

// A process of another user that sets itself up (true when it could) and
// then goes on until it is killed, which the object's end does.
class Attacker {
public:
    Attacker(const std::function<bool()>& setUp, const std::function<void()>& keepOn) {
        int ready[2];
        if (pipe(ready) != 0) return;
        child = StartAsOtherUser([&] {
            char said = setUp() ? 1 : 0;
            if (write(ready[1], &said, 1) != 1 || !said) return 1;
            for (;;) keepOn();
        });
        close(ready[1]);
        char said = 0;
        inPlace = read(ready[0], &said, 1) == 1 && said;
        close(ready[0]);
    }
    ~Attacker() {
        kill(child, SIGKILL);
        WaitForChild(child);
    }
    bool inPlace = false;

private:
    pid_t child = -1;
};

// A whole-file lock of an open file of its own, as the writer's claim is
// taken, but for reading: anyone who may read the object can take it.
bool TakeReadLock(const std::string& path) {
    struct flock lock {};
    lock.l_type = F_RDLCK;
    int descriptor = open(path.c_str(), O_RDONLY);
    return descriptor >= 0 && fcntl(descriptor, F_OFD_SETLK, &lock) == 0;
}

// The owner of the mutex object holds the mutex and points the C library's
// robust-list links at page 1: a process that locks and unlocks it writes
// there (a segfault at 0x1000).
pthread_mutex_t* heldMutex = nullptr;
bool HoldMutex(const std::string& path) {
    int descriptor = open(path.c_str(), O_RDWR);
    const std::size_t length = alignof(pthread_mutex_t) + sizeof(pthread_mutex_t);
    void* base = descriptor < 0 ? MAP_FAILED : mmap(nullptr, length, PROT_READ | PROT_WRITE, MAP_SHARED, descriptor, 0);
    if (base == MAP_FAILED) return false;
    heldMutex = reinterpret_cast<pthread_mutex_t*>(static_cast<char*>(base) + alignof(pthread_mutex_t));
    return pthread_mutex_lock(heldMutex) == 0;
}
void PointLinksAtPageOne() {
    auto* page = reinterpret_cast<__pthread_internal_list*>(0x1000);
    heldMutex->__data.__list.__prev = page;
    heldMutex->__data.__list.__next = page;
}

// A mutex object that is not private to its server: a trusted account's,
// which that account may write, or one others may read, and so lock. Root's
// monitor still reads the channel (through the write sequence when it may
// not lock), and a writer replaces the object with a private one instead of
// locking it or taking someone's read lock for a live writer's claim.
struct UnfitMutex {
    const char* name;
    uid_t owner;
    mode_t modeWhileAttacked, modeAfter;
    bool trusted;                             // the owner is named in the file of trusted owners
    bool (*setUp)(const std::string& mutex);  // in the attacker, as the owner or a member of the group
    void (*keepOn)();
    std::vector<std::string> writer;  // the writer's options; the replacement is checked for a publisher
};

const UnfitMutex unfitMutexes[] = {
    {"TrustedAccountHoldsItAndSteersItsLinks",
     otherUser,
     0600,
     0600,
     true,
     HoldMutex,
     PointLinksAtPageOne,
     {"--bins", "0", "--once"}},
    {"ReadableAndReadLocked", 0, 0644, 0644, false, TakeReadLock, [] { pause(); }, {"--bins", "0", "--once"}},
    {"ReadLockedThenMadePrivate", 0, 0644, 0600, false, TakeReadLock, [] { pause(); }, {"--bins", "0", "--once"}},
    {"ReadLockedAndUnlinked", 0, 0644, 0644, false, TakeReadLock, [] { pause(); }, {"--unlink", "--bins", "0"}},
};

void PrintTo(const UnfitMutex& c, std::ostream* out) { *out << c.name; }

class UnfitMutexTest : public ReadOnlyWatchTest, public ::testing::WithParamInterface<UnfitMutex> {};

TEST_P(UnfitMutexTest, NeitherSteersNorStopsRootsPrograms) {
    if (geteuid() != 0) GTEST_SKIP() << "giving objects to other users needs root";
    const UnfitMutex& c = GetParam();
    OutputFile trusted;
    std::ofstream(trusted.Path()) << (c.trusted ? "nobody\n" : "");
    ASSERT_EQ(chmod(trusted.Path().c_str(), 0644), 0);
    const std::vector<std::string> environment{"LUMIVEX_TRUSTED_OWNERS=" + trusted.Path()};
    ASSERT_EQ(Publisher::Run({"--bins", "0", "--motion", "counter", "--mode", "640", "--once"}), 0);
    ASSERT_TRUE(Share(RegionName(0, 0), c.owner, otherGroup, 0640));
    ASSERT_TRUE(Share(MutexName(0, 0), c.owner, otherGroup, c.modeWhileAttacked));
    const std::string mutex = Path(MutexName(0, 0));
    Attacker attacker([&] { return c.setUp(mutex); }, c.keepOn);
    ASSERT_TRUE(attacker.inPlace);
    ASSERT_TRUE(Share(MutexName(0, 0), c.owner, otherGroup, c.modeAfter));

    Outcome once = Monitor({"--once", "--bins", "0"}, environment);
    EXPECT_EQ(once.status, 0) << DescribeStatus(once.status) << once.output;
    EXPECT_NE(once.output.find("(0,0,3)"), std::string::npos) << once.output;

    std::vector<std::string> arguments{ProgramPath("lumivex-publisher")};
    arguments.insert(arguments.end(), c.writer.begin(), c.writer.end());
    Outcome writer = RunToEnd(arguments, ChildEnvironment(environment), runLimit);
    EXPECT_EQ(writer.status, 0) << DescribeStatus(writer.status) << writer.output;
    struct stat status {};
    if (c.writer[0] == "--unlink") {
        EXPECT_NE(stat(mutex.c_str(), &status), 0) << "still there after --unlink";
        return;
    }
    EXPECT_NE(writer.output.find("its mutex object was not private to this user"), std::string::npos) << writer.output;
    ASSERT_EQ(stat(mutex.c_str(), &status), 0);
    EXPECT_EQ(status.st_uid, 0u);
    EXPECT_EQ(status.st_mode & 07777, 0600u);
}

INSTANTIATE_TEST_SUITE_P(Kinds, UnfitMutexTest, ::testing::ValuesIn(unfitMutexes),
                         [](const ::testing::TestParamInfo<UnfitMutex>& info) { return std::string(info.param.name); });

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
