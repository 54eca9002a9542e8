#include "bridge/BridgeReceiver.h"

#include <algorithm>
#include <chrono>
#include <cstdio>

#include "bridge/EndpointMismatchWarnings.h"
#include "channel/ChannelId.h"
#include "platform/Signals.h"
#include "channel/ObjectRefusal.h"
#include "text/Warning.h"

namespace {

constexpr int takeBatch = 16;
constexpr std::chrono::seconds senderReportInterval{5};

std::string ChannelLabel(int instrument, int bin) {
    return "instrument " + std::to_string(instrument) + " bin " + std::to_string(bin);
}

// A sender by its DDS participant's GUID prefix, the same on every machine.
std::string SenderName(dds_entity_t reader, dds_instance_handle_t handle) {
    dds_builtintopic_endpoint_t* endpoint = dds_get_matched_publication_data(reader, handle);
    if (!endpoint) return "a sender now gone";
    char prefix[2 * 12 + 1];
    for (int i = 0; i < 12; ++i) std::snprintf(prefix + 2 * i, 3, "%02x", endpoint->participant_key.v[i]);
    dds_builtintopic_free_endpoint(endpoint);
    return std::string("participant ") + prefix;
}

bool PromisesHeartbeat(dds_entity_t reader, dds_instance_handle_t handle) {
    dds_builtintopic_endpoint_t* endpoint = dds_get_matched_publication_data(reader, handle);
    bool promised = endpoint && BridgeDomain::PromisesHeartbeat(endpoint->qos);
    dds_builtintopic_free_endpoint(endpoint);
    return promised;
}

}  // namespace

BridgeReceiver::BridgeReceiver(uint32_t instrumentMask, uint32_t binMask, unsigned channelMode)
    : instruments(instrumentMask), bins(binMask), mode(channelMode) {}

BridgeReceiver::~BridgeReceiver() { CloseReaders(); }

bool BridgeReceiver::Open(BridgeDomain& joined, std::string& error) {
    domain = &joined;
    waitset = dds_create_waitset(domain->Participant());
    if (waitset < 0) return DdsFailure(error, "cannot create a DDS waitset", waitset);
    for (int instrument = 0; instrument < ChannelId::count; ++instrument) {
        if (!(instruments & (1u << instrument))) continue;
        sources.push_back(std::make_unique<Source>(Source{this, instrument}));
        if (!OpenReader(*sources.back(), error)) return false;
    }
    dds_return_t result = EndpointMismatchWarnings::WatchWriterTypes(domain->Participant(), domain->Topic());
    return result >= 0 || DdsFailure(error, "cannot watch DDS discovery", result);
}

// Deleting a reader waits for its listener to finish.
void BridgeReceiver::CloseReaders() {
    for (dds_entity_t reader : readers) dds_delete(reader);
    readers.clear();
    if (waitset > 0) dds_delete(waitset);
    waitset = 0;
}

// One reader per instrument, in that instrument's partition: a rig member may
// write only into the partitions its permissions name, and a sample must
// claim the instrument of the partition it came through. Its topic's filter
// drops other keys before the reader keeps an instance of them, and its
// limits bound what it keeps to one sample of each bin.
// States are taken and written by a listener, on the thread that delivers
// them: a waitset would wake this thread for every state, a hop that costs
// about as much as DDS's own delivery. The waitset only follows senders. The
// listener is set as the reader is created, so the states a late receiver
// gets from the senders' histories go the same way.
bool BridgeReceiver::OpenReader(Source& source, std::string& error) {
    dds_entity_t topic = domain->FilteredTopic(Wanted, &source);
    if (topic < 0) return DdsFailure(error, "cannot create the filtered topic", topic);
    dds_qos_t* partition = BridgeDomain::InstrumentQos(source.instrument);
    dds_entity_t subscriber = dds_create_subscriber(domain->Participant(), partition, nullptr);
    dds_delete_qos(partition);
    if (subscriber < 0) return DdsFailure(error, "cannot create a DDS subscriber", subscriber);
    dds_qos_t* qos = BridgeDomain::ReaderQos();
    dds_listener_t* listener = dds_create_listener(&source);
    dds_lset_data_available(listener, OnDataAvailable);
    EndpointMismatchWarnings::AddToReader(listener);
    dds_entity_t reader = dds_create_reader(subscriber, topic, qos, listener);
    dds_delete_listener(listener);
    dds_delete_qos(qos);
    if (reader < 0) return DdsFailure(error, "cannot create the DDS reader", reader);
    readers.push_back(reader);
    dds_return_t result = dds_set_status_mask(reader, DDS_LIVELINESS_CHANGED_STATUS);
    if (result < 0) return DdsFailure(error, "cannot watch the DDS reader", result);
    result = dds_waitset_attach(waitset, reader, reader);
    return result >= 0 || DdsFailure(error, "cannot wait for the DDS reader", result);
}

