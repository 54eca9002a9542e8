// Objects another local user can leave under a channel's names, met by the
// real programs: the viewer's start-up report, lumivex-monitor --once, the
// publisher and the bridge's sender. Each must refuse the object, name it with
// its prefix and say why, and never hang or crash; the publisher ends with
// status 1, or replaces a mutex object that is not private to it. The viewer
// names each refused object once. The objects that the rule accepts must
// still be used.
#include <acl/libacl.h>
#include <csignal>
#include <fcntl.h>
#include <cstdint>
#include <cstring>
#include <functional>
#include <pthread.h>
#include <sys/acl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "tests/support/OutputFile.h"
#include "tests/support/DdsLoopback.h"
#include "tests/tracker/TrackerTestSupport.h"
#include "channel/ChannelState.h"
#include "channel/StationReader.h"

namespace {

using namespace testsupport;

const Milliseconds runLimit(10000);
const uid_t nobody = 65534;

int Occurrences(const std::string& text, const std::string& part) {
    int count = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
    return count;
}

class HostileObjectTest : public SharedMemoryTest {
public:
    // A directory made under a channel's name is not removed by unlinking
    // names, so it goes here, at the start and at the end.
    void SetUp() override {
        SharedMemoryTest::SetUp();
        RemoveDirectories();
    }
    void TearDown() override {
        SharedMemoryTest::TearDown();
        RemoveDirectories();
    }
    void RemoveDirectories() const {
        for (const std::string& path : {Region(), Mutex()}) (void)rmdir(path.c_str());
    }

    std::string Region() const { return Path(RegionName(0, 0)); }
    std::string Mutex() const { return Path(MutexName(0, 0)); }

    // As a server that keeps no write sequence leaves it: a reader must lock
    // the mutex or read nothing.
    bool Publish() { return Publisher::Run({"--bins", "0", "--once"}) == 0 && ClearSequenceMark(); }
    bool ClearSequenceMark() const {
        int descriptor = open(Region().c_str(), O_WRONLY);
        const uint32_t zero = 0;
        bool written = descriptor >= 0 &&
                       pwrite(descriptor, &zero, sizeof zero, station_layout::sequenceMarkOffset) == sizeof zero;
        return close(descriptor) == 0 && written;
    }
    bool Replace(const std::string& path, const std::function<bool(const char*)>& make) {
        return unlink(path.c_str()) == 0 && make(path.c_str());
    }
    bool GiveTo(const std::string& path, uid_t owner, gid_t group, mode_t mode) {
        return chown(path.c_str(), owner, group) == 0 && chmod(path.c_str(), mode) == 0;
    }
    // `text` with {uid} and {gid} standing for this user's, who made the
    // object, and {other} for a user who is not this one.
    static std::string OfThisUser(std::string text) {
        const uid_t other = geteuid() == nobody ? nobody - 1 : nobody;
        for (auto [token, id] :
             {std::pair{"{uid}", geteuid()}, std::pair{"{gid}", getegid()}, std::pair{"{other}", other}})
            for (std::size_t at; (at = text.find(token)) != std::string::npos;)
                text.replace(at, std::strlen(token), std::to_string(id));
        return text;
    }
    bool AddAcl(const std::string& path, const char* text) {
        acl_t acl = acl_from_text(OfThisUser(text).c_str());
        bool set = acl && acl_set_file(path.c_str(), ACL_TYPE_ACCESS, acl) == 0;
        acl_free(acl);
        return set;
    }
    // A mutex marked ready whose kind says robust, priority-inheriting and
    // process-shared (glibc's bits 16, 32 and 128) with an owner that is long
    // gone: glibc asserts when it locks one.
    bool ForgeMutexKind() {
        const int32_t deadOwner = 0x3FFFFFF0;
        return PokeMutexField(Mutex(), offsetof(pthread_mutex_t, __data.__kind), 16 | 32 | 128) &&
               PokeMutexField(Mutex(), offsetof(pthread_mutex_t, __data.__owner), deadOwner) &&
               PokeMutexField(Mutex(), offsetof(pthread_mutex_t, __data.__lock), deadOwner);
    }

