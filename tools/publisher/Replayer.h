#pragma once

#include <map>
#include <memory>
#include <string>

#include "recording/IntervalCounts.h"
#include "recording/RecordingReader.h"
#include "server/ChannelWriter.h"
#include "tools/publisher/LatenessStats.h"
#include "tools/publisher/Pacer.h"
#include "tools/publisher/PublisherOptions.h"

// Plays a recording (--replay): every recorded write of a selected channel
// becomes one write of that channel, with all its stations, at its recorded
// time; a channel's flags and description change when they changed in the
// recording. A channel is created at its first write, removed where the
// recording says its server removed it, and created again at its next write.
class Replayer {
public:
    enum class Outcome { Done, BadRecording, WriteFailed };

    explicit Replayer(const PublisherOptions& options);

    // Reads the whole file once, so that a bad one is refused before anything
    // is published; standard input is checked as it plays instead. False:
    // it has printed why.
    bool Check();
    // Plays it (again and again with --loop); with --duration the last poses
    // stay until that is over. Prints why it failed.
    Outcome Play(const Pacer& pacer);
    // One line: writes, how long, how late each was published after its due time.
    std::string Summary() const;
    // Says on standard error how many writes a held mutex made it skip.
    void ReportSkippedWrites() const;
    // Removes the channels it created that are still its own.
    bool Remove();

private:
    struct Channel {
        int instrument = 0;
        int bin = 0;
        std::unique_ptr<ChannelWriter> writer;  // null until the first write
        ChannelState state;
    };
    // The selected writes between --from and --to, as the check found them.
    struct Span {
        double first = -1.0;  // seconds of the first and the last; -1: none
        double last = -1.0;
        long writes = 0;
        long recorded = 0;         // every write in the file, selected or not
        IntervalCounts intervals;  // between writes of a channel, in µs
        std::map<int, double> lastOfChannel;
    };

    bool Selected(const RecordedChannel& channel) const;
    int TargetInstrument(const RecordedChannel& channel) const;
    bool InRange(double seconds) const;
    bool Collides(const RecordedChannel& channel, std::map<int, int>& sources) const;
    bool CheckWrite(const RecordedWrite& write, long line, std::map<int, int>& sources);
    bool InTimeOrder(const RecordedWrite& write, long line, double& latest) const;
    void AddInterval(const RecordedWrite& write);
    bool Report(const RecordingReader& reader, bool ok);
    std::string NothingToReplay(bool emptyRecording) const;
    Outcome PlayPass(const Pacer& pacer, double passStart, bool& stopped);
    Outcome PlayWrite(const Pacer& pacer, const RecordedWrite& write, long line, double passStart, bool& stopped);
    bool Publish(Channel& channel, const Pacer& pacer);
    bool Remove(const std::vector<int>& recordedChannels);
    bool OpenChannel(Channel& channel);
    void ShowProgress(const Pacer& pacer, double seconds, bool last);

    const PublisherOptions& options;
    std::string name;
    std::map<int, Channel> channels;  // by the published channel's ChannelId key
    std::map<int, int> sources;       // the same key: the recorded instrument
    Span checked;
    LatenessStats lateness;
    long writes = 0;
    double playedSeconds = 0.0;  // where in the recording the last write was
    double elapsed = 0.0;        // when the last write was made
    double origin = -1.0;        // when the first write was played; -1: not yet
    double start = 0.0;          // that write's time in the recording
    double latest = -1.0;        // the latest time played in this pass
    double nextProgress = 0.0;
    bool checkedWhole = false;
    bool progress = false;  // standard error is a terminal
};
