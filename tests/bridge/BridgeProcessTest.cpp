// The bridge as users run it: a publisher under one shared-memory prefix
// stands for the tracking server's machine, receivers under other prefixes
// for the viewers' machines, all on a DDS domain of the test's own that only
// uses the loopback interface.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "StrangerSample.h"
#include "bridge/BridgeDomain.h"
#include "bridge/SampleCodec.h"
#include "tests/bridge/BridgeTestSupport.h"
#include "tests/support/DdsLoopback.h"
#include "tests/tracker/TrackerTestSupport.h"

namespace {

using namespace testsupport;
using namespace bridgetest;

class BridgeTest : public LoopbackTest {
protected:
    bool Mirrors(int k, Milliseconds limit = patience) { return bridgetest::Mirrors(Source(), Mirror(k), limit); }

    // The viewer's start-up report, which quotes each channel's flags and description.
    std::string ViewerReport(const std::string& prefix) {
        Outcome run = RunToEnd({ProgramPath("lumivex"), "/Txi8", "/Txb21"}, Environment(prefix), patience);
        EXPECT_TRUE(run.finished);
        return run.output;
    }
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
    Program& narrow = StartReceiver(4, "0");

    const std::string sourceReport = ViewerReport(Source());
    ASSERT_NE(sourceReport.find("Bridged tracker"), std::string::npos) << sourceReport;
    for (int k = 1; k <= 3; ++k) {
        ASSERT_TRUE(Mirrors(k)) << "receiver " << k;
        EXPECT_EQ(ViewerReport(Mirror(k)), sourceReport) << "receiver " << k;
    }
    // Bin 5's state comes with bin 0's, from the sender's history.
    EXPECT_NE(narrow.output.WaitFor("bin 0: receiving into", 0, patience), std::string::npos) << narrow.output.Text();
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

// Objects under a channel's names that the receiver must refuse: it says so
// once, however many states arrive meanwhile, and writes into the channel as
// soon as the objects are fixed.
TEST_F(BridgeTest, RefusedChannelIsNamedOnceAndWrittenWhenFixed) {
    Outcome made = RunToEnd({ProgramPath("lumivex-publisher"), "--once", "--instrument", "3", "--bins", "0"},
                            Environment(Mirror(1)), patience);
    ASSERT_EQ(made.status, 0) << made.output;
    const std::string region = "/dev/shm/" + Mirror(1) + RegionName(instrument, 0);
    ASSERT_EQ(chmod(region.c_str(), 0666), 0);
    Program& receiver = StartReceiver(1);
    Start(Source(), {"lumivex-publisher", "--instrument", "3", "--bins", "0,5", "--rate", "50", "--motion", "counter"});
    StartSender();
    const std::string warning = "instrument 3 bin 0: not written: cannot use " + Mirror(1) + RegionName(instrument, 0);
    ASSERT_NE(receiver.output.WaitFor(warning, 0, patience), std::string::npos) << receiver.output.Text();
    ASSERT_FALSE(Mirrors(1, Milliseconds(500))) << "written in spite of the refusal";

    ASSERT_EQ(chmod(region.c_str(), 0600), 0);
    EXPECT_TRUE(Mirrors(1)) << receiver.output.Text();
    const std::string text = receiver.output.Text();
    EXPECT_EQ(text.find(warning, text.find(warning) + 1), std::string::npos) << "named once:\n" << text;
}

// A channel that another process writes on the receiver's machine is not
// written (said once, naming that process) and is taken over once it ends; a
// channel removed while the receiver runs comes back with the next state,
// said once.
TEST_F(BridgeTest, ReceiverKeepsToOneWriterAndMakesRemovedChannelsAgain) {
    Program& local = Start(Mirror(1), {"lumivex-publisher", "--instrument", "3", "--bins", "0"});
    for (int attempt = 0; attempt < 5000 && !ChannelExists(Mirror(1), instrument, 0); ++attempt) usleep(1000);
    Program& receiver = StartReceiver(1);
    Start(Source(), {"lumivex-publisher", "--instrument", "3", "--bins", "0,5", "--rate", "50", "--motion", "counter"});
    StartSender();
    const std::string live = "instrument 3 bin 0: not written: cannot use " + Mirror(1) + RegionName(instrument, 0) +
                             ": has a live writer, process " + std::to_string(local.process.Pid());
    ASSERT_NE(receiver.output.WaitFor(live, 0, patience), std::string::npos) << receiver.output.Text();
    local.process.Stop();
    ASSERT_TRUE(Mirrors(1)) << receiver.output.Text();

    Unlink(Mirror(1));
    const std::string again = Mirror(1) + RegionName(instrument, 0) + ": removed or replaced";
    ASSERT_NE(receiver.output.WaitFor(again, 0, patience), std::string::npos) << receiver.output.Text();
    EXPECT_TRUE(Mirrors(1)) << receiver.output.Text();
    const std::string text = receiver.output.Text();
    for (const std::string& line : {live, again})
        EXPECT_EQ(text.find(line, text.find(line) + 1), std::string::npos) << "said once:\n" << text;
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

    setenv("CYCLONEDDS_URI", ddsLoopbackOnly, 1);
    foreign = dds_create_participant(static_cast<dds_domainid_t>(std::stoul(domain)), nullptr, nullptr);
    ASSERT_GT(foreign, 0);
    dds_entity_t topic = dds_create_topic(foreign, GetParam().type, "LumivexChannelState", nullptr, nullptr);
    // In the instrument's partition: endpoints in other partitions never meet.
    dds_qos_t* partition = BridgeDomain::InstrumentQos(instrument);
    dds_entity_t group = receiving ? dds_create_publisher(foreign, partition, nullptr)
                                   : dds_create_subscriber(foreign, partition, nullptr);
    dds_delete_qos(partition);
    dds_qos_t* qos = BridgeDomain::StateQos();
    GetParam().spoil(qos);
    dds_entity_t endpoint = receiving ? dds_create_writer(group, topic, qos, nullptr)
                                      : dds_create_reader(group, topic, qos, nullptr);
    dds_delete_qos(qos);
    ASSERT_GT(endpoint, 0);
    EXPECT_NE(bridge.output.WaitFor(GetParam().warning, 0, patience), std::string::npos) << bridge.output.Text();
}

INSTANTIATE_TEST_SUITE_P(Foreign, MismatchTest, ::testing::ValuesIn(mismatches),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
