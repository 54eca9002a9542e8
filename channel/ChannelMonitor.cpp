#include "channel/ChannelMonitor.h"

#include <cstring>

#include "channel/ObjectRefusal.h"
#include "channel/StationReader.h"

MonitorClock::time_point ServerWriteTime(MonitorClock::time_point now, uint32_t stampMicros) {
    return WriteTimeOfStamp(now, stampMicros);
}

namespace {

bool SamePose(const StationRecord& a, const StationRecord& b) { return std::memcmp(&a, &b, sizeof a) == 0; }

bool HeaderChanged(const ChannelWatch& watch, const ChannelState& fresh) {
    return !watch.published || fresh.flags != watch.state.flags || fresh.description != watch.state.description;
}

// True when the station's pose changed (or was seen for the first time).
bool UpdateStation(StationWatch& station, const ChannelState& fresh, MonitorClock::time_point now) {
    const StationRecord& pose = fresh.records[station.station];
    bool changed = !station.seen || !SamePose(pose, station.pose);
    if (changed) {
        station.changeKnown = station.seen || fresh.timestampMicros != 0;
        station.lastChange = ServerWriteTime(now, fresh.timestampMicros);
        station.stampStale = fresh.timestampMicros != 0 && !PlausibleStamp(now, fresh.timestampMicros);
        station.changes += station.seen;
        station.pose = pose;
        station.seen = true;
    }
    station.changeRate.Sample(now, station.changes);
    return changed;
}

void CountWrites(ChannelWatch& watch, const ChannelState& fresh, MonitorClock::time_point now, uint32_t missed) {
    if (fresh.writeCount == 0) return;
    if (watch.published) watch.missedWrites += missed;
    watch.writeRate.Sample(now, fresh.writeCount);
}

}  // namespace

double ChannelWatch::StationHz(const StationWatch& station) const {
    return state.writeCount != 0 ? writeRate.Hz() : station.changeRate.Hz();
}

ChannelMonitor::ChannelMonitor(int instrument, uint32_t bins, uint32_t stations, MonitorClock::duration slowPoll)
    : client(instrument), detector(0, slowPoll, ChangeDetector::Pursuit::Capture) {
    for (int bin = 0; bin < ShMemChannelSet::maxChannels; ++bin) {
        if (!(bins >> bin & 1u)) continue;
        ChannelWatch watch;
        watch.bin = bin;
        for (int k = 0; k < station_layout::stationCount; ++k)
            if (stations >> k & 1u) watch.stations.emplace_back(k);
        channels.push_back(std::move(watch));
    }
    detector = ChangeDetector(channels.size(), slowPoll, ChangeDetector::Pursuit::Capture);
}

void ChannelMonitor::SleepUntilNextPoll(MonitorClock::time_point latest) { detector.SleepUntilNextRead(latest); }

void ChannelMonitor::Poll(MonitorClock::time_point now, std::vector<MonitorEvent>& events) {
    for (std::size_t index = 0; index < channels.size(); ++index) PollChannel(index, now, events, nullptr);
}

void ChannelMonitor::PollPatiently(MonitorClock::time_point now, std::vector<MonitorEvent>& events) {
    const StartUpLockWaits waits;
    for (std::size_t index = 0; index < channels.size(); ++index) PollChannel(index, now, events, &waits);
}

// A channel can be selected only once it is open, so one that is not is
// attached first (which is also how a server that starts late is found).
void ChannelMonitor::PollChannel(std::size_t index, MonitorClock::time_point now, std::vector<MonitorEvent>& events,
                                 const StartUpLockWaits* waits) {
    ChannelWatch& watch = channels[index];
    if (!client.IsChannelOpen(watch.bin)) client.Attach();
    ChannelState fresh;
    watch.readable = waits ? ReadChannelStateWithin(client, watch.bin, fresh, waits->ForNextChannel())
                           : ReadChannelState(client, watch.bin, fresh);
    NoteTrouble(watch);
    for (std::string& notice : notices.After(client, watch.bin, watch.readable, now))
        events.push_back({index, MonitorEvent::channelNotice, std::move(notice)});
    watch.writerDeaths = client.WriterDeaths(watch.bin);
    FollowPresence(index, events);
    if (!watch.readable) {
        detector.Lost(index);
        return;
    }
    watch.lastRead = now;
    uint32_t missed = detector.Saw(index, now, fresh.writeCount, fresh.timestampMicros);
    if (HeaderChanged(watch, fresh)) events.push_back({index, MonitorEvent::channelChanged});
    for (std::size_t k = 0; k < watch.stations.size(); ++k)
        if (UpdateStation(watch.stations[k], fresh, now)) events.push_back({index, static_cast<int>(k)});
    CountWrites(watch, fresh, now, missed);
    watch.published = true;
    watch.state = std::move(fresh);
}

// A channel that was read is gone once its server removed its objects (the
// mapping still shows what was last written), they were refused after a
// change (a chmod), or they were closed as unsound;
// a read that merely waited too long for the mutex leaves it present.
void ChannelMonitor::FollowPresence(std::size_t index, std::vector<MonitorEvent>& events) {
    ChannelWatch& watch = channels[index];
    bool gone = watch.published && (!client.IsChannelOpen(watch.bin) || client.IsChannelRemoved(watch.bin));
    if (gone != watch.gone) events.push_back({index, gone ? MonitorEvent::channelGone : MonitorEvent::channelBack});
    watch.gone = gone;
}

bool ChannelMonitor::AnyPublished() const {
    for (const ChannelWatch& watch : channels)
        if (watch.published) return true;
    return false;
}

void ChannelMonitor::NoteTrouble(ChannelWatch& watch) const {
    watch.trouble = watch.readable ? std::string() : DescribeTrouble(client, watch.bin);
    watch.refused = !watch.readable && platform::IsRefusal(client.Trouble(watch.bin).check.status);
}
