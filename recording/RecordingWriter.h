#pragma once

#include <atomic>
#include <mutex>
#include <string>

#include "recording/RecordedData.h"

// Writes a version 2 recording: into a file, through zlib when its name ends
// in ".gz", or to standard output ("-"). The calls that add to the recording
// only format it into memory, so a recorder never waits for a slow file or
// terminal; Flush and Close, which may run on another thread, hand it to zlib
// and the system. Every call reports whether the recording failed so far.
class RecordingWriter {
public:
    RecordingWriter() = default;
    RecordingWriter(const RecordingWriter&) = delete;
    RecordingWriter& operator=(const RecordingWriter&) = delete;
    ~RecordingWriter();

    // Creates the file (or takes standard output) and writes the version
    // line, the metadata and the column line; `descriptor`, when given, is
    // `path` opened already, which the writer then owns.
    bool Open(const std::string& path, const RecordingInfo& info, int descriptor = -1);
    // A channel line: the channel's flags and description from its next write on.
    bool WriteChannel(const RecordedChannel& channel);
    // The server removed the channel.
    bool WriteChannelGone(int instrument, int bin);
    // The channel's server died holding its mutex.
    bool WriteChannelDied(int instrument, int bin);
    // The channel's next write was stamped before its write before.
    bool WriteStampsBack(int instrument, int bin);
    // One write of the server: one row per station, all with its time,
    // channel, write counter and time stamp.
    bool WriteWrite(const RecordedWrite& write);
    // What is written so far reaches the system (and, compressed, can be
    // decompressed up to here), however the process ends afterwards.
    bool Flush();
    // True when everything reached the file.
    bool Close();

    long Writes() const { return writes; }
    // Why the first failure happened, e.g. "No space left on device"; empty
    // while nothing failed.
    std::string FailureReason() const;

private:
    bool Put(const std::string& text);
    bool Drain();
    bool Note(bool succeeded);
    bool Fail(const std::string& why);

    void* file = nullptr;  // gzFile
    std::mutex pendingGuard;
    std::string pending;  // formatted, not yet handed to zlib
    mutable std::mutex reasonGuard;
    std::atomic<bool> failed{false};
    std::string reason;
    std::atomic<long> writes{0};
};
