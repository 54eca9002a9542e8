// lumivex-publisher: stands in for the tracking server. It publishes the
// channels of one instrument in shared memory and keeps rewriting them, each
// write made while holding the channel's mutex; or it replays a recording.
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "channel/ObjectRefusal.h"
#include "channel/ChannelId.h"
#include "platform/Signals.h"
#include "server/ChannelWriter.h"
#include "tools/common/RunCommandLine.h"
#include "tools/publisher/ChannelWrite.h"
#include "tools/publisher/Motion.h"
#include "tools/publisher/Pacer.h"
#include "tools/publisher/PublisherOptions.h"
#include "tools/publisher/Replayer.h"
#include "tools/publisher/StartLine.h"
#include "text/Warning.h"

namespace {

using Channels = std::vector<std::unique_ptr<ChannelWriter>>;

Channels SelectedChannels(const PublisherOptions& options) {
    Channels channels;
    for (int bin = 0; bin < ChannelId::count; ++bin)
        if (options.bins & (1u << bin)) channels.push_back(std::make_unique<ChannelWriter>(options.instrument, bin));
    return channels;
}

ChannelState RoundState(const PublisherOptions& options, uint64_t writeCount, double seconds) {
    ChannelState state;
    state.writeCount = static_cast<uint32_t>(writeCount);
    state.flags = options.flags;
    state.description = options.description;
    for (int k = 0; k < station_layout::stationCount; ++k)
        state.records[k] = StationPose(options, k, writeCount, seconds);
    state.timestampMicros = ChannelWriter::StampMicros();
    return state;
}

// Each channel is created holding the first round's content; the first round
// then writes it again, with the faults the options ask for. Empty when every
// channel is open, else why one is not.
std::string OpenAll(Channels& channels, const PublisherOptions& options) {
    const ChannelState first = RoundState(options, 1, 0.0);
    for (auto& channel : channels)
        if (!channel->Open(options.mode, first)) return channel->Failure();
    return "";
}

// What this run created and still carries its names; a channel another
// process writes is left alone.
bool RemoveAll(Channels& channels) {
    bool removed = true;
    for (auto& channel : channels) removed = channel->Remove() && removed;
    return removed;
}

// --unlink: a channel that a live writer writes is not removed unless forced.
std::string UnlinkAll(Channels& channels, bool force) {
    std::string writer;
    for (auto& channel : channels)
        if (!force && channel->HasLiveWriter(writer))
            return ShownName(channel->RegionName()) + " has a live writer, " + writer + "; --force removes it anyway";
    bool removed = true;
    for (auto& channel : channels) removed = channel->Unlink() && removed;
    return removed ? "" : "could not remove the shared objects";
}

// Empty when the round is written, else why not.
std::string WriteRound(Channels& channels, const PublisherOptions& options, uint64_t writeCount, const Pacer& pacer) {
    const ChannelState state = RoundState(options, writeCount, pacer.Elapsed());
    for (auto& channel : channels)
        if (!WriteChannel(*channel, options, state, pacer))
            return channel->RefusedObject().empty() ? "could not write " + ShownName(channel->RegionName())
                                                    : channel->Failure();
    return "";
}

// Writes at the chosen rate; a round that runs late is not made up for.
// `writes` counts the rounds written.
std::string Publish(Channels& channels, const PublisherOptions& options, const Pacer& pacer, uint64_t& writes) {
    const double period = options.rate > 0.0 ? 1.0 / options.rate : 0.0;
    double next = 0.0;
    for (uint64_t writeCount = 1;; ++writeCount) {
        std::string failure = WriteRound(channels, options, writeCount, pacer);
        if (failure.empty()) writes = writeCount;
        if (!failure.empty() || options.once || pacer.Stopped()) return failure;
        next = Pacer::RoundAfter(next, period, pacer.Elapsed());
        if (!pacer.WaitUntil(next)) return "";
    }
}

// A recording file is read whole before anything is created, so a bad file
// publishes nothing.
int Replay(const PublisherOptions& options) {
    Replayer replayer(options);
    if (!replayer.Check()) return 2;
    if (!platform::CatchStopRequests()) return PrintError("could not catch SIGINT, SIGTERM and SIGHUP");
    PrintNotice(StartLine(options));
    Replayer::Outcome outcome = replayer.Play(Pacer(options.duration));
    replayer.ReportSkippedWrites();
    bool removed = replayer.Remove();
    if (outcome == Replayer::Outcome::BadRecording) return 2;
    if (outcome == Replayer::Outcome::WriteFailed) return PrintError("could not create or write a channel");
    std::printf("%s\n", replayer.Summary().c_str());
    return removed ? 0 : PrintError("could not remove the shared objects");
}

}  // namespace

int main(int argc, char** argv) {
    PublisherOptions options;
    CommandLineOutcome outcome = RunCommandLine(*PublisherCommandLine(options), argc, argv);
    if (!outcome.run) return outcome.status;
    if (!options.replay.empty()) return Replay(options);

    Channels channels = SelectedChannels(options);
    if (options.unlink) {
        std::string failure = UnlinkAll(channels, options.force);
        return failure.empty() ? 0 : PrintError(failure);
    }
    if (!platform::CatchStopRequests()) return PrintError("could not catch SIGINT, SIGTERM and SIGHUP");
    // A refused channel takes away what this run made of the others.
    std::string failure = OpenAll(channels, options);
    if (failure.empty()) {
        PrintNotice(StartLine(options));
        const Pacer pacer(options.duration);
        uint64_t writes = 0;
        failure = Publish(channels, options, pacer, writes);
        PrintNotice(EndLine(writes, pacer.Elapsed()));
    }
    for (auto& channel : channels) ReportSkippedWrites(*channel);
    // A normal end takes the objects away; --once leaves them for a reader.
    bool removed = (options.once && failure.empty()) || RemoveAll(channels);
    if (!failure.empty()) return PrintError(failure);
    return removed ? 0 : PrintError("could not remove the shared objects");
}
