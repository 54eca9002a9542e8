// The bridge as users run it: a publisher under one shared-memory prefix
// stands for the tracking server's machine, receivers under other prefixes
// for the viewers' machines, all on a DDS domain of the test's own that only
// uses the loopback interface.
#include <gtest/gtest.h>

#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "tests/bridge/BridgeTestSupport.h"

namespace {

using namespace testsupport;
using namespace bridgetest;

const char* const loopbackOnly =
    "<General><Interfaces><NetworkInterface name=\"lo\"/></Interfaces><AllowMulticast>false</AllowMulticast>"
    "</General><Discovery><ParticipantIndex>auto</ParticipantIndex><MaxAutoParticipantIndex>30"
    "</MaxAutoParticipantIndex><Peers><Peer address=\"127.0.0.1\"/></Peers></Discovery>";

class BridgeTest : public ::testing::Test {
protected:
    void SetUp() override {
        base = "lvxbridge" + std::to_string(getpid()) + "_";
        // ctest runs each test in a process of its own; 201..232 are left for hand runs.
        domain = std::to_string(1 + getpid() % 200);
        for (const std::string& prefix : {Source(), Mirror(1), Mirror(2), Mirror(3), Mirror(4)}) Unlink(prefix);
    }
    void TearDown() override {
        programs.clear();
        for (const std::string& prefix : {Source(), Mirror(1), Mirror(2), Mirror(3), Mirror(4)}) Unlink(prefix);
    }

    std::string Source() const { return base + "A_"; }
    std::string Mirror(int k) const { return base + "B" + std::to_string(k) + "_"; }

    std::vector<std::string> Environment(const std::string& prefix) const {
        return ChildEnvironment({"LUMIVEX_SHM_PREFIX=" + prefix, std::string("CYCLONEDDS_URI=") + loopbackOnly},
                                {"DISPLAY"});
    }

    Program& Start(const std::string& prefix, std::vector<std::string> arguments) {
        programs.push_back(std::make_unique<Program>());
        Program& program = *programs.back();
        arguments[0] = ProgramPath(arguments[0]);
        EXPECT_TRUE(program.process.Start({arguments, Environment(prefix), program.output.Path()})) << arguments[0];
        return program;
    }
    Program& StartSender() {
        return Start(Source(), {"lumivex-bridge", "send", "--instrument", "3", "--bins", "0,5", "--domain", domain});
    }
    Program& StartReceiver(int k, const std::string& bins = "0,5") {
        return Start(Mirror(k), {"lumivex-bridge", "receive", "--instrument", "3", "--bins", bins, "--domain", domain});
    }

    // Writes one state under the source prefix, as the tracking server would.
    void PublishOnce(const std::string& description) {
        Outcome run = RunToEnd({ProgramPath("lumivex-publisher"), "--once", "--instrument", "3", "--bins", "0,5",
                                "--flags", "123", "--motion", "counter", "--description", description},
                               Environment(Source()), patience);
        ASSERT_TRUE(run.finished && run.status == 0) << run.output;
    }

    bool Mirrors(int k, Milliseconds limit = patience) { return bridgetest::Mirrors(Source(), Mirror(k), limit); }

    // The viewer's start-up report, which quotes each channel's flags and description.
    std::string ViewerReport(const std::string& prefix) {
        Outcome run = RunToEnd({ProgramPath("lumivex"), "/Txi8", "/Txb21"}, Environment(prefix), patience);
        EXPECT_TRUE(run.finished);
        return run.output;
    }

    std::string domain;

private:
    std::string base;
    std::vector<std::unique_ptr<Program>> programs;
};

// Late joiners: three receivers that start after the sender has published get
// the current state at once, byte for byte, and a viewer behind each reports
// the same tracking configuration as one beside the source. A fourth, asked
// for bin 0 only, never creates bin 5.
TEST_F(BridgeTest, ReceiversStartedLateMirrorTheSourceForTheViewer) {
    PublishOnce("Bridged tracker");
    Program& sender = StartSender();
    ASSERT_NE(sender.output.WaitFor("bin 5: sending \"Bridged tracker\"", 0, patience), std::string::npos)
        << sender.output.Text();
    for (int k = 1; k <= 3; ++k) StartReceiver(k);
    StartReceiver(4, "0");

    const std::string sourceReport = ViewerReport(Source());
    ASSERT_NE(sourceReport.find("Bridged tracker"), std::string::npos) << sourceReport;
    for (int k = 1; k <= 3; ++k) {
        ASSERT_TRUE(Mirrors(k)) << "receiver " << k;
        EXPECT_EQ(ViewerReport(Mirror(k)), sourceReport) << "receiver " << k;
    }
    EXPECT_TRUE(ChannelExists(Mirror(4), instrument, 0));
    EXPECT_FALSE(ChannelExists(Mirror(4), instrument, 5));
}

// A receiver that starts first waits; it warns once when the sender goes,
// keeps the last state, follows a restarted sender, and a restarted receiver
// rebuilds channels that were removed meanwhile.
TEST_F(BridgeTest, FollowsRestartsOfSenderAndReceiver) {
    Program& receiver = StartReceiver(1);
    PublishOnce("first");
    ASSERT_FALSE(Mirrors(1, Milliseconds(500))) << "nothing to mirror without a sender";
    Program& sender = StartSender();
    ASSERT_TRUE(Mirrors(1));
    sender.process.Stop();
    ASSERT_NE(receiver.output.WaitFor("warning: sender: gone", 0, patience), std::string::npos);
    EXPECT_TRUE(Mirrors(1, Milliseconds(0))) << "the last state stays";

    PublishOnce("second");
    StartSender();
    ASSERT_TRUE(Mirrors(1));
    const std::string text = receiver.output.Text();
    EXPECT_EQ(text.find("warning: sender: gone", text.find("warning: sender: gone") + 1), std::string::npos)
        << "one line per lost sender:\n" << text;
    const size_t plain = text.find("plain DDS (no --rig): anyone who reaches DDS domain");
    EXPECT_TRUE(plain != std::string::npos && text.find("plain DDS", plain + 1) == std::string::npos)
        << "plain mode is said once:\n" << text;

    receiver.process.Stop();
    Unlink(Mirror(1));
    StartReceiver(1);
    EXPECT_TRUE(Mirrors(1));
}

}  // namespace
