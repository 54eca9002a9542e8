#include "tracker/TrackerClient.h"

#include <set>
#include <string>

#include "tracker/StationLayout.h"
#include "tracker/Warning.h"

namespace {

// An object refused because it cannot be trusted is named once per run: the
// viewer retries it on every cycle, and the report shows it as not connected.
void WarnIfUntrusted(const char* name, platform::OpenStatus status) {
    static std::set<std::string> named;
    const char* reason = status == platform::OpenStatus::ForeignOwner       ? "owned by another user; not read"
                         : status == platform::OpenStatus::WritableByOthers ? "writable by every user; not read"
                                                                            : nullptr;
    if (reason && named.insert(name).second) PrintWarning(name, reason);
}

}  // namespace

TrackerClient::TrackerClient(int instrument) : ShMemChannelSet(instrument, maxChannels) {}

TrackerClient::~TrackerClient() { CloseAll(); }

// Mapping first, then its view, then the mutex; whatever fails leaves the
// channel closed. A region too short for the layout is refused here, because
// reading past the end of a shared object faults.
bool TrackerClient::OpenChannel(int index) {
    platform::OpenStatus status = platform::OpenStatus::Failed;
    mappings[index] = platform::OpenRegion(shMemName, platform::ViewAccess::Read, &status);
    WarnIfUntrusted(shMemName, status);
    if (!MapChannel(index, MapAccess::Read)) return false;
    if (views[index].length >= station_layout::minimumRegionSize) {
        mutexes[index] = platform::OpenSharedMutex(mutexName, &status);
        WarnIfUntrusted(mutexName, status);
    }
    if (mutexes[index]) return true;
    CloseChannel(index);
    return false;
}
