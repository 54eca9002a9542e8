#include "bridge/SenderActivity.h"

#include <algorithm>

#include "bridge/BridgeDomain.h"

namespace {

// Three missed heartbeats: one late packet or a busy machine is no cut.
constexpr SenderActivity::Clock::duration silenceLimit = 3 * senderHeartbeat;
// A sender that ends wrote at most a heartbeat before; one that DDS gave up
// on after a longer silence was lost with its link.
constexpr SenderActivity::Clock::duration endingLimit = 2 * senderHeartbeat;

}  // namespace

// A sender heard without a silence for half a heartbeat has shown that it
// writes on its own, as a sender of an older release (which promised
// nothing) does; one state and its repeats from a history have not.
bool SenderActivity::Hearing::HeldToBeat() const {
    return promised || last - first >= std::chrono::milliseconds(senderHeartbeat) / 2;
}

dds_instance_handle_t SenderActivity::Heard(dds_instance_handle_t sender, int channel, Clock::time_point now) {
    std::lock_guard<std::mutex> lock(guard);
    dds_instance_handle_t& feeder = feeders[channel];
    dds_instance_handle_t previous = feeder;
    feeder = sender;
    Hearing& hearing = heard[sender];
    if (hearing.last == Clock::time_point{} || now - hearing.last > silenceLimit) hearing.first = now;
    hearing.last = now;
    return previous != sender && previous != 0 && !Silent(previous, now) ? previous : 0;
}

bool SenderActivity::Knows(dds_instance_handle_t sender) {
    std::lock_guard<std::mutex> lock(guard);
    return heard.count(sender) != 0;
}

void SenderActivity::Promised(dds_instance_handle_t sender) {
    std::lock_guard<std::mutex> lock(guard);
    heard[sender].promised = true;
}

bool SenderActivity::Silent(dds_instance_handle_t sender, Clock::time_point now) const {
    auto found = heard.find(sender);
    return found == heard.end() || now - found->second.last > silenceLimit;
}

bool SenderActivity::AnyCutOff(const std::vector<dds_instance_handle_t>& alive, Clock::time_point now) {
    std::lock_guard<std::mutex> lock(guard);
    bool cutOff = false;
    for (auto sender = heard.begin(); sender != heard.end();) {
        const bool living = std::find(alive.begin(), alive.end(), sender->first) != alive.end();
        const Clock::duration silence = now - sender->second.last;
        cutOff = cutOff || (sender->second.HeldToBeat() && silence > (living ? silenceLimit : endingLimit));
        sender = living ? std::next(sender) : heard.erase(sender);
    }
    return cutOff;
}

void SenderActivity::Clear() {
    std::lock_guard<std::mutex> lock(guard);
    heard.clear();
    feeders.clear();
}