// The channels and their writers stay; only DDS starts afresh.
bool BridgeReceiver::Rejoin(std::string& error) {
    PrintLimitedWarning("rejoin", "sender",
                        "no states for longer than its heartbeat allows; joining DDS domain "
                        "again as a new participant");
    CloseReaders();
    activity.Clear();
    if (!domain->Reopen(error)) return false;
    sources.clear();
    return Open(*domain, error);
}

bool BridgeReceiver::Step(dds_duration_t timeout, std::string& error) {
    dds_return_t result = dds_waitset_wait(waitset, nullptr, 0, timeout);
    if (result < 0) return DdsFailure(error, "cannot wait for news of senders", result);
    FollowSenders();
    if (SenderCutOff() && !Rejoin(error)) return false;
    result = takeFailure.load();
    return result >= 0 || DdsFailure(error, "cannot take samples", result);
}

bool BridgeReceiver::Run(bool (*stopRequested)(), std::string& error) {
    // Short waits, so that a stop request is seen soon.
    while (!stopRequested())
        if (!Step(DDS_MSECS(100), error)) return false;
    return true;
}

// Runs on the delivering thread before the reader keeps anything of the
// sample's key: any writer on the domain (in a rig, any member allowed to
// send one instrument) could otherwise make it keep an instance of every key
// it makes up.
bool BridgeReceiver::Wanted(const void* sample, void* source) {
    const auto& channel = *static_cast<const LumivexBridge_ChannelSample*>(sample);
    const auto* from = static_cast<const Source*>(source);
    std::string problem = KeyProblem(channel, from->instrument);
    if (!problem.empty()) PrintLimitedWarning("sample dropped", "sample dropped", problem);
    return problem.empty() && (from->receiver->bins & (1u << channel.bin));
}

// Cyclone's threads block every signal, SIGBUS too, and a fault with SIGBUS
// blocked ends the process: a region shrunk under this thread's write would
// kill the receiver instead of being given back its size. Unblocking it here,
// once per delivering thread, keeps the write on that thread (a hand-over to
// a thread of our own would cost about as much as DDS's delivery itself).
void BridgeReceiver::OnDataAvailable(dds_entity_t reader, void* source) {
    static thread_local const bool busErrorsAccepted = platform::AcceptBusErrorsInThisThread();
    (void)busErrorsAccepted;
    auto* from = static_cast<Source*>(source);
    dds_return_t result = from->receiver->TakeAll(reader);
    if (result < 0) from->receiver->takeFailure.store(result);
}

// `from` rather than the stored reader: the listener may run before Open has
// stored it.
dds_return_t BridgeReceiver::TakeAll(dds_entity_t from) {
    for (;;) {
        void* samples[takeBatch] = {};
        dds_sample_info_t infos[takeBatch];
        dds_return_t count = dds_take(from, samples, infos, takeBatch, takeBatch);
        if (count < 0) return count;
        for (int i = 0; i < count; ++i) {
            if (!infos[i].valid_data) continue;
            const auto& sample = *static_cast<const LumivexBridge_ChannelSample*>(samples[i]);
            NoteSender(from, infos[i], sample);
            Apply(sample);
        }
        if (count > 0) dds_return_loan(from, samples, count);
        if (count < takeBatch) return 0;
    }
}

// Two senders of one instrument would overwrite each other's states in turn.
void BridgeReceiver::NoteSender(dds_entity_t from, const dds_sample_info_t& info,
                                const LumivexBridge_ChannelSample& sample) {
    const bool known = activity.Knows(info.publication_handle);
    dds_instance_handle_t other = activity.Heard(
        info.publication_handle, ChannelId{sample.instrument, sample.bin}.Key(), SenderActivity::Clock::now());
    if (!known && PromisesHeartbeat(from, info.publication_handle)) activity.Promised(info.publication_handle);
    if (other)
        PrintLimitedWarning("two senders", ChannelLabel(sample.instrument, sample.bin),
                            "fed by two senders, " + SenderName(from, other) + " and " +
                                SenderName(from, info.publication_handle) + "; their states alternate");
}

