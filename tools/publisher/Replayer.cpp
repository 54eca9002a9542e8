#include "tools/publisher/Replayer.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>

#include "channel/ChannelId.h"
#include "platform/Console.h"
#include "text/NumberList.h"
#include "tools/publisher/ChannelWrite.h"
#include "text/ConsoleText.h"
#include "text/Warning.h"

namespace {

constexpr double progressPeriod = 0.25;
// How far a channel's write may come before one of another channel already
// read: the recorder writes each write as it sees it, a poll or so apart.
constexpr double reorderSeconds = 0.1;
constexpr std::uintmax_t largeFileBytes = 16u << 20;

// The reader's "NAME:LINE: why" as a warning whose subject is the place.
void WarnOfCut(const RecordingReader& reader) {
    const std::string& cut = reader.CutWarning();
    if (cut.empty()) return;
    std::size_t split = cut.find(": ", reader.Name().size());
    PrintWarning(cut.substr(0, split), cut.substr(split + 2));
}

// The replay goes on past a recorded death: the channel keeps its last whole
// write, as the live server's readers saw it.
void WarnOfDeaths(const RecordingReader& reader) {
    for (const RecordingReader::Death& death : reader.Deaths()) {
        ChannelId channel = ChannelId::OfKey(death.channel);
        PrintWarning(reader.Name() + ":" + std::to_string(death.line),
                     "the recorded server of instrument " + std::to_string(channel.instrument) + " bin " +
                         std::to_string(channel.bin) +
                         " died here holding its mutex; the channel keeps its last "
                         "whole write");
    }
}

// Reading a long recording takes a while; the user is told why nothing happens yet.
void AnnounceLargeFile(const std::string& path, const std::string& name) {
    std::error_code failure;
    std::uintmax_t bytes = std::filesystem::file_size(path, failure);
    if (!failure && bytes >= largeFileBytes)
        PrintNotice("reading " + name + " (" + std::to_string(bytes >> 20) + " MB) before replaying it");
}

void ApplyWrite(ChannelState& state, const RecordedWrite& write) {
    state.flags = write.channel.flags;
    if (write.channelChanged) state.description = write.channel.description;
    for (const RecordedStation& station : write.stations) state.records[station.station] = station.record;
}

double Milliseconds(double seconds) { return seconds * 1000.0; }

std::string Seconds(double seconds) {
    char text[40];
    std::snprintf(text, sizeof text, "%g s", seconds);
    return text;
}

}  // namespace

Replayer::Replayer(const PublisherOptions& options)
    : options(options),
      name(options.replay == "-" ? "standard input" : ConsoleText(options.replay)),
      progress(platform::ErrorIsTerminal()) {}

bool Replayer::Selected(const RecordedChannel& channel) const {
    return (options.replayInstruments >> channel.instrument & 1u) && (options.replayBins >> channel.bin & 1u);
}

int Replayer::TargetInstrument(const RecordedChannel& channel) const {
    return options.asInstrument >= 0 ? options.asInstrument : channel.instrument;
}

bool Replayer::InRange(double seconds) const {
    return seconds >= options.from && (options.to < 0.0 || seconds <= options.to);
}

// Two recorded instruments published as one (--as-instrument) would write
// the same channels.
bool Replayer::Collides(const RecordedChannel& channel, std::map<int, int>& published) const {
    auto [entry, added] =
        published.emplace(ChannelId{TargetInstrument(channel), channel.bin}.Key(), channel.instrument);
    if (added || entry->second == channel.instrument) return false;
    PrintError("--as-instrument " + std::to_string(options.asInstrument) + ": instruments " +
               std::to_string(entry->second) + " and " + std::to_string(channel.instrument) + " of " + name +
               " both have bin " + std::to_string(channel.bin) + "; choose one with --instrument");
    return true;
}

// Writes are played in the order of the file, so its channels must follow
// one another in time: a file holding one channel after another (which the
// reader accepts) would replay the second as one burst after the first.
bool Replayer::InTimeOrder(const RecordedWrite& write, long line, double& latestSeconds) const {
    if (write.seconds + reorderSeconds < latestSeconds) {
        char times[120];
        std::snprintf(times, sizeof times, "time_s %.6f comes %.6f s after a write at %.6f of another channel",
                      write.seconds, latestSeconds - write.seconds, latestSeconds);
        PrintError(name + ":" + std::to_string(line) + ": " + times +
                   "; replay needs the channels interleaved in time (at most 0.1 s out of order)");
        return false;
    }
    latestSeconds = std::max(latestSeconds, write.seconds);
    return true;
}

