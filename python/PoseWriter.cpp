#include "python/PoseWriter.h"

#include "channel/ObjectRefusal.h"
#include "server/ChannelWriter.h"

PoseWriter::PoseWriter(int instrument, int bin) : channel(instrument, bin) {}

PoseWriter::~PoseWriter() { Close(); }

bool PoseWriter::Open(unsigned mode, const ChannelState& first) {
    last = first;
    last.writeCount = 1;
    last.timestampMicros = ChannelWriter::StampMicros();
    open = channel.Open(mode, last);
    return open;
}

// A write skipped because a reader held the mutex too long is counted, and no
// failure, as for every server.
bool PoseWriter::Write(const ChannelState& next) {
    if (!open) return false;
    ChannelState state = next;
    state.writeCount = last.writeCount + 1;
    state.timestampMicros = ChannelWriter::StampMicros();
    if (!channel.Publish(state)) return false;
    last = std::move(state);
    return true;
}

bool PoseWriter::Close() {
    if (!open) return true;
    open = false;
    closed = true;
    return channel.Remove();
}

std::string PoseWriter::Failure() const {
    if (closed) return ShownName(channel.RegionName()) + " is closed";
    if (!open || !channel.RefusedObject().empty()) return channel.Failure();
    return "could not write " + ShownName(channel.RegionName());
}
