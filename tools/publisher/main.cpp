// lumivex-publisher: stands in for the tracking server. It publishes the
// channels of one instrument in shared memory and keeps rewriting them, each
// write made while holding the channel's mutex.
#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "server/ChannelWriter.h"
#include "tools/publisher/Motion.h"
#include "tools/publisher/PublisherOptions.h"

namespace {

using Clock = std::chrono::steady_clock;
using Channels = std::vector<std::unique_ptr<ChannelWriter>>;

volatile std::sig_atomic_t stopRequested = 0;

void RequestStop(int) { stopRequested = 1; }

Channels SelectedChannels(const PublisherOptions& options) {
    Channels channels;
    for (int bin = 0; bin < 16; ++bin)
        if (options.bins & (1u << bin)) channels.push_back(std::make_unique<ChannelWriter>(options.instrument, bin));
    return channels;
}

bool OpenAll(Channels& channels, unsigned mode) {
    for (auto& channel : channels)
        if (!channel->Open(mode)) return false;
    return true;
}

bool UnlinkAll(Channels& channels) {
    bool removed = true;
    for (auto& channel : channels) removed = channel->Unlink() && removed;
    return removed;
}

bool WriteChannel(ChannelWriter& channel, const PublisherOptions& options, const ChannelState& state) {
    if (!channel.Lock()) return false;
    // The fault the viewer must survive: a server that dies holding a mutex.
    if (options.crashAfter > 0 && state.writeCount > static_cast<uint64_t>(options.crashAfter)) std::abort();
    channel.Write(state);
    if (options.holdLockMs > 0) std::this_thread::sleep_for(std::chrono::milliseconds(options.holdLockMs));
    return channel.Unlock();
}

// The low 32 bits of the monotonic clock in microseconds: readers compare it
// with their own clock to tell how old a pose is.
uint32_t TimestampMicros() {
    auto sinceEpoch = std::chrono::duration_cast<std::chrono::microseconds>(Clock::now().time_since_epoch());
    return static_cast<uint32_t>(sinceEpoch.count());
}

bool WriteRound(Channels& channels, const PublisherOptions& options, uint64_t writeCount, double seconds) {
    ChannelState state;
    state.writeCount = static_cast<uint32_t>(writeCount);
    state.flags = options.flags;
    state.description = options.description;
    for (int k = 0; k < station_layout::stationCount; ++k) state.records[k] = StationPose(options, k, writeCount, seconds);
    state.timestampMicros = TimestampMicros();
    for (auto& channel : channels)
        if (!WriteChannel(*channel, options, state)) return false;
    return true;
}

bool Finished(const PublisherOptions& options, Clock::time_point start) {
    if (stopRequested) return true;
    return options.duration > 0.0 && Clock::now() - start >= std::chrono::duration<double>(options.duration);
}

// Writes at the chosen rate; a round that runs late is not made up for.
bool Publish(Channels& channels, const PublisherOptions& options) {
    Clock::time_point start = Clock::now(), next = start;
    auto period = std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(options.rate > 0.0 ? 1.0 / options.rate : 0.0));
    for (uint64_t writeCount = 1;; ++writeCount) {
        if (!WriteRound(channels, options, writeCount, std::chrono::duration<double>(Clock::now() - start).count()))
            return false;
        if (options.once || Finished(options, start)) return true;
        next = std::max(next + period, Clock::now());
        std::this_thread::sleep_until(next);
    }
}

int Fail(const char* what) {
    std::fprintf(stderr, "lumivex-publisher: %s\n", what);
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    PublisherOptions options;
    std::string error;
    ParseOutcome outcome = ParseOptions(argc, argv, options, error);
    if (outcome == ParseOutcome::Help) PrintUsage(argv[0]);
    if (outcome == ParseOutcome::Error) std::fprintf(stderr, "lumivex-publisher: %s (see --help)\n", error.c_str());
    if (outcome != ParseOutcome::Run) return outcome == ParseOutcome::Help ? 0 : 2;

    Channels channels = SelectedChannels(options);
    if (options.unlink) return UnlinkAll(channels) ? 0 : Fail("could not remove the shared objects");
    std::signal(SIGINT, RequestStop);
    std::signal(SIGTERM, RequestStop);
    if (!OpenAll(channels, options.mode)) return Fail("could not create or open the shared objects");
    if (!Publish(channels, options)) return Fail("could not write a channel");
    // A server's objects vanish when it ends; a single write is left for
    // readers that come later.
    if (options.once || UnlinkAll(channels)) return 0;
    return Fail("could not remove the shared objects");
}
