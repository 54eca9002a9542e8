#pragma once

#include <cstdint>
#include <vector>

#include "platform/SharedMemory.h"

// What a server that died in the middle of a write leaves in its channels:
// records of which some are new and some old, a header that may not match
// them. Such content is never read as poses; it is set aside until a live
// server writes the channel again. Two signs tell a half write, looked at
// while the reader holds the mutex: the lock found its holder dead (for a
// server that keeps no write sequence, what it left cannot be told whole),
// or the write sequence is odd, which under the mutex only a writer that
// died mid-write leaves (this also tells a reader that came after another
// reader took the dead holder's mutex over).
class HalfWrites {
public:
    // Under the channel's mutex: whether channel `index` holds a dead writer's
    // half write now. `holderDied`: this lock found the mutex abandoned.
    bool Holds(int index, const platform::RegionView& view, bool holderDied);
    // Whether channel `index` was found holding a half write at its last look.
    bool Held(int index) const { return !left[index].empty(); }
    // How often this process found a writer of channel `index` dead: a dead
    // holder, or a half write it had not seen before. Each death counts once,
    // so a program says it once per event.
    uint32_t Deaths(int index) const { return deaths[index]; }

private:
    static constexpr int channels = 16;
    // The header, records, mark and sequence as the dead writer left them: a
    // change of any byte means that a live writer has written since.
    std::vector<unsigned char> left[channels];
    uint32_t deaths[channels] = {};
};
