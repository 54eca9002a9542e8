#include "tracker/TrackerClient.h"

#include "tracker/StationLayout.h"

TrackerClient::TrackerClient(int instrument) : ShMemChannelSet(instrument, maxChannels) {}

TrackerClient::~TrackerClient() { CloseAll(); }

// Mapping first, then its view, then the mutex; whatever fails leaves the
// channel closed. A region too short for the layout is refused here, because
// reading past the end of a shared object faults.
bool TrackerClient::OpenChannel(int index) {
    mappings[index] = platform::OpenRegion(shMemName, platform::ViewAccess::Read);
    if (!MapChannel(index, MapAccess::Read)) return false;
    if (views[index].length >= station_layout::minimumRegionSize)
        mutexes[index] = platform::OpenSharedMutex(mutexName);
    if (mutexes[index]) return true;
    CloseChannel(index);
    return false;
}
