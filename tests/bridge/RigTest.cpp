// The secure rig on a network of its own: two network namespaces joined by a
// veth pair stand for the server's machine (publisher and sender) and a
// viewer's machine (receiver), each with its own shared-memory prefix. The
// rig's files are made with lumivex-bridge's own rig commands.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "bridge/SecuritySettings.h"
#include "tests/bridge/BridgeTestSupport.h"
#include "tests/bridge/TestNetwork.h"
#include "tests/support/SharedObjectPath.h"
#include "tests/tracker/TrackerTestSupport.h"

namespace {

using namespace testsupport;
using namespace bridgetest;

class RigTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string why;
        if (!network.Create(why)) GTEST_SKIP() << "no test network, so no rig test: " << why;
        char folder[] = "/tmp/lvxrigXXXXXX";
        ASSERT_NE(mkdtemp(folder), nullptr);
        files = folder;
        base = "lvxrig" + std::to_string(getpid()) + "_";
        domain = std::to_string(1 + getpid() % 200);
        for (const std::string& prefix : {Source(), Mirror()}) Unlink(prefix);
        for (const std::vector<std::string>& command : {std::vector<std::string>{"rig", "init", Rig()},
                                                        {"rig", "add", Rig(), "sender", "--send", "3"},
                                                        {"rig", "add", Rig(), "viewer", "--receive"},
                                                        {"rig", "add", Rig(), "intruder", "--send", "0-2"},
                                                        {"rig", "init", files + "/other"},
                                                        {"rig", "add", files + "/other", "sender", "--send", "3"}})
            ASSERT_EQ(RunBridge(command).status, 0);
    }
    void TearDown() override {
        programs.clear();
        for (const std::string& prefix : {Source(), Mirror()}) Unlink(prefix);
        if (!files.empty()) std::filesystem::remove_all(files);
    }

    std::string Source() const { return base + "A_"; }
    std::string Mirror() const { return base + "B_"; }
    std::string Rig() const { return files + "/rig"; }

    // Machine 0 is the server's, machine 1 the viewer's.
    std::vector<std::string> Environment(int machine) const {
        return ChildEnvironment({"LUMIVEX_SHM_PREFIX=" + (machine == 0 ? Source() : Mirror()),
                                 "CYCLONEDDS_URI=" + network.CycloneUri(machine) + cycloneExtra});
    }
    Outcome RunOn(int machine, std::vector<std::string> arguments) {
        arguments[0] = ProgramPath(arguments[0]);
        return RunToEnd(network.On(machine, arguments), Environment(machine), patience);
    }
    Program& StartOn(int machine, std::vector<std::string> arguments) {
        programs.push_back(std::make_unique<Program>());
        Program& program = *programs.back();
        arguments[0] = ProgramPath(arguments[0]);
        EXPECT_TRUE(
            program.process.Start({network.On(machine, arguments), Environment(machine), program.output.Path()}));
        return program;
    }
    // Plain when `secure` is false.
    Program& StartSender(bool secure = true) {
        return StartOn(0, Secured({"lumivex-bridge", "send", "--instrument", "3", "--bins", "0,5", "--domain", domain},
                                  secure, "sender"));
    }
    // Also listens to instrument 1, which the intruder may send; lets the
    // group read the channels, as a viewers' group would.
    Program& StartReceiver(bool secure = true) {
        return StartOn(1, Secured({"lumivex-bridge", "receive", "--instrument", "1,3", "--bins", "0,5", "--domain",
                                   domain, "--mode", "640"},
                                  secure, "viewer"));
    }
    std::vector<std::string> Secured(std::vector<std::string> arguments, bool secure, const std::string& member) {
        if (secure) arguments.insert(arguments.end(), {"--rig", Rig() + "/" + member});
        return arguments;
    }
    void Publish(const std::vector<std::string>& how) {
        std::vector<std::string> arguments{"lumivex-publisher", "--instrument", "3", "--bins", "0,5",
                                           "--motion",          "counter"};
        arguments.insert(arguments.end(), how.begin(), how.end());
        Outcome run = RunOn(0, arguments);
        ASSERT_TRUE(run.finished && run.status == 0) << run.output;
    }
    bool Mirrored(Milliseconds limit = patience) { return Mirrors(Source(), Mirror(), limit); }

    TestNetwork network;
    std::string domain;
    std::string cycloneExtra;  // appended to each machine's Cyclone configuration

