#pragma once

#include <chrono>
#include <map>
#include <mutex>
#include <vector>

#include <dds/dds.h>

// Which sender feeds each of the receiver's channels, and when each sender
// was last heard. A sender writes at least once per heartbeat, so one that
// promised that beat, or kept it, and that DDS still counts as alive, but
// that has sent nothing for several heartbeats, is cut off: its link lost a
// direction and DDS has not noticed. A writer that did neither (another DDS
// program that wrote one state and keeps it) is never taken for a cut one.
// Safe to use from several threads.
class SenderActivity {
public:
    using Clock = std::chrono::steady_clock;

    // A sample of `channel` from `sender` arrived at `now`. Returns the sender
    // that fed the channel before when that is another one, heard within the
    // silence limit; else 0.
    dds_instance_handle_t Heard(dds_instance_handle_t sender, int channel, Clock::time_point now);
    // Whether `sender` was heard since it was last forgotten.
    bool Knows(dds_instance_handle_t sender);
    // `sender`, heard, promised to keep the heartbeat.
    void Promised(dds_instance_handle_t sender);
    // Whether a sender held to the heartbeat is cut off: in `alive` (the
    // senders DDS counts as alive) but not heard within the silence limit, or
    // no longer in it after a silence longer than a sender that ends keeps.
    // Forgets the senders not in `alive`.
    bool AnyCutOff(const std::vector<dds_instance_handle_t>& alive, Clock::time_point now);
    void Clear();

private:
    // When a sender was heard: the last time, and the first time of the run
    // of samples, up to the last, that came each within the silence limit.
    struct Hearing {
        Clock::time_point first;
        Clock::time_point last;
        bool promised = false;
        bool HeldToBeat() const;
    };
    bool Silent(dds_instance_handle_t sender, Clock::time_point now) const;

    std::mutex guard;
    std::map<dds_instance_handle_t, Hearing> heard;
    std::map<int, dds_instance_handle_t> feeders;  // by channel
};
