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

bool BridgeSender::Open(const BridgeDomain& domain, std::string& error) {
    dds_qos_t* qos = BridgeDomain::StateQos();
    dds_listener_t* listener = dds_create_listener(nullptr);
    EndpointMismatchWarnings::AddToWriter(listener);
    writer = dds_create_writer(domain.Participant(), domain.Topic(), qos, listener);
    dds_delete_listener(listener);
    dds_delete_qos(qos);
    if (writer < 0) return DdsFailure(error, "cannot create the DDS writer", writer);
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
    return published;
}

int BridgeSender::PublishIfChanged(int bin, const ChannelState& state, std::string& error) {
    bool first = !(sentBins & (1u << bin));
    if (!first && SameState(state, lastSent[bin])) return 0;
    EncodedSample sample(instrument, bin, state);
    dds_return_t result = dds_write(writer, &sample.Sample());
    if (result < 0) {
        std::string channel = "instrument " + std::to_string(instrument) + " bin " + std::to_string(bin);
        DdsFailure(error, "cannot publish " + channel, result);
        return -1;
    }
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
