// The viewer's tracker link against real publisher processes under one
// Windows (or Wine) session: attaching, reading, a server that starts again,
// and one that is ended while it holds its mutex.
#include <csignal>

#include "platform/SharedMemory.h"
#include "tests/windows/WindowsTestSupport.h"
#include "channel/ChannelName.h"
#include "channel/ObjectRefusal.h"
#include "channel/StationReader.h"
#include "channel/TrackerClient.h"

namespace testsupport {
namespace {

using TrackerLinkTest = WindowsProgramTest;

bool PoseIs(TrackerClient& client, int bin, int station, float x) {
    float pose[6] = {};
    return client.Attach() && ReadStationPose(client, bin, station, pose) && pose[0] == x;
}

TEST_F(TrackerLinkTest, AttachesAndReadsThePublishedPose) {
    OutputFile output;
    ChildProcess publisher;
    ASSERT_TRUE(
        StartPublisher(publisher, output, {"--bins", "0,1", "--rate", "50", "--pose", "31=1.5,-2.25,3,0.1,-0.2,0.3"}));
    TrackerClient client;
    ASSERT_TRUE(WaitUntil([&] { return PoseIs(client, 1, 31, 1.5f); })) << output.Text();
    float pose[6] = {};
    ASSERT_TRUE(ReadStationPose(client, 1, 31, pose));
    const float expected[6] = {1.5f, -2.25f, 3.0f, 0.1f, -0.2f, 0.3f};
    for (int i = 0; i < 6; ++i) EXPECT_EQ(pose[i], expected[i]) << i;
    EXPECT_FALSE(client.IsLocked());
}

// The objects live while the reader holds them, so a server that starts
// again opens the same ones and the reader follows it without reopening.
TEST_F(TrackerLinkTest, FollowsAServerThatStartsAgain) {
    OutputFile output;
    TrackerClient client;
    {
        ChildProcess first;
        ASSERT_TRUE(StartPublisher(first, output, {"--bins", "0", "--rate", "50", "--pose", "0=7,0,0,0,0,0"}));
        ASSERT_TRUE(WaitUntil([&] { return PoseIs(client, 0, 0, 7.0f); })) << output.Text();
    }
    EXPECT_TRUE(PoseIs(client, 0, 0, 7.0f)) << "the ended server's last pose stays";
    ChildProcess second;
    ASSERT_TRUE(StartPublisher(second, output, {"--bins", "0", "--rate", "50", "--pose", "0=-1,0,0,0,0,0"}));
    EXPECT_TRUE(WaitUntil([&] { return PoseIs(client, 0, 0, -1.0f); })) << output.Text();
}

// The mutex is abandoned: the next lock reports it once, naming the dead
// holder, and reading goes on.
TEST_F(TrackerLinkTest, ServerEndedWhileHoldingItsMutexIsReportedAndReadingGoesOn) {
    OutputFile output;
    ChildProcess publisher;
    ASSERT_TRUE(StartPublisher(publisher, output,
                               {"--bins", "0", "--rate", "1", "--hold-lock-ms", "3000", "--pose", "0=4,0,0,0,0,0"}));
    TrackerClient client;
    ASSERT_TRUE(WaitUntil([&] { return client.Attach() && client.IsChannelOpen(0); })) << output.Text();
    const std::string mutexName = NameOf(ChannelObject::Mutex, 0, 0).text;
    ASSERT_TRUE(WaitUntil([&] {
        platform::SharedMutex* mutex = platform::OpenSharedMutex(mutexName.c_str());
        bool held =
            mutex && platform::LockSharedMutex(mutex, std::chrono::nanoseconds(0)) == platform::LockResult::TimedOut;
        platform::CloseSharedMutex(mutex);
        return held;
    }));
    ASSERT_TRUE(publisher.Signal(SIGTERM)) << "TerminateProcess";
    int status = 0;
    ASSERT_TRUE(publisher.WaitExit(Milliseconds(5000), status));
    client.SelectChannel(0);
    EXPECT_FALSE(client.Lock()) << "the abandoned mutex is reported, not waited for";
    EXPECT_NE(DescribeTrouble(client, 0).find("its holder died holding it"), std::string::npos)
        << DescribeTrouble(client, 0);
    float pose[6] = {};
    EXPECT_TRUE(ReadStationPose(client, 0, 0, pose)) << "the mutex can be taken again";
}

// A second writer is refused while the first lives, and names it; once the
// first is ended with TerminateProcess its claim is free again.
TEST_F(TrackerLinkTest, OneWriterPerChannelWhileItLives) {
    OutputFile output;
    ChildProcess first;
    ASSERT_TRUE(StartPublisher(first, output, {"--bins", "0", "--rate", "50", "--pose", "0=3,0,0,0,0,0"}));
    TrackerClient client;
    ASSERT_TRUE(WaitUntil([&] { return PoseIs(client, 0, 0, 3.0f); })) << output.Text();
    Outcome second = Run("lumivex-publisher", {"--bins", "0", "--once", "--pose", "0=9,0,0,0,0,0"});
    EXPECT_EQ(second.status, 1) << second.output;
    EXPECT_NE(second.output.find("has a live writer, process " + std::to_string(first.Id())), std::string::npos)
        << second.output;
    EXPECT_TRUE(PoseIs(client, 0, 0, 3.0f));
    ASSERT_TRUE(first.Signal(SIGTERM)) << "TerminateProcess";
    int status = 0;
    ASSERT_TRUE(first.WaitExit(Milliseconds(5000), status));
    second = Run("lumivex-publisher", {"--bins", "0", "--once", "--pose", "0=9,0,0,0,0,0"});
    EXPECT_EQ(second.status, 0) << second.output;
    EXPECT_TRUE(PoseIs(client, 0, 0, 9.0f));
}

}  // namespace
}  // namespace testsupport