public:
    // Until the receiver counts the sender gone, which takes the
    // participants' 10 s lease, so that they must find each other again; the
    // server writes a new state meanwhile.
    void Partition(Program& receiver) {
        const std::size_t before = receiver.output.Text().size();
        ASSERT_TRUE(network.SetLink(false));
        Publish({"--once", "--description", "written during the partition"});
        EXPECT_NE(receiver.output.WaitFor("sender: gone (0 left)", before, 4 * patience), std::string::npos)
            << receiver.output.Text();
        ASSERT_TRUE(network.SetLink(true));
    }
    // 30 % of the packets lost each way while the server writes at 120 Hz,
    // then once more and leaves that state (a server that ends removes its
    // channels).
    void LoseRandomly(Program&) {
        ASSERT_TRUE(network.DropRandomly(0.3));
        Publish({"--rate", "120", "--duration", "3"});
        Publish({"--once", "--description", "after the loss"});
    }

private:
    std::string files, base;
    std::vector<std::unique_ptr<Program>> programs;
};

struct Forger {
    const char* name;
    const char* member;         // under the test's folder; "" joins without security
    const char* writers;        // partitions it may write into
    const char* receiverWarns;  // what the receiver says about its samples, if anything
};

const Forger forgers[] = {
    {"no identity", "", "writers: 16", ""},
    {"another rig's sender", "other/sender", "writers: 1", ""},
    {"receive-only member", "rig/viewer", "writers: 0", ""},
    {"sender of other instruments", "rig/intruder", "writers: 3",
     "sample dropped: claims instrument 3 but came as instrument 1"},
};

// Forgers write "forged" states of instrument 3 for three seconds each; the
// receiver's channels stay byte-identical to the server's, no channel of an
// instrument the real sender does not send appears, and the monitor beside
// the receiver shows the server's tracker.
TEST_F(RigTest, CarriesChannelsAndKeepsForgersOut) {
    Publish({"--once", "--description", "Secure tracker"});
    StartSender();
    Program& receiver = StartReceiver();
    ASSERT_TRUE(Mirrored()) << receiver.output.Text();
    EXPECT_EQ(std::filesystem::status(testsupport::SharedObjectPath(Mirror(), RegionName(instrument, 0))).permissions(),
              std::filesystem::perms(0640));
    for (const Forger& forger : forgers) {
        std::vector<std::string> arguments{"bridge-forger", domain, "3", "3"};
        if (*forger.member) arguments.push_back(std::filesystem::path(Rig()).parent_path() / forger.member);
        Outcome run = RunOn(0, arguments);
        EXPECT_TRUE(run.finished && run.status == 0) << forger.name << ": " << run.output;
        EXPECT_NE(run.output.find(forger.writers), std::string::npos) << forger.name << ": " << run.output;
        EXPECT_TRUE(Mirrored(Milliseconds(0))) << forger.name;
        for (int bin : bins) EXPECT_FALSE(ChannelExists(Mirror(), 1, bin)) << forger.name;
        EXPECT_NE(receiver.output.Text().find(forger.receiverWarns), std::string::npos) << forger.name;
    }
    Outcome monitor = RunOn(1, {"lumivex-monitor", "--once", "--instrument", "3", "--bins", "0,5"});
    EXPECT_NE(monitor.output.find("Secure tracker"), std::string::npos) << monitor.output;
    EXPECT_EQ(monitor.output.find("forged"), std::string::npos) << monitor.output;
}

