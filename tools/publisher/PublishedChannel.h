#pragma once

#include <cstdint>
#include <string>

#include "platform/SharedMemory.h"
#include "tracker/StationLayout.h"

// One channel as the publisher owns it: the region, mapped read-write, and its
// mutex. Closing it leaves both objects in place for readers and for a
// publisher that starts again.
class PublishedChannel {
public:
    PublishedChannel(int instrument, int bin);
    PublishedChannel(const PublishedChannel&) = delete;
    PublishedChannel& operator=(const PublishedChannel&) = delete;
    ~PublishedChannel();

    // Opens the objects or creates them with the permission bits `mode`.
    bool Open(unsigned mode);
    // Takes the mutex; one left behind by a publisher that died is taken over.
    bool Lock();
    bool Unlock();
    // Call while holding the mutex.
    void Write(uint32_t flags, const std::string& description, const StationRecord (&records)[station_layout::stationCount],
               uint64_t writeCount);
    // Removes both names; true when neither remains.
    bool Unlink();

private:
    std::string regionName;
    std::string mutexName;
    platform::RegionHandle region = platform::noRegion;
    platform::RegionView view;
    platform::SharedMutex* mutex = nullptr;
};
