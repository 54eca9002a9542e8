// The bridge as users run it: a publisher under one shared-memory prefix
// stands for the tracking server's machine, receivers under other prefixes
// for the viewers' machines, all on a DDS domain of the test's own that only
// uses the loopback interface.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "StrangerSample.h"
#include "bridge/BridgeDomain.h"
#include "bridge/SampleCodec.h"
#include "recording/RecordingReader.h"
#include "recording/RecordingSyntax.h"
#include "tests/bridge/BridgeTestSupport.h"
#include "tests/support/DdsLoopback.h"
#include "tests/support/SharedObjectPath.h"
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
        << "one line per lost sender:\n"
        << text;
    const size_t plain = text.find("plain DDS (no --rig): anyone who reaches DDS domain");
    EXPECT_TRUE(plain != std::string::npos && text.find("plain DDS", plain + 1) == std::string::npos)
        << "plain mode is said once:\n"
        << text;

    receiver.process.Stop();
    Unlink(Mirror(1));
    StartReceiver(1);
    EXPECT_TRUE(Mirrors(1));
}

// A server that writes at no steady pace, slowly: the sender forwards each
// write, and a recorder behind the receiver holds each one.
TEST_F(BridgeTest, SenderAndRecorderSeeEveryWriteOfAnIrregularServer) {
    const double gaps[] = {0.030, 0.110, 0.045, 0.200, 0.020, 0.075, 0.050, 0.120};
    const uint32_t writes = 24;
    OutputFile recording, recorded;
    std::string text = "# lumivex recording 2\n# stations 0\n" + std::string(recording_syntax::columnLine) +
                       "\n# channel 3 0 flags 0x0000021F description irregular\n";
    double seconds = 0;
    for (uint32_t k = 1; k <= writes; seconds += gaps[k++ % 8])
        text += std::to_string(seconds) + ",3,0," + std::to_string(k) + ",0,0," + std::to_string(k) + ",0,0,0,0,0\n";
    ASSERT_TRUE(std::ofstream(recording.Path()) << text);

    ChannelState last;
    auto mirrorHolds = [&](uint32_t writeCount) {
        for (auto give = std::chrono::steady_clock::now() + patience; std::chrono::steady_clock::now() < give;
             std::this_thread::sleep_for(Milliseconds(10)))
            if (ReadChannel(Mirror(1), 0, last) && last.writeCount == writeCount) return true;
        return false;
    };
    PublishOnce("before");
    StartReceiver(1, "0");
    StartSender();
    ASSERT_TRUE(mirrorHolds(1));
    Program& recorder = Start(Mirror(1), {"lumivex-monitor", "--instrument", "3", "--bins", "0", "--stations", "0",
                                          "--csv", recorded.Path(), "--force"});
    ASSERT_NE(recorder.output.WaitFor("recording ", 0, patience), std::string::npos) << recorder.output.Text();
    Outcome replay =
        RunToEnd({ProgramPath("lumivex-publisher"), "--replay", recording.Path()}, Environment(Source()), patience);
    ASSERT_EQ(replay.status, 0) << replay.output;
    ASSERT_TRUE(mirrorHolds(writes));
    recorder.process.Stop();

    std::set<uint32_t> held;
    RecordingReader reader;
    ASSERT_TRUE(reader.Open(recorded.Path())) << reader.Error();
    for (RecordedWrite write; reader.Next(write);) held.insert(write.writeCount);
    for (uint32_t k = 1; k <= writes; ++k) EXPECT_EQ(held.count(k), 1u) << "write " << k;
}

