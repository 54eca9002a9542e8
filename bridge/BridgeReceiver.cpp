#include "bridge/BridgeReceiver.h"

#include <cstdio>

#include "bridge/EndpointMismatchWarnings.h"
#include "tracker/Warning.h"

namespace {

constexpr int takeBatch = 16;

std::string ChannelName(int instrument, int bin) {
    return "instrument " + std::to_string(instrument) + " bin " + std::to_string(bin);
}

}  // namespace

BridgeReceiver::BridgeReceiver(uint32_t instrumentMask, uint32_t binMask, unsigned channelMode)
    : instruments(instrumentMask), bins(binMask), mode(channelMode) {}

BridgeReceiver::~BridgeReceiver() {
    for (dds_entity_t reader : readers) dds_delete(reader);
}

bool BridgeReceiver::Open(const BridgeDomain& domain, std::string& error) {
    waitset = dds_create_waitset(domain.Participant());
    if (waitset < 0) return DdsFailure(error, "cannot create a DDS waitset", waitset);
    for (int instrument = 0; instrument < 16; ++instrument) {
        if (!(instruments & (1u << instrument))) continue;
        sources.push_back(std::make_unique<Source>(Source{this, instrument}));
        if (!OpenReader(domain, *sources.back(), error)) return false;
    }
    dds_return_t result = EndpointMismatchWarnings::WatchWriterTypes(domain.Participant(), domain.Topic());
    return result >= 0 || DdsFailure(error, "cannot watch DDS discovery", result);
}

// One reader per instrument, in that instrument's partition: a rig member may
// write only into the partitions its permissions name, and a sample must
// claim the instrument of the partition it came through.
// States are taken and written by a listener, on the thread that delivers
// them: a waitset would wake this thread for every state, a hop that costs
// about as much as DDS's own delivery. The waitset only follows senders. The
// listener is set as the reader is created, so the states a late receiver
// gets from the senders' histories go the same way.
bool BridgeReceiver::OpenReader(const BridgeDomain& domain, Source& source, std::string& error) {
    dds_qos_t* partition = BridgeDomain::InstrumentQos(source.instrument);
    dds_entity_t subscriber = dds_create_subscriber(domain.Participant(), partition, nullptr);
    dds_delete_qos(partition);
    if (subscriber < 0) return DdsFailure(error, "cannot create a DDS subscriber", subscriber);
    dds_qos_t* qos = BridgeDomain::StateQos();
    dds_listener_t* listener = dds_create_listener(&source);
    dds_lset_data_available(listener, OnDataAvailable);
    EndpointMismatchWarnings::AddToReader(listener);
    dds_entity_t reader = dds_create_reader(subscriber, domain.Topic(), qos, listener);
    dds_delete_listener(listener);
    dds_delete_qos(qos);
    if (reader < 0) return DdsFailure(error, "cannot create the DDS reader", reader);
    readers.push_back(reader);
    dds_return_t result = dds_set_status_mask(reader, DDS_LIVELINESS_CHANGED_STATUS);
    if (result < 0) return DdsFailure(error, "cannot watch the DDS reader", result);
    result = dds_waitset_attach(waitset, reader, reader);
    return result >= 0 || DdsFailure(error, "cannot wait for the DDS reader", result);
}

bool BridgeReceiver::Step(dds_duration_t timeout, std::string& error) {
    dds_return_t result = dds_waitset_wait(waitset, nullptr, 0, timeout);
    if (result < 0) return DdsFailure(error, "cannot wait for news of senders", result);
    FollowSenders();
    result = takeFailure.load();
    return result >= 0 || DdsFailure(error, "cannot take samples", result);
}

bool BridgeReceiver::Run(bool (*stopRequested)(), std::string& error) {
    // Short waits, so that a stop request is seen soon.
    while (!stopRequested())
        if (!Step(DDS_MSECS(100), error)) return false;
    return true;
}

void BridgeReceiver::OnDataAvailable(dds_entity_t reader, void* source) {
    auto* from = static_cast<Source*>(source);
    dds_return_t result = from->receiver->TakeAll(reader, from->instrument);
    if (result < 0) from->receiver->takeFailure.store(result);
}

