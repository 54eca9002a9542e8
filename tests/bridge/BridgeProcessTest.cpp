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

#include "bridge/BridgeDomain.h"
#include "bridge/SampleCodec.h"
#include "StrangerSample.h"
#include "platform/SharedMemory.h"
#include "tests/support/DdsLoopback.h"
#include "tests/support/OutputFile.h"
#include "tests/tracker/TrackerTestSupport.h"
#include "tracker/StationReader.h"

namespace {

using namespace testsupport;

const int instrument = 3;
const std::vector<int> bins{0, 5};
const Milliseconds patience(15000);

// A program of the build, its output in a file the test can watch.
struct Program {
    OutputFile output;
    ChildProcess process;
};

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
        return ChildEnvironment({"LUMIVEX_SHM_PREFIX=" + prefix, std::string("CYCLONEDDS_URI=") + ddsLoopbackOnly},
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
    Program& StartReceiver(int k) { return Start(Mirror(k), {"lumivex-bridge", "receive", "--domain", domain}); }

    // Writes one state under the source prefix, as the tracking server would.
    void PublishOnce(const std::string& description) {
        Outcome run = RunToEnd({ProgramPath("lumivex-publisher"), "--once", "--instrument", "3", "--bins", "0,5",
                                "--flags", "123", "--motion", "counter", "--description", description},
                               Environment(Source()), patience);
        ASSERT_TRUE(run.finished && run.status == 0) << run.output;
    }

    // True once every bridged channel under the mirror equals the source's.
    bool Mirrors(int k, Milliseconds limit = patience) {
        const auto deadline = std::chrono::steady_clock::now() + limit;
        while (!SameChannels(Source(), Mirror(k))) {
            if (std::chrono::steady_clock::now() >= deadline) return false;
            std::this_thread::sleep_for(Milliseconds(20));
        }
        return true;
    }

    // The viewer's start-up report, which quotes each channel's flags and description.
    std::string ViewerReport(const std::string& prefix) {
        Outcome run = RunToEnd({ProgramPath("lumivex"), "/Txi8", "/Txb21"}, Environment(prefix), patience);
        EXPECT_TRUE(run.finished);
        return run.output;
    }

    static void Unlink(const std::string& prefix) {
        setenv("LUMIVEX_SHM_PREFIX", prefix.c_str(), 1);
        for (int bin : bins) {
            platform::UnlinkSharedObject(RegionName(instrument, bin).c_str());
            platform::UnlinkSharedObject(MutexName(instrument, bin).c_str());
        }
    }

    std::string domain;

private:
    static bool Read(const std::string& prefix, int bin, ChannelState& state) {
        setenv("LUMIVEX_SHM_PREFIX", prefix.c_str(), 1);
        TrackerClient client(instrument);
        client.Attach();  // a bin is selectable only once attached
        return ReadChannelState(client, bin, state);
    }
    static bool SameChannels(const std::string& source, const std::string& mirror) {
        for (int bin : bins) {
            ChannelState original, copy;
            if (!Read(source, bin, original) || !Read(mirror, bin, copy) || !SameState(original, copy)) return false;
        }
        return true;
    }
    std::string base;
    std::vector<std::unique_ptr<Program>> programs;
};

// Late joiners: four receivers that start after the sender has published get
// the current state at once, byte for byte, and a viewer behind each reports
// the same tracking configuration as one beside the source.
TEST_F(BridgeTest, ReceiversStartedLateMirrorTheSourceForTheViewer) {
    PublishOnce("Bridged tracker");
    Program& sender = StartSender();
    ASSERT_NE(sender.output.WaitFor("bin 5: sending \"Bridged tracker\"", 0, patience), std::string::npos)
        << sender.output.Text();
    for (int k = 1; k <= 4; ++k) StartReceiver(k);

    const std::string sourceReport = ViewerReport(Source());
    ASSERT_NE(sourceReport.find("Bridged tracker"), std::string::npos) << sourceReport;
    for (int k = 1; k <= 4; ++k) {
        ASSERT_TRUE(Mirrors(k)) << "receiver " << k;
        EXPECT_EQ(ViewerReport(Mirror(k)), sourceReport) << "receiver " << k;
    }
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

    receiver.process.Stop();
    Unlink(Mirror(1));
    StartReceiver(1);
    EXPECT_TRUE(Mirrors(1));
}

// Another program on the channel topic whose QoS or type does not fit: the
// bridge program it cannot match names the policy or the type instead of
// staying silent.
struct Mismatch {
    const char* name;
    const char* command;  // the bridge program's side: send or receive
    const dds_topic_descriptor_t* type;
    void (*spoil)(dds_qos_t*);
    const char* warning;
};

void Unchanged(dds_qos_t*) {}

const Mismatch mismatches[] = {
    {"WriterWithoutLease", "receive", &LumivexBridge_ChannelSample_desc,
     [](dds_qos_t* q) { dds_qset_liveliness(q, DDS_LIVELINESS_AUTOMATIC, DDS_INFINITY); },
     "DDS writer: a writer of LumivexChannelState does not match this receiver's QoS in liveliness"},
    {"WriterInXcdr2", "receive", &LumivexBridge_ChannelSample_desc,
     [](dds_qos_t* q) {
         const dds_data_representation_id_t xcdr2[] = {DDS_DATA_REPRESENTATION_XCDR2};
         dds_qset_data_representation(q, 1, xcdr2);
     },
     "in data representation"},
    {"WriterOfAnotherType", "receive", &LumivexTest_Stranger_desc, Unchanged,
     "DDS writer: a writer of LumivexChannelState has type LumivexTest::Stranger, not LumivexBridge::ChannelSample"},
    {"ReaderWantingDeadline", "send", &LumivexBridge_ChannelSample_desc,
     [](dds_qos_t* q) { dds_qset_deadline(q, DDS_MSECS(10)); },
     "DDS reader: a reader of LumivexChannelState does not match this sender's QoS in deadline; it gets no states"},
    {"ReaderOfAnotherType", "send", &LumivexTest_Stranger_desc, Unchanged,
     "DDS reader: a reader of LumivexChannelState has type LumivexTest::Stranger"},
};

void PrintTo(const Mismatch& mismatch, std::ostream* out) { *out << mismatch.name; }

class MismatchTest : public BridgeTest, public ::testing::WithParamInterface<Mismatch> {
protected:
    void TearDown() override {
        if (foreign > 0) dds_delete(foreign);
        BridgeTest::TearDown();
    }
    dds_entity_t foreign = 0;
};

TEST_P(MismatchTest, NamesThePolicyOrType) {
    const bool receiving = std::string(GetParam().command) == "receive";
    Program& bridge = receiving ? StartReceiver(1) : StartSender();
    ASSERT_NE(bridge.output.WaitFor(" on DDS domain", 0, patience), std::string::npos) << bridge.output.Text();

    setenv("CYCLONEDDS_URI", testsupport::ddsLoopbackOnly, 1);
    foreign = dds_create_participant(static_cast<dds_domainid_t>(std::stoul(domain)), nullptr, nullptr);
    ASSERT_GT(foreign, 0);
    dds_entity_t topic = dds_create_topic(foreign, GetParam().type, "LumivexChannelState", nullptr, nullptr);
    dds_qos_t* qos = BridgeDomain::StateQos();
    GetParam().spoil(qos);
    dds_entity_t endpoint = receiving ? dds_create_writer(foreign, topic, qos, nullptr)
                                      : dds_create_reader(foreign, topic, qos, nullptr);
    dds_delete_qos(qos);
    ASSERT_GT(endpoint, 0);
    EXPECT_NE(bridge.output.WaitFor(GetParam().warning, 0, patience), std::string::npos) << bridge.output.Text();
}

INSTANTIATE_TEST_SUITE_P(Foreign, MismatchTest, ::testing::ValuesIn(mismatches),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
