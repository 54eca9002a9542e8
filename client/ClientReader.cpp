#include "client/ClientReader.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "channel/ObjectRefusal.h"
#include "channel/StartUpLockWaits.h"
#include "channel/StationReader.h"
#include "client/ChannelLibraryTurn.h"
#include "client/ClientRecords.h"

namespace {

// A wait looks at the clock at least this often.
constexpr std::chrono::milliseconds longestSleep(50);

std::string RegionShownName(ChannelId id) {
    return ShownName(NameOf(ChannelObject::Region, id.instrument, id.bin).text);
}

}  // namespace

// A waiting reader sees each write once, soon after it came, without
// reading flat out around it (the recorder's pursuit).
ClientReader::ClientReader(ChannelId channel)
    : id(channel),
      client(channel.instrument),
      detector(1, ChangeDetector::captureSlowPoll, ChangeDetector::Pursuit::Capture) {}

Outcome ClientReader::Open() {
    std::lock_guard<std::mutex> own(turn);
    const std::chrono::nanoseconds budget = StartUpLockWaits().ForNextChannel();
    ChannelState fresh;
    Outcome outcome = Fetch(fresh, &budget);
    if (outcome.Ok()) last = std::move(fresh);
    return outcome;
}

Outcome ClientReader::Read(lumivex_state& state) {
    std::lock_guard<std::mutex> own(turn);
    ChannelState fresh;
    Outcome outcome = Fetch(fresh);
    return outcome.Ok() ? Keep(std::move(fresh), state) : outcome;
}

// A channel that cannot be read meanwhile (its server restarting) is waited
// for as well; the time-out then says why it was not read.
Outcome ClientReader::Wait(std::chrono::milliseconds timeout, lumivex_state& state) {
    std::lock_guard<std::mutex> own(turn);
    const Clock::time_point deadline = Clock::now() + timeout;
    for (;;) {
        Clock::time_point now = Clock::now();
        ChannelState fresh;
        Outcome outcome = Fetch(fresh);
        if (outcome.Ok()) detector.Saw(0, now, fresh.writeCount, fresh.timestampMicros);
        if (!outcome.Ok()) detector.Lost(0);
        if (outcome.Ok() && IsNew(fresh)) return Keep(std::move(fresh), state);
        if (now >= deadline) {
            std::string why = outcome.Ok() ? "" : " (" + outcome.message + ")";
            return {LUMIVEX_TIMEOUT,
                    RegionShownName(id) + ": no write within " + std::to_string(timeout.count()) + " ms" + why};
        }
        detector.SleepUntilNextRead(std::min(deadline, now + longestSleep));
    }
}

lumivex_channel_info ClientReader::Info() {
    std::lock_guard<std::mutex> own(turn);
    return InfoRecord(id, last);
}

// A channel that is not open yet is attached first: a channel can be
// selected only once it is open.
Outcome ClientReader::Fetch(ChannelState& fresh, const std::chrono::nanoseconds* budget) {
    auto library = ChannelLibraryTurn();
    if (!client.IsChannelOpen(id.bin)) client.Attach();
    bool read =
        budget ? ReadChannelStateWithin(client, id.bin, fresh, *budget) : ReadChannelState(client, id.bin, fresh);
    return read && !client.IsChannelRemoved(id.bin) ? Outcome::Done() : Trouble();
}

// Under the library's turn. A removed channel still shows its last write,
// which is not news; objects still being set up by their creator (a mutex
// not ready, a region not sized yet) are not published yet.
Outcome ClientReader::Trouble() {
    using platform::OpenStatus;
    ChannelTrouble trouble = client.Trouble(id.bin);
    bool open = client.IsChannelOpen(id.bin);
    bool missing = trouble.check.status == OpenStatus::Missing && !trouble.mutexObject;
    if (client.IsChannelRemoved(id.bin) || missing || (!open && trouble.check.status == OpenStatus::Opened))
        return {LUMIVEX_NOT_PUBLISHED, RegionShownName(id) + ": not published"};
    std::string described = DescribeTrouble(client, id.bin);
    if (trouble.check.status == OpenStatus::NotReady) return {LUMIVEX_NOT_PUBLISHED, described};
    if (described.empty()) return {LUMIVEX_BUSY, RegionShownName(id) + ": cannot be read whole now"};
    return {platform::IsRefusal(trouble.check.status) ? LUMIVEX_REFUSED : LUMIVEX_BUSY, described};
}

// Any change of the header or a record is a write, also from a server that
// keeps neither counter nor stamp.
bool ClientReader::IsNew(const ChannelState& fresh) const {
    return fresh.writeCount != last.writeCount || fresh.timestampMicros != last.timestampMicros ||
           fresh.flags != last.flags || std::memcmp(fresh.records, last.records, sizeof fresh.records) != 0;
}

Outcome ClientReader::Keep(ChannelState&& fresh, lumivex_state& state) {
    last = std::move(fresh);
    state = StateRecord(last);
    return Outcome::Done();
}