    std::vector<std::string> Environment() const {
        return ChildEnvironment({"LUMIVEX_SHM_PREFIX=" + Prefix(), std::string("CYCLONEDDS_URI=") + ddsLoopbackOnly},
                                {"DISPLAY"});
    }
    Outcome Run(std::vector<std::string> arguments) {
        arguments[0] = ProgramPath(arguments[0]);
        return RunToEnd(arguments, Environment(), runLimit);
    }
    // The sender polls for good: its output after a while, and whether it
    // then ended promptly on SIGINT.
    bool RunSender(const std::string& expected, std::string& output) {
        OutputFile file;
        ChildProcess sender;
        int status = 0;
        bool started = sender.Start(
            {{ProgramPath("lumivex-bridge"), "send", "--bins", "0", "--domain", std::to_string(1 + getpid() % 200)},
             Environment(),
             file.Path()});
        file.WaitFor(expected, 0, Milliseconds(3000));
        bool ended = started && sender.Signal(SIGINT) && sender.WaitExit(Milliseconds(3000), status);
        output = file.Text();
        return ended;
    }
};

struct Hostile {
    const char* name;
    std::function<bool(HostileObjectTest&)> make;  // on a channel just published by our own server
    const char* reason;                            // empty: the rule accepts it
    bool mutexObject;
    bool sender;                 // also run the bridge's sender (a FIFO hung it, a forged kind aborted it)
    bool regionRemoved = false;  // readers see no channel; only a writer meets the mutex
    bool replaced = false;       // a mutex object the publisher replaces rather than refuses
    const char* hint = "";       // what every program that refuses adds to the reason
    bool rootsObject = false;    // made by giving an object to another user or group, which only root may do
};

const Hostile hostiles[] = {
    {"Fifo",
     [](HostileObjectTest& t) {
         return t.Replace(t.Region(), [](const char* p) { return mkfifo(p, 0666) == 0 && chmod(p, 0666) == 0; });
     },
     "not a regular file (a FIFO, owner uid {uid}, group {gid}, mode 0666)", false, true},
    {"Symlink",
     [](HostileObjectTest& t) {
         return t.Replace(t.Region(), [&t](const char* p) { return symlink(t.Mutex().c_str(), p) == 0; });
     },
     "not a regular file (a symbolic link, owner uid {uid}, group {gid}, mode 0777)", false, false},
    {"Directory",
     [](HostileObjectTest& t) {
         return t.Replace(t.Region(), [](const char* p) { return mkdir(p, 0777) == 0 && chmod(p, 0777) == 0; });
     },
     "not a regular file (a directory, owner uid {uid}, group {gid}, mode 0777)", false, false},
    {"SquattedByAnotherUser", [](HostileObjectTest& t) { return t.GiveTo(t.Region(), nobody, nobody, 0666); },
     "owned by another user (owner uid 65534, group 65534, mode 0666)", false, false, false, false, "", true},
    {"WritableByEveryUser", [](HostileObjectTest& t) { return chmod(t.Mutex().c_str(), 0602) == 0; },
     "writable by every user (owner uid {uid}, group {gid}, mode 0602)", true, false, false, true},
    {"WritableByAForeignGroup", [](HostileObjectTest& t) { return t.GiveTo(t.Mutex(), 0, nobody, 0660); },
     "writable by a group this user is not in (owner uid 0, group 65534, mode 0660)", true, false, false, true, "",
     true},
    {"AclGrantsAnotherUserWrite",
     [](HostileObjectTest& t) { return t.AddAcl(t.Mutex(), "u::rw-,u:{other}:rw-,g::---,m::rw-,o::---"); },
     "an ACL lets another user or group write it", true, false, false, true},
    // Whoever the ACL names could write poses without the mutex: only the
    // region's own rule keeps them from readers and the writer.
    {"AclGrantsAnotherUserWriteOfTheRegion",
     [](HostileObjectTest& t) { return t.AddAcl(t.Region(), "u::rw-,u:{other}:rw-,g::r--,m::rw-,o::r--"); },
     "an ACL lets another user or group write it", false, true},
    {"ForgedMutexKind", [](HostileObjectTest& t) { return t.ForgeMutexKind(); },
     "not ready: not a mutex of the kind our servers create", true, true},
    // Readers find no channel; only the publisher meets the mutex object.
    {"MutexSquattedWithoutRegion",
     [](HostileObjectTest& t) { return unlink(t.Region().c_str()) == 0 && t.GiveTo(t.Mutex(), nobody, nobody, 0666); },
     "owned by another user (owner uid 65534, group 65534, mode 0666)", true, false, true, true, "", true},
    // The old rig: root's objects, group-writable by a group this user is
    // in. The region is trusted; the mutex is not locked even so, and every
    // program, the bridge's sender too, says what replaced that set-up.
    {"RootsObjectsWritableByOwnGroup",
     [](HostileObjectTest& t) {
         return t.GiveTo(t.Region(), 0, getegid(), 0660) && t.GiveTo(t.Mutex(), 0, getegid(), 0660);
     },
     "writable by its group, so no program locks it (owner uid 0, group 0, mode 0660)", true, true, false, true,
     "mode 0660, which earlier releases advised for a group that watches, is no longer used", true},
};

void PrintTo(const Hostile& hostile, std::ostream* out) { *out << hostile.name; }

class HostileObject : public HostileObjectTest, public ::testing::WithParamInterface<Hostile> {};

TEST_P(HostileObject, IsRefusedByNameAndReasonWithoutHangingAnyProgram) {
    const Hostile& hostile = GetParam();
    if (hostile.rootsObject && geteuid() != 0) GTEST_SKIP() << "giving objects to other users needs root";
    ASSERT_TRUE(Publish());
    ASSERT_TRUE(hostile.make(*this));
    const bool refused = *hostile.reason != '\0';
    const std::string named =
        Prefix() + (hostile.mutexObject ? MutexName(0, 0) : RegionName(0, 0)) + ": " + OfThisUser(hostile.reason);
    auto hinted = [&hostile](const std::string& output) { return output.find(hostile.hint) != std::string::npos; };

    if (!hostile.regionRemoved) {
        Outcome viewer = Run({"lumivex", "/Txb1"});
        ASSERT_TRUE(viewer.finished) << "the viewer hung";
        EXPECT_TRUE(WIFEXITED(viewer.status)) << DescribeStatus(viewer.status);
        EXPECT_EQ(viewer.output.find("Not connected") != std::string::npos, refused) << viewer.output;
        EXPECT_EQ(Occurrences(viewer.output, named), refused ? 1 : 0) << "named once:\n" << viewer.output;

        Outcome monitor = Run({"lumivex-monitor", "--once", "--bins", "0"});
        ASSERT_TRUE(monitor.finished) << "the monitor hung";
        EXPECT_EQ(monitor.status, refused ? 1 << 8 : 0) << DescribeStatus(monitor.status) << monitor.output;
        EXPECT_EQ(Occurrences(monitor.output, named), refused ? 1 : 0) << "named once:\n" << monitor.output;
        EXPECT_TRUE(hinted(monitor.output)) << monitor.output;
    }

    if (hostile.sender) {
        std::string output;
        EXPECT_TRUE(RunSender(named, output)) << "the sender hung or ignored SIGINT:\n" << output;
        EXPECT_NE(output.find(named), std::string::npos) << output;
        EXPECT_TRUE(hinted(output)) << output;
    }

    struct stat region {};
    const bool regionThere = lstat(Region().c_str(), &region) == 0;
    Outcome publisher = Run({"lumivex-publisher", "--bins", "0", "--once"});
    ASSERT_TRUE(publisher.finished) << "the publisher hung";
    const bool writerRefused = refused && !hostile.replaced;
    EXPECT_EQ(publisher.status, writerRefused ? 1 << 8 : 0) << DescribeStatus(publisher.status) << publisher.output;
    EXPECT_EQ(publisher.output.find("cannot use " + named) != std::string::npos, writerRefused) << publisher.output;
    EXPECT_TRUE(!writerRefused || hinted(publisher.output)) << publisher.output;
    EXPECT_EQ(Occurrences(publisher.output, "its mutex object was not private to this user"), hostile.replaced ? 1 : 0)
        << publisher.output;
    // A refused publisher takes away the region it created, and only that.
    EXPECT_EQ(lstat(Region().c_str(), &region) == 0, regionThere || !writerRefused);
    struct stat mutex {};
    if (hostile.replaced) {
        ASSERT_EQ(stat(Mutex().c_str(), &mutex), 0);
        EXPECT_EQ(mutex.st_uid, geteuid());
        EXPECT_EQ(mutex.st_mode & 07777, 0600u);
    }
}

// A process that sits on a channel's mutex: the monitor says so, by the
// mutex's full name, and a writer skips the write it cannot lock in time and
// says so at its end instead of waiting for ever.
TEST_F(HostileObjectTest, AHeldMutexIsNamedByTheMonitorAndSkippedByAWriter) {
    ASSERT_TRUE(Publish());
    platform::SharedMutex* mutex = platform::OpenSharedMutex(MutexName(0, 0).c_str());
    ASSERT_EQ(platform::LockSharedMutex(mutex), platform::LockResult::Acquired);

    Outcome monitor = Run({"lumivex-monitor", "--once", "--bins", "0"});
    EXPECT_EQ(monitor.status, 1 << 8) << DescribeStatus(monitor.status);
    EXPECT_NE(monitor.output.find(Prefix() + MutexName(0, 0) + ": held by another process"), std::string::npos)
        << monitor.output;

    Outcome writer = Run({"lumivex-publisher", "--bins", "0", "--once"});
    EXPECT_EQ(writer.status, 0) << DescribeStatus(writer.status) << writer.output;
    // Both the first content, written under a mutex that exists already, and
    // the round after it are skipped.
    EXPECT_NE(writer.output.find("2 writes of " + Prefix() + RegionName(0, 0) + " skipped"), std::string::npos)
        << writer.output;
    EXPECT_TRUE(platform::UnlockSharedMutex(mutex));
    platform::CloseSharedMutex(mutex);
}

INSTANTIATE_TEST_SUITE_P(Objects, HostileObject, ::testing::ValuesIn(hostiles),
                         [](const ::testing::TestParamInfo<Hostile>& info) { return std::string(info.param.name); });

}  // namespace