bool BridgeReceiver::SenderCutOff() {
    std::vector<dds_instance_handle_t> alive;
    for (dds_entity_t reader : readers) {
        dds_instance_handle_t handles[64];
        dds_return_t count = dds_get_matched_publications(reader, handles, 64);
        for (dds_return_t i = 0; i < std::min<dds_return_t>(count, 64); ++i) alive.push_back(handles[i]);
    }
    return activity.AnyCutOff(alive, SenderActivity::Clock::now());
}

// A sender that ends or stops asserting liveliness lowers the count of live
// writers; one that comes back raises it, and its states are taken as usual.
void BridgeReceiver::FollowSenders() {
    uint32_t alive = 0;
    for (dds_entity_t reader : readers) {
        dds_liveliness_changed_status_t status;
        if (dds_get_liveliness_changed_status(reader, &status) == 0) alive += status.alive_count;
    }
    aliveSenders = alive;
    ReportSenders();
}

// At most one line per report interval, so that senders coming and going
// in a loop cannot flood the terminal; the count it gives is the latest.
void BridgeReceiver::ReportSenders() {
    auto now = SenderActivity::Clock::now();
    if (aliveSenders == reportedSenders || now < nextReport) return;
    if (aliveSenders < reportedSenders)
        PrintWarning("sender", "gone (" + std::to_string(aliveSenders) + " left); its channels keep their last state");
    else
        std::printf("sender joined (%u alive)\n", aliveSenders);
    std::fflush(stdout);
    reportedSenders = aliveSenders;
    nextReport = now + senderReportInterval;
}

// Bins nobody asked for are skipped without a word: a sender may well send
// more bins than this machine wants.
void BridgeReceiver::Apply(const LumivexBridge_ChannelSample& sample) {
    DecodedSample decoded;
    std::string problem = DecodeSample(sample, decoded);
    if (!problem.empty()) return PrintLimitedWarning("sample dropped", "sample dropped", problem);
    if (!(bins & (1u << decoded.bin))) return;
    std::lock_guard<std::mutex> lock(writersGuard);
    ChannelWriter* writer = WriterFor(decoded.instrument, decoded.bin, decoded.state);
    if (!writer) return;
    uint64_t skippedBefore = writer->SkippedWrites();
    bool written = writer->Publish(decoded.state);
    std::string notice = writer->TakeNotice();
    if (!notice.empty()) PrintWarning(ShownName(writer->RegionName()), notice);
    if (!written) return Reopen(decoded.instrument, decoded.bin, decoded.state);
    if (writer->SkippedWrites() != skippedBefore)
        PrintLimitedWarning("skipped write", ShownName(writer->MutexName()),
                            "held for more than " + std::to_string(ChannelWriter::lockBudget.count()) +
                                " ms; the state was not written");
}

// A write fails when the channel's objects were shrunk or replaced under the
// writer beyond what it mends itself (a mutex object cut short), or could not
// be made again because another process writes the channel now: the channel
// is opened afresh, as a restart would; a refusal is said once by WriterFor.
void BridgeReceiver::Reopen(int instrument, int bin, const ChannelState& state) {
    writers.erase(ChannelId{instrument, bin}.Key());
    ChannelWriter* writer = WriterFor(instrument, bin, state);
    if (writer && !writer->Publish(state))
        PrintLimitedWarning("cannot write", ChannelLabel(instrument, bin), "cannot write the channel");
}

// A channel is created holding the first state received for it. The states
// of a refused channel are dropped until its objects change.
ChannelWriter* BridgeReceiver::WriterFor(int instrument, int bin, const ChannelState& first) {
    int key = ChannelId{instrument, bin}.Key();
    auto found = writers.find(key);
    if (found != writers.end()) return found->second.get();
    if (failedChannels.StillRefused(instrument, bin)) return nullptr;
    auto writer = std::make_unique<ChannelWriter>(instrument, bin);
    failedChannels.BeforeOpen();
    if (!writer->Open(mode, first)) {
        if (failedChannels.Failed(instrument, bin, platform::IsRefusal(writer->Refusal().status)))
            PrintWarning(ChannelLabel(instrument, bin), "not written: " + writer->Failure());
        return nullptr;
    }
    failedChannels.Opened(instrument, bin);
    std::printf("%s: receiving into %s\n", ChannelLabel(instrument, bin).c_str(),
                ShownName(writer->RegionName()).c_str());
    std::fflush(stdout);
    return writers.emplace(key, std::move(writer)).first->second.get();
}
