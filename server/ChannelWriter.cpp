#include "server/ChannelWriter.h"

#include <algorithm>
#include <cstring>

#include "tracker/ShMemChannelSet.h"

namespace {

std::string ChannelName(const char* baseName, int instrument, int bin) {
    return std::string(baseName) + channelDigits[instrument] + channelDigits[bin];
}

void PutLittleEndian32(unsigned char* destination, uint32_t value) {
    for (int i = 0; i < 4; ++i) destination[i] = static_cast<unsigned char>(value >> (8 * i));
}

}  // namespace

ChannelWriter::ChannelWriter(int instrument, int bin)
    : regionName(ChannelName(shMemBaseName, instrument, bin)), mutexName(ChannelName(mutexBaseName, instrument, bin)) {}

ChannelWriter::~ChannelWriter() {
    platform::CloseSharedMutex(mutex);
    platform::UnmapRegion(view);
    platform::CloseRegion(region);
}

bool ChannelWriter::Open(unsigned mode) {
    region = platform::CreateRegion(regionName.c_str(), station_layout::publishedRegionSize, mode);
    if (!platform::MapRegion(region, platform::ViewAccess::ReadWrite, view)) return false;
    mutex = platform::CreateSharedMutex(mutexName.c_str(), mode);
    return mutex != nullptr;
}

// The records are rewritten in full on every write, so what a dead holder
// left half written does not outlive the next write.
bool ChannelWriter::Lock() {
    platform::LockResult result = platform::LockSharedMutex(mutex);
    if (result == platform::LockResult::Abandoned) return platform::MarkSharedMutexConsistent(mutex);
    return result == platform::LockResult::Acquired;
}

bool ChannelWriter::Unlock() { return platform::UnlockSharedMutex(mutex); }

void ChannelWriter::Write(const ChannelState& state) {
    using namespace station_layout;
    PutLittleEndian32(view.base + writeCountOffset, state.writeCount);
    PutLittleEndian32(view.base + flagsOffset, state.flags);
    PutLittleEndian32(view.base + timestampOffset, state.timestampMicros);
    std::memcpy(view.base + recordsOffset, state.records, sizeof(state.records));
    std::size_t length = std::min(state.description.size(), view.length - descriptionOffset - 1);
    std::memcpy(view.base + descriptionOffset, state.description.data(), length);
    view.base[descriptionOffset + length] = 0;
}

bool ChannelWriter::Publish(const ChannelState& state) {
    if (!Lock()) return false;
    Write(state);
    return Unlock();
}

bool ChannelWriter::Unlink() {
    bool regionGone = platform::UnlinkSharedObject(regionName.c_str());
    bool mutexGone = platform::UnlinkSharedObject(mutexName.c_str());
    return regionGone && mutexGone;
}