void Replayer::AddInterval(const RecordedWrite& write) {
    auto [last, first] =
        checked.lastOfChannel.emplace(ChannelId{write.channel.instrument, write.channel.bin}.Key(), write.seconds);
    if (!first)
        checked.intervals.Add(static_cast<std::uint64_t>(std::llround((write.seconds - last->second) * 1e6)), false);
    last->second = write.seconds;
}

bool Replayer::CheckWrite(const RecordedWrite& write, long line, std::map<int, int>& published) {
    ++checked.recorded;
    if (!Selected(write.channel) || !InRange(write.seconds)) return true;
    if (Collides(write.channel, published) || !InTimeOrder(write, line, checked.last)) return false;
    AddInterval(write);
    if (checked.first < 0.0) checked.first = write.seconds;
    checked.last = std::max(checked.last, write.seconds);
    ++checked.writes;
    return true;
}

bool Replayer::Report(const RecordingReader& reader, bool ok) {
    if (!reader.Error().empty()) {
        PrintError(reader.Error());
        return false;
    }
    WarnOfCut(reader);
    return ok;
}

bool Replayer::Check() {
    if (options.replay == "-") return true;
    AnnounceLargeFile(options.replay, name);
    RecordingReader reader;
    std::map<int, int> published;
    if (!reader.Open(options.replay)) return Report(reader, false);
    for (RecordedWrite write; reader.Next(write);)
        if (!CheckWrite(write, reader.WriteLine(), published)) return false;
    if (!Report(reader, true)) return false;
    checkedWhole = true;
    if (checked.writes == 0)
        PrintError(NothingToReplay(checked.recorded == 0));
    else if (options.loop && checked.last <= options.from)
        PrintError(name + ": --loop needs writes that span some time");
    else
        return true;
    return false;
}

// What was asked for, naming --from and --to only when they were given.
std::string Replayer::NothingToReplay(bool emptyRecording) const {
    if (emptyRecording) return name + ": the recording is empty: it holds no writes";
    std::string what = name + ": no write of instruments " + DescribeNumberList(options.replayInstruments) + ", bins " +
                       DescribeNumberList(options.replayBins);
    if (options.asInstrument >= 0) what += " (--as-instrument " + std::to_string(options.asInstrument) + ")";
    if (options.from > 0.0) what += " from --from " + Seconds(options.from);
    if (options.to >= 0.0) what += " up to --to " + Seconds(options.to);
    return what;
}

bool Replayer::Publish(Channel& channel, const Pacer& pacer) {
    ++channel.state.writeCount;
    channel.state.timestampMicros = ChannelWriter::StampMicros();
    ++writes;
    if (!channel.writer) return OpenChannel(channel);
    if (WriteChannel(*channel.writer, options, channel.state, pacer)) return true;
    if (!channel.writer->RefusedObject().empty()) PrintError(channel.writer->Failure());
    return false;
}

// A channel is created holding its first write, so no reader ever sees it
// before it has content.
bool Replayer::OpenChannel(Channel& channel) {
    channel.writer = std::make_unique<ChannelWriter>(channel.instrument, channel.bin);
    if (channel.writer->Open(options.mode, channel.state)) return true;
    PrintError(channel.writer->Failure());
    return false;
}

// `recordedChannels`: ChannelId keys in the recording.
bool Replayer::Remove(const std::vector<int>& recordedChannels) {
    bool removed = true;
    for (int recorded : recordedChannels) {
        const ChannelId id = ChannelId::OfKey(recorded);
        RecordedChannel channel{id.instrument, id.bin, 0, ""};
        if (!Selected(channel)) continue;
        auto found = channels.find(ChannelId{TargetInstrument(channel), channel.bin}.Key());
        if (found == channels.end() || !found->second.writer) continue;
        removed = found->second.writer->Unlink() && removed;
        found->second.writer.reset();
    }
    return removed;
}

void Replayer::ReportSkippedWrites() const {
    for (const auto& entry : channels)
        if (entry.second.writer) ::ReportSkippedWrites(*entry.second.writer);
}

void Replayer::ShowProgress(const Pacer& pacer, double seconds, bool last) {
    if (!progress || (!last && pacer.Elapsed() < nextProgress)) return;
    nextProgress = pacer.Elapsed() + progressPeriod;
    char total[40] = "";
    if (checkedWhole) std::snprintf(total, sizeof total, " of %.1f", checked.last);
    std::fprintf(stderr, "\rreplaying %s: %.1f%s s, %ld writes, p99 %.2f ms late\033[K%s", name.c_str(), seconds, total,
                 writes, Milliseconds(lateness.Quantile(0.99)), last ? "\n" : "");
}

