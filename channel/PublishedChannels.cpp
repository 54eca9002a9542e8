#include "channel/PublishedChannels.h"

#include "channel/StartUpLockWaits.h"
#include "channel/StationReader.h"
#include "channel/TrackerClient.h"

namespace {

void ListInstrument(int instrument, const StartUpLockWaits& waits, std::vector<PublishedChannel>& list) {
    TrackerClient client(instrument);
    if (!client.Attach()) return;
    for (int bin = 0; bin < ChannelId::count; ++bin) {
        PublishedChannel channel{{instrument, bin}, {}};
        if (!client.IsChannelOpen(bin) || client.IsChannelRemoved(bin)) continue;
        if (ReadChannelStateWithin(client, bin, channel.state, waits.ForNextChannel()))
            list.push_back(std::move(channel));
    }
}

}  // namespace

// A look taken once: each channel gets as long as the viewer's start-up
// report gives it, and a channel whose server removed it is not listed.
std::vector<PublishedChannel> ListPublishedChannels() {
    std::vector<PublishedChannel> list;
    const StartUpLockWaits waits;
    for (int instrument = 0; instrument < ChannelId::count; ++instrument) ListInstrument(instrument, waits, list);
    return list;
}
