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

dds_instance_handle_t SenderActivity::Heard(dds_instance_handle_t sender, int channel, Clock::time_point now) {
    std::lock_guard<std::mutex> lock(guard);
    dds_instance_handle_t& feeder = feeders[channel];
    dds_instance_handle_t previous = feeder;
    feeder = sender;
    lastHeard[sender] = now;
    return previous != sender && previous != 0 && !Silent(previous, now) ? previous : 0;
}

bool SenderActivity::Silent(dds_instance_handle_t sender, Clock::time_point now) const {
    auto found = lastHeard.find(sender);
    return found == lastHeard.end() || now - found->second > silenceLimit;
}

bool SenderActivity::AnyCutOff(const std::vector<dds_instance_handle_t>& alive, Clock::time_point now) {
    std::lock_guard<std::mutex> lock(guard);
    bool cutOff = false;
    for (auto heard = lastHeard.begin(); heard != lastHeard.end();) {
        Clock::duration silence = now - heard->second;
        if (std::find(alive.begin(), alive.end(), heard->first) != alive.end()) {
            cutOff = cutOff || silence > silenceLimit;
            ++heard;
        } else {
            cutOff = cutOff || silence > endingLimit;
            heard = lastHeard.erase(heard);
        }
    }
    return cutOff;
}

void SenderActivity::Clear() {
    std::lock_guard<std::mutex> lock(guard);
    lastHeard.clear();
    feeders.clear();
}
