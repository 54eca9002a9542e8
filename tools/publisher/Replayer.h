#pragma once

#include <memory>
#include <string>
#include <vector>

#include "server/ChannelWriter.h"
#include "server/Recording.h"
#include "tools/publisher/Pacer.h"
#include "tools/publisher/PublisherOptions.h"

// Reads the recording named by --replay. On failure it has printed why
// ("lumivex-publisher: FILE:12: ...") and nothing has been created.
bool LoadRecording(const PublisherOptions& options, Recording& recording);

// Plays a recording into the channels it declares, with its own timing:
// each row rewrites its channel with one more station record changed.
class Replayer {
public:
    Replayer(const Recording& recording, const PublisherOptions& options);

    // Creates the objects and writes every channel's flags and description,
    // with all records zero. On failure `error` says which object and why.
    bool Open(std::string& error);
    // Plays the rows (again and again with --loop); with --duration the last
    // poses stay until it is over. False when a write failed.
    bool Play(const Pacer& pacer);
    bool Unlink();
    void ReportSkippedWrites() const;

private:
    struct Channel {
        std::unique_ptr<ChannelWriter> writer;
        ChannelState state;
    };

    bool Write(Channel& channel);
    bool PlayPass(const Pacer& pacer, double passStart, bool& stopped);
    Channel& ChannelOf(int instrument, int bin);

    const Recording& recording;
    const PublisherOptions& options;
    std::vector<Channel> channels;
};
