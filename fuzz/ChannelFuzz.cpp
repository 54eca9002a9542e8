// Channel reading: a real region with the input as its bytes (and the input's
// length as its size) beside a real mutex, read through every call the viewer
// makes on a channel: records, flags word, description, active count, whole
// channel state and the start-up configuration report.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>

#include "fuzz/FuzzCheck.h"
#include "platform/SharedMemory.h"
#include "channel/StationLayout.h"
#include "channel/StationReader.h"
#include "app/TrackerSettings.h"
#include "app/TrackingReport.h"

namespace {

using station_layout::descriptionOffset;
using station_layout::minimumRegionSize;

const std::string regionName = NameOf(ChannelObject::Region, 0, 0).text;
const std::string mutexName = NameOf(ChannelObject::Mutex, 0, 0).text;

// Channel 0 of instrument 0 as a server would leave it, removed again when
// the input is done.
class FuzzChannel {
public:
    FuzzChannel(const uint8_t* data, std::size_t size) {
        platform::RegionHandle region = platform::CreateRegion(regionName.c_str(), size, 0600);
        platform::RegionView view;
        FUZZ_CHECK(region != platform::noRegion);
        if (size > 0) {
            FUZZ_CHECK(platform::MapRegion(region, platform::ViewAccess::ReadWrite, view));
            std::memcpy(view.base, data, size);
            platform::UnmapRegion(view);
        }
        platform::CloseRegion(region);
        mutex = platform::CreateSharedMutex(mutexName.c_str(), 0600);
        FUZZ_CHECK(mutex != nullptr);
    }
    ~FuzzChannel() {
        platform::CloseSharedMutex(mutex);
        platform::UnlinkSharedObject(regionName.c_str());
        platform::UnlinkSharedObject(mutexName.c_str());
    }
    FuzzChannel(const FuzzChannel&) = delete;
    FuzzChannel& operator=(const FuzzChannel&) = delete;

private:
    platform::SharedMutex* mutex = nullptr;
};

// A record is copied only from a region long enough for the whole layout, and
// exactly as it stands there; otherwise the destination stays untouched. Every
// read re-attaches the fifteen channels that do not exist, so the whole
// protocol runs for the stations at both ends and just outside them, and the
// copy alone for the stations between.
bool ReadsLikeTheRegion(TrackerClient& client, int station, const uint8_t* data, std::size_t size, bool whole) {
    float pose[6];
    std::memset(pose, 0xA5, sizeof pose);
    float untouched[6];
    std::memcpy(untouched, pose, sizeof pose);
    if (!(whole ? ReadStationPose(client, 0, station, pose) : CopyStationRecord(client, station, pose)))
        return std::memcmp(pose, untouched, sizeof pose) == 0;
    return size >= minimumRegionSize && station >= 0 && station < station_layout::stationCount &&
           std::memcmp(pose, data + station_layout::RecordOffset(station), sizeof pose) == 0;
}

void CheckStationReads(TrackerClient& client, const uint8_t* data, std::size_t size) {
    for (int station : {-1, 0, station_layout::stationCount - 1, station_layout::stationCount})
        FUZZ_CHECK(ReadsLikeTheRegion(client, station, data, size, true));
    bool locked = false;
    bool read = ReadBin(client, 0, [&] {
        locked = true;
        for (int station = 1; station < station_layout::stationCount - 1; ++station)
            FUZZ_CHECK(ReadsLikeTheRegion(client, station, data, size, false));
        return true;
    });
    FUZZ_CHECK(read || !locked);
}

// The description never runs past the region and holds no NUL.
bool CheckHeaderUnderLock(TrackerClient& client, const uint8_t* data, std::size_t size) {
    FUZZ_CHECK(size >= minimumRegionSize);
    const uint32_t flags = ReadFlagsWord(client);
    FUZZ_CHECK(flags == station_layout::ReadLittleEndian32(data + station_layout::flagsOffset));
    FUZZ_CHECK(client.ActiveStationCount() == __builtin_popcount(flags & station_layout::stationActiveBits));
    const std::string description = ReadDescription(client);
    FUZZ_CHECK(description.size() <= size - descriptionOffset);
    FUZZ_CHECK(description.compare(0, description.size(), reinterpret_cast<const char*>(data + descriptionOffset),
                                   description.size()) == 0);
    FUZZ_CHECK(description.find('\0') == std::string::npos);
    return true;
}

void CheckHeaderReads(TrackerClient& client, const uint8_t* data, std::size_t size) {
    bool locked = false;
    bool read = ReadBin(client, 0, [&] {
        locked = true;
        return CheckHeaderUnderLock(client, data, size);
    });
    FUZZ_CHECK(read || !locked);
}

void CheckChannelState(TrackerClient& client, const uint8_t* data, std::size_t size) {
    ChannelState state;
    if (!ReadChannelState(client, 0, state)) return;
    FUZZ_CHECK(size >= minimumRegionSize);
    FUZZ_CHECK(std::memcmp(state.records, data + station_layout::recordsOffset, sizeof state.records) == 0);
}

// The default masks select stations 0..3 of bin 0, which a new client always
// examines, so there are four rows whether the channel could be read or not.
void CheckReport() {
    StationMapEntry stationMap[stationMapCapacity];
    int rows = -1;
    TrackerClientArray* clients = nullptr;
    FUZZ_CHECK(ReportTrackingConfiguration(stationMap, rows, clients));
    FUZZ_CHECK(rows == 4);
    delete clients;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // Never meet a real server's objects or another run's. scripts/fuzz.sh
    // sets a prefix of its own so that it can clean up after a crash.
    const std::string prefix = "lumivex_fuzz_" + std::to_string(getpid()) + "_";
    if (setenv("LUMIVEX_SHM_PREFIX", prefix.c_str(), 0) != 0) return 1;
    // The report's console lines would drown the fuzzer's own output.
    return std::freopen("/dev/null", "w", stdout) ? 0 : 1;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    FuzzChannel channel(data, size);
    TrackerClient client;
    CheckStationReads(client, data, size);
    CheckHeaderReads(client, data, size);
    CheckChannelState(client, data, size);
    CheckReport();
    return 0;
}
