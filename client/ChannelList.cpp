#include "client/ChannelList.h"

#include "channel/PublishedChannels.h"
#include "client/ChannelLibraryTurn.h"
#include "client/ClientRecords.h"

std::vector<lumivex_channel_info> PublishedChannels() {
    std::vector<PublishedChannel> published;
    {
        auto turn = ChannelLibraryTurn();
        published = ListPublishedChannels();
    }
    std::vector<lumivex_channel_info> list;
    for (const PublishedChannel& channel : published) list.push_back(InfoRecord(channel.id, channel.state));
    return list;
}