// Security from Cyclone's own configuration, as ddsperf takes it, is
// security: such a sender joins the rig and is not called plain. The
// receiver's --rig properties take precedence over the same configuration.
TEST_F(RigTest, SenderSecuredByItsConfigurationIsNotCalledPlain) {
    SecuritySettings sender;
    std::string error;
    ASSERT_TRUE(sender.Load(Rig() + "/sender", error)) << error;
    cycloneExtra = sender.ConfigXml();
    Publish({"--once", "--description", "configured"});
    Program& plainLooking = StartSender(false);
    Program& receiver = StartReceiver();
    ASSERT_TRUE(Mirrored()) << receiver.output.Text() << plainLooking.output.Text();
    EXPECT_EQ(plainLooking.output.Text().find("plain DDS"), std::string::npos) << plainLooking.output.Text();
}

struct NetworkFault {
    const char* name;
    void (RigTest::*apply)(Program& receiver);
    Milliseconds recovery;  // from the end of the fault until the newest state is there
};

const NetworkFault faults[] = {
    {"PartitionLongerThanLease", &RigTest::Partition, Milliseconds(1000)},
    {"RandomLoss", &RigTest::LoseRandomly, patience},
};

class RigNetworkTest : public RigTest, public ::testing::WithParamInterface<NetworkFault> {};

void PrintTo(const NetworkFault& fault, std::ostream* out) { *out << fault.name; }

TEST_P(RigNetworkTest, EndsWithTheNewestState) {
    Publish({"--once", "--description", "before"});
    Program& sender = StartSender();
    Program& receiver = StartReceiver();
    ASSERT_TRUE(Mirrored()) << receiver.output.Text();
    (this->*GetParam().apply)(receiver);
    EXPECT_TRUE(Mirrored(GetParam().recovery)) << "sender:\n"
                                               << sender.output.Text() << "receiver:\n"
                                               << receiver.output.Text();
}

INSTANTIATE_TEST_SUITE_P(Faults, RigNetworkTest, ::testing::ValuesIn(faults),
                         [](const auto& info) { return std::string(info.param.name); });

// A link that works one way only, for longer than the participants' lease
// and the receiver's silence limit together: the side that still hears the
// other believes the link is up. Plain and secure.
struct OneWayCut {
    const char* name;
    int deafMachine;  // the machine that receives nothing
    bool secure;
};

const OneWayCut oneWayCuts[] = {
    {"ServerToViewerPlain", 1, false},
    {"ServerToViewerSecure", 1, true},
    {"ViewerToServerPlain", 0, false},
    {"ViewerToServerSecure", 0, true},
};

void PrintTo(const OneWayCut& cut, std::ostream* out) { *out << cut.name; }

class OneWayCutTest : public RigTest, public ::testing::WithParamInterface<OneWayCut> {};

// The shortest lease that keeps the test's outage modest and is still longer
// than the receiver's silence limit (three one-second heartbeats).
constexpr int leaseSeconds = 4;
constexpr int cutSeconds = leaseSeconds + 3 + 1;

TEST_P(OneWayCutTest, NewestStateArrivesSoonAfterTheLinkHeals) {
    cycloneExtra = ",<Discovery><LeaseDuration>" + std::to_string(leaseSeconds) + "s</LeaseDuration></Discovery>";
    Publish({"--once", "--description", "before"});
    Program& sender = StartSender(GetParam().secure);
    Program& receiver = StartReceiver(GetParam().secure);
    ASSERT_TRUE(Mirrored()) << receiver.output.Text();
    ASSERT_TRUE(network.CutInto(GetParam().deafMachine, true));
    std::this_thread::sleep_for(std::chrono::seconds(cutSeconds / 2));
    Publish({"--once", "--description", "written during the cut"});
    std::this_thread::sleep_for(std::chrono::seconds(cutSeconds - cutSeconds / 2));
    ASSERT_TRUE(network.CutInto(GetParam().deafMachine, false));
    EXPECT_TRUE(Mirrored(Milliseconds(2000))) << "sender:\n"
                                              << sender.output.Text() << "receiver:\n"
                                              << receiver.output.Text();
}

INSTANTIATE_TEST_SUITE_P(Links, OneWayCutTest, ::testing::ValuesIn(oneWayCuts),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
