#include "bridge/BridgeReceiver.h"

#include <cstdio>

#include "bridge/EndpointMismatchWarnings.h"
#include "tracker/ObjectRefusal.h"
#include "tracker/Warning.h"

namespace {

constexpr unsigned ownerOnly = 0600;
constexpr int takeBatch = 16;

std::string ChannelName(int instrument, int bin) {
    return "instrument " + std::to_string(instrument) + " bin " + std::to_string(bin);
}

}  // namespace

BridgeReceiver::~BridgeReceiver() {
    if (reader > 0) dds_delete(reader);
}

// States are taken and written by a listener, on the thread that delivers
// them: a waitset would wake this thread for every state, a hop that costs
// about as much as DDS's own delivery. The waitset only follows senders. The
// listener is set as the reader is created, so the states a late receiver
// gets from the senders' histories go the same way.
bool BridgeReceiver::Open(const BridgeDomain& domain, std::string& error) {
    dds_qos_t* qos = BridgeDomain::StateQos();
    dds_listener_t* listener = dds_create_listener(this);
    dds_lset_data_available(listener, OnDataAvailable);
    EndpointMismatchWarnings::AddToReader(listener);
    reader = dds_create_reader(domain.Participant(), domain.Topic(), qos, listener);
    dds_delete_listener(listener);
    dds_delete_qos(qos);
    if (reader < 0) return DdsFailure(error, "cannot create the DDS reader", reader);
    dds_return_t result = dds_set_status_mask(reader, DDS_LIVELINESS_CHANGED_STATUS);
    if (result < 0) return DdsFailure(error, "cannot watch the DDS reader", result);
    result = EndpointMismatchWarnings::WatchWriterTypes(domain.Participant(), domain.Topic());
    if (result < 0) return DdsFailure(error, "cannot watch DDS discovery", result);
    waitset = dds_create_waitset(domain.Participant());
    if (waitset < 0) return DdsFailure(error, "cannot create a DDS waitset", waitset);
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

void BridgeReceiver::OnDataAvailable(dds_entity_t reader, void* receiver) {
    auto* self = static_cast<BridgeReceiver*>(receiver);
    dds_return_t result = self->TakeAll(reader);
    if (result < 0) self->takeFailure.store(result);
}

// `from` rather than `reader`: the listener may run before Open has stored it.
dds_return_t BridgeReceiver::TakeAll(dds_entity_t from) {
    for (;;) {
        void* samples[takeBatch] = {};
        dds_sample_info_t infos[takeBatch];
        dds_return_t count = dds_take(from, samples, infos, takeBatch, takeBatch);
        if (count < 0) return count;
        for (int i = 0; i < count; ++i)
            if (infos[i].valid_data) Apply(*static_cast<const LumivexBridge_ChannelSample*>(samples[i]));
        if (count > 0) dds_return_loan(from, samples, count);
        if (count < takeBatch) return 0;
    }
}

// A sender that ends or stops asserting liveliness lowers the count of live
// writers; one that comes back raises it, and its states are taken as usual.
void BridgeReceiver::FollowSenders() {
    dds_liveliness_changed_status_t status;
    if (dds_get_liveliness_changed_status(reader, &status) < 0 || status.alive_count == aliveSenders) return;
    if (status.alive_count < aliveSenders)
        PrintWarning("sender", "gone (" + std::to_string(status.alive_count) +
                                   " left); its channels keep their last state");
    else
        std::printf("sender joined (%u alive)\n", status.alive_count);
    std::fflush(stdout);
    aliveSenders = status.alive_count;
}

void BridgeReceiver::Apply(const LumivexBridge_ChannelSample& sample) {
    DecodedSample decoded;
    std::string problem = DecodeSample(sample, decoded);
    if (!problem.empty()) return PrintWarning("sample dropped", problem);
    ChannelWriter* writer = WriterFor(decoded.instrument, decoded.bin, decoded.state);
    if (!writer) return;
    uint64_t skippedBefore = writer->SkippedWrites();
    if (!writer->Publish(decoded.state))
        PrintWarning(ChannelName(decoded.instrument, decoded.bin), "cannot write the channel");
    if (writer->SkippedWrites() != skippedBefore)
        PrintLimitedWarning("skipped write", platform::SharedObjectName(writer->MutexName().c_str()),
                            "held for more than " + std::to_string(ChannelWriter::lockBudget.count()) +
                                " ms; the state was not written");
}

// A channel is created holding the first state received for it.
ChannelWriter* BridgeReceiver::WriterFor(int instrument, int bin, const ChannelState& first) {
    int key = instrument * 16 + bin;
    auto found = writers.find(key);
    if (found != writers.end()) return found->second.get();
    auto writer = std::make_unique<ChannelWriter>(instrument, bin);
    if (!writer->Open(ownerOnly, first)) {
        if (failedChannels.insert(key).second)
            PrintWarning(ChannelName(instrument, bin), "not written: cannot use " + writer->RefusedObject() + ": " +
                                                           RefusalReason(writer->Refusal()));
        return nullptr;
    }
    failedChannels.erase(key);
    std::printf("%s: receiving into %s\n", ChannelName(instrument, bin).c_str(),
                platform::SharedObjectName(writer->RegionName().c_str()).c_str());
    std::fflush(stdout);
    return writers.emplace(key, std::move(writer)).first->second.get();
}
