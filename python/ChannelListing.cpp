#include "python/ChannelListing.h"

#include "channel/StartUpLockWaits.h"
#include "channel/StationReader.h"

// Read as the start-up report reads: once, waiting out a slow server.
std::vector<PublishedChannel> ListPublishedChannels() {
    std::vector<PublishedChannel> channels;
    for (int instrument = 0; instrument < ChannelId::count; ++instrument) {
        TrackerClient client(instrument);
        if (!client.Attach()) continue;
        const StartUpLockWaits waits;
        for (int bin = 0; bin < ChannelId::count; ++bin) {
            PublishedChannel channel{{instrument, bin}, {}};
            if (client.IsChannelOpen(bin) && ReadChannelStateWithin(client, bin, channel.state, waits.ForNextChannel()))
                channels.push_back(std::move(channel));
        }
    }
    return channels;
}
