#include "bridge/BridgeSender.h"

#include <cstdio>
#include <thread>

#include "bridge/SampleCodec.h"
#include "tracker/StationReader.h"

BridgeSender::BridgeSender(int instrumentNumber, uint32_t binMask)
    : client(instrumentNumber, binMask), instrument(instrumentNumber), bins(binMask) {}

bool BridgeSender::Open(const BridgeDomain& domain, std::string& error) {
    dds_qos_t* qos = BridgeDomain::StateQos();
    writer = dds_create_writer(domain.Participant(), domain.Topic(), qos, nullptr);
    dds_delete_qos(qos);
    if (writer < 0) error = DdsError("cannot create the DDS writer", writer);
    return writer > 0;
}

bool BridgeSender::Poll(std::string& error) {
    if (!client.AllAttached()) client.Attach();
    for (int bin = 0; bin < 16; ++bin) {
        ChannelState state;
        if (!(bins & (1u << bin)) || !ReadChannelState(client, bin, state)) continue;
        if (!PublishIfChanged(bin, state, error)) return false;
    }
    return true;
}

bool BridgeSender::PublishIfChanged(int bin, const ChannelState& state, std::string& error) {
    bool first = !(sentBins & (1u << bin));
    if (!first && SameState(state, lastSent[bin])) return true;
    EncodedSample sample(instrument, bin, state);
    dds_return_t result = dds_write(writer, &sample.Sample());
    if (result < 0) {
        error = DdsError("cannot publish instrument " + std::to_string(instrument) + " bin " + std::to_string(bin), result);
        return false;
    }
    lastSent[bin] = state;
    sentBins |= 1u << bin;
    if (first) std::printf("instrument %d bin %d: sending \"%s\"\n", instrument, bin, state.description.c_str());
    if (first) std::fflush(stdout);
    return true;
}

bool BridgeSender::Run(bool (*stopRequested)(), std::chrono::microseconds interval, std::string& error) {
    while (!stopRequested()) {
        if (!Poll(error)) return false;
        if (interval.count() > 0) std::this_thread::sleep_for(interval);
        else std::this_thread::yield();
    }
    return true;
}
