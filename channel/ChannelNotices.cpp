#include "channel/ChannelNotices.h"

#include "channel/ObjectRefusal.h"

std::vector<std::string> ChannelNotices::After(const ShMemChannelSet& set, int bin, bool read, Clock::time_point now) {
    std::vector<std::string> lines;
    if (!ShMemChannelSet::IsChannelIndex(bin)) return lines;
    Channel& channel = channels[set.Instrument() * ShMemChannelSet::maxChannels + bin];
    std::string mutex = platform::SharedObjectName(NameOf(ChannelObject::Mutex, set.Instrument(), bin).text);
    uint32_t deaths = set.WriterDeaths(bin);
    if (deaths != channel.deaths) lines.push_back(DescribeWriterDeath(set, bin));
    channel.deaths = deaths;
    FollowHold(channel, mutex, set.Trouble(bin).held, read, now, lines);
    return lines;
}

// Read-only readers see a sequence that stays odd as held too.
void ChannelNotices::FollowHold(Channel& channel, const std::string& mutex, bool held, bool read, Clock::time_point now,
                                std::vector<std::string>& lines) {
    if (read || !held) {
        if (read && channel.heldSaid) lines.push_back(mutex + ": released; the channel is read again");
        channel = Channel{channel.deaths};
        return;
    }
    if (!channel.waiting) channel.heldSince = now;
    channel.waiting = true;
    if (channel.heldSaid || now - channel.heldSince < heldBound) return;
    channel.heldSaid = true;
    lines.push_back(mutex + ": held for more than " + std::to_string(heldBound.count()) +
                    " s; the channel is not read until it is released");
}
