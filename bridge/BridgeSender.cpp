#include "bridge/BridgeSender.h"

#include <cstdio>
#include <thread>

#include "bridge/EndpointMismatchWarnings.h"
#include "bridge/PollPacer.h"
#include "bridge/SampleCodec.h"
#include "tracker/ConsoleText.h"
#include "tracker/StationReader.h"

BridgeSender::BridgeSender(int instrumentNumber, uint32_t binMask)
    : client(instrumentNumber, binMask), instrument(instrumentNumber), bins(binMask) {}

// The writer lives in its instrument's partition, the one a rig's
// permissions allow this member to write or not.
bool BridgeSender::Open(const BridgeDomain& domain, std::string& error) {
    dds_qos_t* partition = BridgeDomain::InstrumentQos(instrument);
    dds_entity_t publisher = dds_create_publisher(domain.Participant(), partition, nullptr);
    dds_delete_qos(partition);
    if (publisher < 0) return DdsFailure(error, "cannot create the DDS publisher", publisher);
    dds_qos_t* qos = BridgeDomain::StateQos();
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
    for (int bin = 0; bin < 16; ++bin) {
        ChannelState state;
        if (!(bins & (1u << bin)) || !ReadChannelState(client, bin, state)) continue;
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
    for (int bin = 0; bin < 16; ++bin)
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
        std::printf("instrument %d bin %d: sending \"%s\"\n", instrument, bin,
                    ConsoleText(state.description).c_str());
        std::fflush(stdout);
    }
    return 1;
}

bool BridgeSender::Run(bool (*stopRequested)(), std::chrono::microseconds idleInterval, std::string& error) {
    PollPacer pacer(idleInterval);
    while (!stopRequested()) {
        int published = Poll(error);
        if (published < 0) return false;
        PollPacer::Clock::time_point now = PollPacer::Clock::now();
        if (published > 0) pacer.Changed(now);
        PollPacer::Clock::duration pause = pacer.Pause(now);
        if (pause.count() > 0) std::this_thread::sleep_for(pause);
        else std::this_thread::yield();
    }
    return true;
}
