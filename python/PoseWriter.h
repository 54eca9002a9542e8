#pragma once

#include <cstdint>
#include <string>

#include "server/ChannelWriter.h"

// A channel written by a program of a lab's own: its one writer, counting
// its writes and stamping each, as our publisher does, so that every reader
// can tell a new write and its age. The objects go when the writer does.
class PoseWriter {
public:
    PoseWriter(int instrument, int bin);
    ~PoseWriter();
    PoseWriter(const PoseWriter&) = delete;
    PoseWriter& operator=(const PoseWriter&) = delete;

    // Claims and opens the channel with `first` as its content (its counter
    // and stamp are set here); false with Failure() when that is refused.
    bool Open(unsigned mode, const ChannelState& first);
    // Writes the records, flags and description of `next` as the next write;
    // false when it could not be written (Failure() then says why when an
    // object was refused).
    bool Write(const ChannelState& next);
    // Removes the channel's objects; later writes are refused.
    bool Close();

    std::string Failure() const;
    const ChannelState& Last() const { return last; }
    uint64_t SkippedWrites() const { return channel.SkippedWrites(); }

private:
    ChannelWriter channel;
    ChannelState last;
    bool open = false;
    bool closed = false;
};
