#include "bridge/BridgeSender.h"

#include <cstdio>

#include "bridge/EndpointMismatchWarnings.h"
#include "bridge/SampleCodec.h"
#include "channel/ChannelId.h"
#include "text/ConsoleText.h"
#include "channel/StationReader.h"
#include "text/Warning.h"

namespace {

// Sleeps end at least this often, so that a stop request is seen soon.
constexpr std::chrono::milliseconds longestSleep(50);

}  // namespace

BridgeSender::BridgeSender(int instrumentNumber, uint32_t binMask)
    : client(instrumentNumber, binMask), instrument(instrumentNumber), bins(binMask) {}

// The writer lives in its instrument's partition, the one a rig's
// permissions allow this member to write or not.
bool BridgeSender::Open(const BridgeDomain& domain, std::string& error) {
    dds_qos_t* partition = BridgeDomain::InstrumentQos(instrument);
    dds_entity_t publisher = dds_create_publisher(domain.Participant(), partition, nullptr);
    dds_delete_qos(partition);
    if (publisher < 0) return DdsFailure(error, "cannot create the DDS publisher", publisher);
    dds_qos_t* qos = BridgeDomain::SenderQos();
    dds_listener_t* listener = dds_create_listener(nullptr);
    EndpointMismatchWarnings::AddToWriter(listener);
    writer = dds_create_writer(publisher, domain.Topic(), qos, listener);
    dds_delete_listener(listener);
    dds_delete_qos(qos);
    const std::string what = "cannot create the DDS writer of instrument " + std::to_string(instrument);
    if (writer < 0) return DdsFailure(error, what, writer);
    dds_return_t result = EndpointMismatchWarnings::WatchReaderTypes(domain.Participant(), domain.Topic());
    return result >= 0 || DdsFailure(error, "cannot watch DDS discovery", result);
}

int BridgeSender::Poll(std::string& error) {
    if (!client.AllAttached()) client.Attach();
    int published = 0;
    for (int bin = 0; bin < ChannelId::count; ++bin) {
        ChannelState state;
        if (!(bins & (1u << bin))) continue;
        bool read = ReadChannelState(client, bin, state);
        for (const std::string& notice : notices.After(client, bin, read, ChangeDetector::Clock::now()))
            PrintWarning("instrument " + std::to_string(instrument) + " bin " + std::to_string(bin), notice);
        if (!read) {
            detector.Lost(static_cast<std::size_t>(bin));
            continue;
        }
        detector.Saw(static_cast<std::size_t>(bin), ChangeDetector::Clock::now(), state.writeCount,
                     state.timestampMicros);
        int result = PublishIfChanged(bin, state, error);
        if (result < 0) return -1;
        published += result;
    }
    return Heartbeat(error) ? published : -1;
}

// Every bin sent so far, also one whose channel the server has removed
// since: its last state is still the newest there is.
bool BridgeSender::Heartbeat(std::string& error) {
    if (sentBins == 0 || std::chrono::steady_clock::now() - lastWrite < senderHeartbeat) return true;
    for (int bin = 0; bin < ChannelId::count; ++bin)
        if ((sentBins & (1u << bin)) && !Write(bin, lastSent[bin], error)) return false;
    return true;
}

bool BridgeSender::Write(int bin, const ChannelState& state, std::string& error) {
    EncodedSample sample(instrument, bin, state);
    dds_return_t result = dds_write(writer, &sample.Sample());
    if (result < 0) {
        std::string channel = "instrument " + std::to_string(instrument) + " bin " + std::to_string(bin);
        return DdsFailure(error, "cannot publish " + channel, result);
    }
    lastWrite = std::chrono::steady_clock::now();
    return true;
}

int BridgeSender::PublishIfChanged(int bin, const ChannelState& state, std::string& error) {
    bool first = !(sentBins & (1u << bin));
    if (!first && SameState(state, lastSent[bin])) return 0;
    if (!Write(bin, state, error)) return -1;
    lastSent[bin] = state;
    sentBins |= 1u << bin;
    if (first) {
        std::printf("instrument %d bin %d: sending \"%s\"\n", instrument, bin, ConsoleText(state.description).c_str());
        std::fflush(stdout);
    }
    return 1;
}

// Between the windows in which a write is due the thread sleeps, and sets
// off as much earlier as its sleeps tend to end late; inside one it reads
// without pause.
bool BridgeSender::Run(bool (*stopRequested)(), std::chrono::microseconds slowPoll, std::string& error) {
    detector = ChangeDetector(16, slowPoll);
    while (!stopRequested()) {
        if (Poll(error) < 0) return false;
        detector.SleepUntilNextRead(ChangeDetector::Clock::now() + longestSleep);
    }
    return true;
}
