#pragma once

#include <mutex>
#include <string>

#include "channel/ChannelId.h"
#include "channel/ChannelState.h"
#include "client/Outcome.h"
#include "server/ChannelWriter.h"

// One channel written through the public interface, as its one writer: the
// flags and description it was opened with, and the next write's number.
// Its calls take turns.
class ClientWriter {
public:
    ClientWriter(ChannelId id, std::string description, uint32_t flags);

    // Claims and creates the channel, the region with permission bits `mode`.
    Outcome Open(unsigned mode);
    Outcome Write(const lumivex_pose* poses);
    // Removes the channel's objects, as a server that ends does.
    Outcome Remove();

private:
    std::mutex turn;
    ChannelWriter writer;
    ChannelState state;
};