// `from` rather than the stored reader: the listener may run before Open has
// stored it.
dds_return_t BridgeReceiver::TakeAll(dds_entity_t from, int instrument) {
    for (;;) {
        void* samples[takeBatch] = {};
        dds_sample_info_t infos[takeBatch];
        dds_return_t count = dds_take(from, samples, infos, takeBatch, takeBatch);
        if (count < 0) return count;
        for (int i = 0; i < count; ++i)
            if (infos[i].valid_data) Apply(*static_cast<const LumivexBridge_ChannelSample*>(samples[i]), instrument);
        if (count > 0) dds_return_loan(from, samples, count);
        if (count < takeBatch) return 0;
    }
}

// A sender that ends or stops asserting liveliness lowers the count of live
// writers; one that comes back raises it, and its states are taken as usual.
void BridgeReceiver::FollowSenders() {
    uint32_t alive = 0;
    for (dds_entity_t reader : readers) {
        dds_liveliness_changed_status_t status;
        if (dds_get_liveliness_changed_status(reader, &status) == 0) alive += status.alive_count;
    }
    if (alive == aliveSenders) return;
    if (alive < aliveSenders)
        PrintWarning("sender", "gone (" + std::to_string(alive) + " left); its channels keep their last state");
    else
        std::printf("sender joined (%u alive)\n", alive);
    std::fflush(stdout);
    aliveSenders = alive;
}

// Bins nobody asked for are skipped without a word: a sender may well send
// more bins than this machine wants.
void BridgeReceiver::Apply(const LumivexBridge_ChannelSample& sample, int partition) {
    DecodedSample decoded;
    std::string problem = DecodeSample(sample, decoded);
    if (problem.empty() && decoded.instrument != partition)
        problem = "claims instrument " + std::to_string(decoded.instrument) + " but came as instrument " +
                  std::to_string(partition);
    if (!problem.empty()) return PrintLimitedWarning("sample dropped", "sample dropped", problem);
    if (!(bins & (1u << decoded.bin))) return;
    std::lock_guard<std::mutex> lock(writersGuard);
    ChannelWriter* writer = WriterFor(decoded.instrument, decoded.bin, decoded.state);
    if (!writer) return;
    uint64_t skippedBefore = writer->SkippedWrites();
    bool written = writer->Publish(decoded.state);
    std::string notice = writer->TakeNotice();
    if (!notice.empty())
        PrintWarning(platform::SharedObjectName(writer->RegionName().c_str()), notice);
    if (!written) return LoseWriter(decoded.instrument, decoded.bin);
    if (writer->SkippedWrites() != skippedBefore)
        PrintLimitedWarning("skipped write", platform::SharedObjectName(writer->MutexName().c_str()),
                            "held for more than " + std::to_string(ChannelWriter::lockBudget.count()) +
                                " ms; the state was not written");
}

// Objects that could not be created again (another process writes the
// channel now) are given up: the next state opens the channel afresh, and
// says once why it cannot.
void BridgeReceiver::LoseWriter(int instrument, int bin) {
    auto found = writers.find(instrument * 16 + bin);
    if (found->second->RefusedObject().empty())
        return PrintWarning(ChannelName(instrument, bin), "cannot write the channel");
    failedChannels.BeforeOpen();
    if (failedChannels.Failed(instrument, bin, platform::IsRefusal(found->second->Refusal().status)))
        PrintWarning(ChannelName(instrument, bin), "not written: " + found->second->Failure());
    writers.erase(found);
}

// A channel is created holding the first state received for it. The states
// of a refused channel are dropped until its objects change.
ChannelWriter* BridgeReceiver::WriterFor(int instrument, int bin, const ChannelState& first) {
    int key = instrument * 16 + bin;
    auto found = writers.find(key);
    if (found != writers.end()) return found->second.get();
    if (failedChannels.StillRefused(instrument, bin)) return nullptr;
    auto writer = std::make_unique<ChannelWriter>(instrument, bin);
    failedChannels.BeforeOpen();
    if (!writer->Open(mode, first)) {
        if (failedChannels.Failed(instrument, bin, platform::IsRefusal(writer->Refusal().status)))
            PrintWarning(ChannelName(instrument, bin), "not written: " + writer->Failure());
        return nullptr;
    }
    failedChannels.Opened(instrument, bin);
    std::printf("%s: receiving into %s\n", ChannelName(instrument, bin).c_str(),
                platform::SharedObjectName(writer->RegionName().c_str()).c_str());
    std::fflush(stdout);
    return writers.emplace(key, std::move(writer)).first->second.get();
}
