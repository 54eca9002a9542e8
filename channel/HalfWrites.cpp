#include "channel/HalfWrites.h"

#include "channel/ChannelState.h"

namespace {

constexpr std::size_t watchedBytes = station_layout::sequenceOffset + 4;

// Whether the server keeps the write sequence and left it odd.
bool SequenceLeftOdd(const platform::RegionView& view) {
    uint32_t mark = 0, sequence = 0;
    return platform::LoadRegionWord(view, station_layout::sequenceMarkOffset, mark) &&
           mark == station_layout::sequenceMark &&
           platform::LoadRegionWord(view, station_layout::sequenceOffset, sequence) && (sequence & 1u);
}

bool KeepsSequence(const platform::RegionView& view) {
    uint32_t mark = 0;
    return platform::LoadRegionWord(view, station_layout::sequenceMarkOffset, mark) &&
           mark == station_layout::sequenceMark;
}

}  // namespace

// A dead holder of a server that keeps the sequence left a whole write when
// the sequence is even: it died before or after writing, not during. The
// usual lock costs two loads; the channel's bytes are copied only around a
// death.
bool HalfWrites::Holds(int index, const platform::RegionView& view, bool holderDied) {
    bool half = SequenceLeftOdd(view) || (holderDied && !KeepsSequence(view));
    if (!half && !holderDied && !Held(index)) return false;
    std::vector<unsigned char>& kept = left[index];
    std::vector<unsigned char> now(watchedBytes);
    if (!platform::CopyFromRegion(view, 0, now.data(), now.size())) return Held(index);
    if (kept != now) kept.clear();
    if ((half && kept.empty()) || holderDied) ++deaths[index];
    if (half) kept = std::move(now);
    return Held(index);
}
