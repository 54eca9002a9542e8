#include "client/ChannelList.h"

#include "channel/StartUpLockWaits.h"
#include "channel/StationReader.h"
#include "channel/TrackerClient.h"
#include "client/ChannelLibraryTurn.h"
#include "client/ClientRecords.h"

// A look taken once: each channel gets as long as the viewer's start-up
// report gives it, and a channel whose server removed it is not listed.
static void ListInstrument(int instrument, const StartUpLockWaits& waits, std::vector<lumivex_channel_info>& list) {
    TrackerClient client(instrument);
    if (!client.Attach()) return;
    for (int bin = 0; bin < ChannelId::count; ++bin) {
        ChannelState state;
        if (!client.IsChannelOpen(bin) || client.IsChannelRemoved(bin)) continue;
        if (ReadChannelStateWithin(client, bin, state, waits.ForNextChannel()))
            list.push_back(InfoRecord({instrument, bin}, state));
    }
}

std::vector<lumivex_channel_info> PublishedChannels() {
    std::vector<lumivex_channel_info> list;
    const StartUpLockWaits waits;
    auto turn = ChannelLibraryTurn();
    for (int instrument = 0; instrument < ChannelId::count; ++instrument) ListInstrument(instrument, waits, list);
    return list;
}