// Writes before --from only build up the channels' state; the replay's clock
// starts at the first write it plays (the recording's first, or the first
// from --from on), when that is read, however long reading up to it took:
// a recording whose first write is late in its time is not waited for. A
// write's lateness is taken once it is published, when readers can see it.
Replayer::Outcome Replayer::PlayWrite(const Pacer& pacer, const RecordedWrite& write, long line, double passStart,
                                      bool& stopped) {
    if (!Selected(write.channel)) return Outcome::Done;
    if (Collides(write.channel, sources)) return Outcome::BadRecording;
    if (InRange(write.seconds) && !InTimeOrder(write, line, latest)) return Outcome::BadRecording;
    Channel& channel = channels[ChannelId{TargetInstrument(write.channel), write.channel.bin}.Key()];
    channel.instrument = TargetInstrument(write.channel);
    channel.bin = write.channel.bin;
    ApplyWrite(channel.state, write);
    if (write.seconds < options.from) return Outcome::Done;
    if (origin < 0.0) origin = pacer.Elapsed(), start = write.seconds;
    double due = origin + passStart + (write.seconds - start) / options.speed;
    stopped = !pacer.WaitUntil(due);
    if (stopped) return Outcome::Done;
    if (!Publish(channel, pacer)) return Outcome::WriteFailed;
    elapsed = pacer.Elapsed();
    lateness.Add(elapsed - due);
    playedSeconds = write.seconds;
    ShowProgress(pacer, write.seconds, false);
    return Outcome::Done;
}

// A file was checked before: its cut was reported then. Standard input is
// checked as it is read.
Replayer::Outcome Replayer::PlayPass(const Pacer& pacer, double passStart, bool& stopped) {
    RecordingReader reader;
    if (!reader.Open(options.replay)) return Report(reader, false), Outcome::BadRecording;
    long recorded = 0;
    latest = -1.0;
    for (RecordedWrite write; !stopped && reader.Next(write); ++recorded) {
        if (options.to >= 0.0 && write.seconds > options.to) break;
        WarnOfDeaths(reader);
        if (!Remove(reader.RemovedBefore())) return Outcome::WriteFailed;
        Outcome outcome = PlayWrite(pacer, write, reader.WriteLine(), passStart, stopped);
        if (outcome != Outcome::Done) return outcome;
        if (!Remove(reader.RemovedAfter())) return Outcome::WriteFailed;
    }
    if (!reader.Error().empty()) return Report(reader, false), Outcome::BadRecording;
    if (!Remove(reader.RemovedBefore())) return Outcome::WriteFailed;  // removals behind the last write
    if (!stopped) WarnOfDeaths(reader);
    if (checkedWhole) return Outcome::Done;
    WarnOfCut(reader);
    if (writes > 0 || stopped) return Outcome::Done;
    PrintError(NothingToReplay(recorded == 0));
    return Outcome::BadRecording;
}

// Passes follow each other at the recording's length and one median interval
// between a channel's writes (so that the last write of a pass and the first
// of the next are not due at once), counted from the start, so a late write
// does not push the rest of the replay back.
Replayer::Outcome Replayer::Play(const Pacer& pacer) {
    const double gap = checked.intervals.Count() > 0 ? checked.intervals.Percentile(0.5) / 1e6 : 0.0;
    const double passLength = (checked.last - checked.first + gap) / options.speed;
    bool stopped = false;
    for (double passStart = 0.0;; passStart += passLength) {
        Outcome outcome = PlayPass(pacer, passStart, stopped);
        if (outcome != Outcome::Done) return outcome;
        if (stopped || !options.loop) break;
    }
    ShowProgress(pacer, playedSeconds, true);
    if (!stopped && options.duration > 0.0) pacer.WaitUntil(options.duration);
    return Outcome::Done;
}

// Counted from the first replayed write: the wait for the first line on a
// pipe, or reading up to --from, is no part of the replay.
std::string Replayer::Summary() const {
    const double replayed = writes > 0 ? elapsed - origin : 0.0;
    char line[200];
    std::snprintf(line, sizeof line,
                  "replayed %ld writes in %.3f s; published after their due time by p50 %.3f ms, p99 %.3f ms, "
                  "max %.3f ms",
                  writes, replayed, Milliseconds(lateness.Quantile(0.5)), Milliseconds(lateness.Quantile(0.99)),
                  Milliseconds(lateness.Max()));
    return line;
}

bool Replayer::Remove() {
    bool removed = true;
    for (auto& [key, channel] : channels)
        if (channel.writer) removed = channel.writer->Remove() && removed;
    return removed;
}
