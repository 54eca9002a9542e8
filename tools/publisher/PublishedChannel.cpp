#include "tools/publisher/PublishedChannel.h"

#include <cstring>

#include "tools/publisher/PublisherOptions.h"
#include "tracker/ShMemChannelSet.h"

namespace {

// Bytes the viewer does not read; the publisher keeps its write count and the
// number of records there.
constexpr std::size_t writeCountOffset = 0;
constexpr std::size_t recordCountOffset = 8;

std::string ChannelName(const char* baseName, int instrument, int bin) {
    return std::string(baseName) + channelDigits[instrument] + channelDigits[bin];
}

void PutLittleEndian32(unsigned char* destination, uint32_t value) {
    for (int i = 0; i < 4; ++i) destination[i] = static_cast<unsigned char>(value >> (8 * i));
}

}  // namespace

PublishedChannel::PublishedChannel(int instrument, int bin)
    : regionName(ChannelName(shMemBaseName, instrument, bin)), mutexName(ChannelName(mutexBaseName, instrument, bin)) {}

PublishedChannel::~PublishedChannel() {
    platform::CloseSharedMutex(mutex);
    platform::UnmapRegion(view);
    platform::CloseRegion(region);
}

bool PublishedChannel::Open(unsigned mode) {
    region = platform::CreateRegion(regionName.c_str(), publishedRegionSize, mode);
    if (!platform::MapRegion(region, platform::ViewAccess::ReadWrite, view)) return false;
    mutex = platform::CreateSharedMutex(mutexName.c_str(), mode);
    return mutex != nullptr;
}

// The records are rewritten in full on every write, so what a dead holder
// left half written does not outlive the next write.
bool PublishedChannel::Lock() {
    platform::LockResult result = platform::LockSharedMutex(mutex);
    if (result == platform::LockResult::Abandoned) return platform::MarkSharedMutexConsistent(mutex);
    return result == platform::LockResult::Acquired;
}

bool PublishedChannel::Unlock() { return platform::UnlockSharedMutex(mutex); }

void PublishedChannel::Write(uint32_t flags, const std::string& description,
                             const StationRecord (&records)[station_layout::stationCount], uint64_t writeCount) {
    PutLittleEndian32(view.base + writeCountOffset, static_cast<uint32_t>(writeCount));
    PutLittleEndian32(view.base + station_layout::flagsOffset, flags);
    PutLittleEndian32(view.base + recordCountOffset, station_layout::stationCount);
    std::memcpy(view.base + station_layout::recordsOffset, records, sizeof(records));
    std::memcpy(view.base + station_layout::descriptionOffset, description.c_str(), description.size() + 1);
}

bool PublishedChannel::Unlink() {
    bool regionGone = platform::UnlinkSharedObject(regionName.c_str());
    bool mutexGone = platform::UnlinkSharedObject(mutexName.c_str());
    return regionGone && mutexGone;
}