// Objects under a channel's names that the receiver must refuse: it says so
// once, however many states arrive meanwhile, and writes into the channel as
// soon as the objects are fixed.
TEST_F(BridgeTest, RefusedChannelIsNamedOnceAndWrittenWhenFixed) {
    Outcome made = RunToEnd({ProgramPath("lumivex-publisher"), "--once", "--instrument", "3", "--bins", "0"},
                            Environment(Mirror(1)), patience);
    ASSERT_EQ(made.status, 0) << made.output;
    const std::string region = testsupport::SharedObjectPath(Mirror(1), RegionName(instrument, 0));
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

size_t Count(const std::string& text, const std::string& part) {
    size_t count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
    return count;
}

long ResidentKilobytes(pid_t process) {
    std::ifstream status("/proc/" + std::to_string(process) + "/status");
    std::string word;
    while (status >> word)
        if (word == "VmRSS:" && status >> word) return std::stol(word);
    return -1;
}

bool Running(ChildProcess& process) {
    int status = 0;
    return !process.WaitExit(Milliseconds(0), status);
}

// Any local user who may write the receiver's channels can cut their objects
// short under it, and it writes them from DDS's own threads: it lives on,
// gives both objects their size back and goes on mirroring.
TEST_F(BridgeTest, SurvivesItsChannelCutShortUnderIt) {
    Start(Source(), {"lumivex-publisher", "--instrument", "3", "--bins", "0,5", "--rate", "50", "--motion", "counter"});
    StartSender();
    Program& receiver = StartReceiver(1);
    ASSERT_TRUE(Mirrors(1)) << receiver.output.Text();
    for (const std::string& name : {RegionName(instrument, 0), MutexName(instrument, 0)}) {
        ASSERT_EQ(truncate(testsupport::SharedObjectPath(Mirror(1), name).c_str(), 0), 0) << name;
        EXPECT_TRUE(Mirrors(1)) << name << ":\n" << receiver.output.Text();
        ASSERT_TRUE(Running(receiver.process)) << name << ":\n" << receiver.output.Text();
    }
}

// Any writer on the domain may send samples of keys that are no channel; the
// receiver must not keep an instance of each (before, 40,000 such keys grew
// it by 24 MB, never given back).
TEST_F(BridgeTest, KeepsNothingOfKeysThatAreNoChannel) {
    // Under AddressSanitizer freed memory waits in a quarantine (up to 256
    // MB), which would count as growth; the receiver reuses it at once instead.
    const char* sanitizer = std::getenv("ASAN_OPTIONS");
    std::string options =
        std::string(sanitizer ? sanitizer : "") + ":quarantine_size_mb=0:thread_local_quarantine_size_kb=0";
    setenv("ASAN_OPTIONS", options.c_str(), 1);
    Program& receiver = StartReceiver(1);
    ASSERT_NE(receiver.output.WaitFor(" on DDS domain", 0, patience), std::string::npos) << receiver.output.Text();
    const long before = ResidentKilobytes(receiver.process.Id());
    Program& forger = Start(Source(), {"bridge-forger", domain, "3", "30", "--keys", "40000"});
    ASSERT_NE(forger.output.WaitFor("keys: 40000", 0, Milliseconds(60000)), std::string::npos) << forger.output.Text();
    EXPECT_LT(ResidentKilobytes(receiver.process.Id()) - before, 8000) << "kB grown";
}

// Two senders of one instrument feed the same channels in turn: the receiver
// names both.
TEST_F(BridgeTest, NamesTwoSendersOfOneChannel) {
    PublishOnce("first server");
    Outcome other = RunToEnd({ProgramPath("lumivex-publisher"), "--once", "--instrument", "3", "--bins", "0,5",
                              "--description", "second server"},
                             Environment(Mirror(2)), patience);
    ASSERT_EQ(other.status, 0) << other.output;
    StartSender();
    Start(Mirror(2), {"lumivex-bridge", "send", "--instrument", "3", "--bins", "0,5", "--domain", domain});
    Program& receiver = StartReceiver(1);
    EXPECT_NE(receiver.output.WaitFor("fed by two senders, participant ", 0, patience), std::string::npos)
        << receiver.output.Text();
    EXPECT_NE(receiver.output.Text().find("; their states alternate"), std::string::npos) << receiver.output.Text();
}

// Another DDS program that wrote one state and keeps it, then ends, sends no
// heartbeat: only a sender that kept the beat and fell silent makes the
// receiver join DDS again, which would leave the real sender's channels
// unwritten meanwhile.
TEST_F(BridgeTest, AWriterWithoutHeartbeatCausesNoRejoin) {
    PublishOnce("server");
    StartSender();
    Program& receiver = StartReceiver(1, "0,5,7");
    ASSERT_TRUE(Mirrors(1)) << receiver.output.Text();
    // It stays for longer than the silence a sender is allowed.
    Program& writer = Start(Source(), {"bridge-forger", domain, "3", "5", "--once", "7"});
    int status = 0;
    ASSERT_TRUE(writer.process.WaitExit(patience, status) && ExitStatusOf(status) == 0) << writer.output.Text();
    EXPECT_NE(receiver.output.Text().find("instrument 3 bin 7: receiving into"), std::string::npos)
        << receiver.output.Text();
    PublishOnce("after the writer");
    ASSERT_TRUE(Mirrors(1)) << receiver.output.Text();
    EXPECT_EQ(receiver.output.Text().find("joining DDS domain again"), std::string::npos) << receiver.output.Text();
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
                             ": has a live writer, process " + std::to_string(local.process.Id());
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
    dds_entity_t endpoint =
        receiving ? dds_create_writer(group, topic, qos, nullptr) : dds_create_reader(group, topic, qos, nullptr);
    dds_delete_qos(qos);
    ASSERT_GT(endpoint, 0);
    EXPECT_NE(bridge.output.WaitFor(GetParam().warning, 0, patience), std::string::npos) << bridge.output.Text();
}

// Remote endpoints in numbers: forty types named with terminal controls,
// a writer of the instrument that comes and goes a hundred times, and a
// writer of another instrument. The receiver's lines stay few, by kind, and
// carry the remote text escaped; the other instrument's partition is no
// mismatch.
TEST_F(MismatchTest, ForeignCrowdGivesFewEscapedLines) {
    Program& receiver = StartReceiver(1);
    ASSERT_NE(receiver.output.WaitFor(" on DDS domain", 0, patience), std::string::npos) << receiver.output.Text();
    setenv("CYCLONEDDS_URI", ddsLoopbackOnly, 1);
    foreign = dds_create_participant(static_cast<dds_domainid_t>(std::stoul(domain)), nullptr, nullptr);
    ASSERT_GT(foreign, 0);
    auto writerOf = [this](const dds_topic_descriptor_t* type, int partition) {
        dds_entity_t topic = dds_create_topic(foreign, type, "LumivexChannelState", nullptr, nullptr);
        dds_qos_t* partitionQos = BridgeDomain::InstrumentQos(partition);
        dds_entity_t publisher = dds_create_publisher(foreign, partitionQos, nullptr);
        dds_delete_qos(partitionQos);
        dds_qos_t* qos = BridgeDomain::StateQos();
        dds_entity_t writer = dds_create_writer(publisher, topic, qos, nullptr);
        dds_delete_qos(qos);
        return writer;
    };
    std::vector<std::string> names;
    std::vector<dds_topic_descriptor_t> types(40, LumivexTest_Stranger_desc);
    for (size_t k = 0; k < types.size(); ++k) {
        names.push_back("Evil\x1b]0;retitled\x07\x1b[2J" + std::to_string(k));
        types[k].m_typename = names.back().c_str();
        EXPECT_GT(writerOf(&types[k], instrument), 0);
    }
    for (int cycle = 0; cycle < 100; ++cycle) dds_delete(writerOf(&LumivexBridge_ChannelSample_desc, instrument));
    ASSERT_GT(writerOf(&LumivexBridge_ChannelSample_desc, instrument + 1), 0);
    dds_entity_t last = writerOf(&LumivexBridge_ChannelSample_desc, instrument);
    EncodedSample sample(instrument, 0, ChannelState{});
    ASSERT_EQ(dds_write(last, &sample.Sample()), 0);
    ASSERT_NE(receiver.output.WaitFor("bin 0: receiving into", 0, patience), std::string::npos)
        << receiver.output.Text();

    const std::string text = receiver.output.Text();
    EXPECT_EQ(text.find('\x1b'), std::string::npos) << "raw terminal controls:\n" << text;
    EXPECT_NE(text.find("has type Evil\\x1b]0;retitled\\x07"), std::string::npos) << text;
    EXPECT_LE(Count(text, "has type"), 2u) << text;
    EXPECT_LE(Count(text, "sender joined") + Count(text, "sender: gone"), 4u) << text;
    EXPECT_EQ(Count(text, "partition"), 0u) << text;
}

INSTANTIATE_TEST_SUITE_P(Foreign, MismatchTest, ::testing::ValuesIn(mismatches),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
