#include "tracker/TrackerClient.h"

#include <set>
#include <string>

#include "tracker/ObjectRefusal.h"
#include "tracker/StationLayout.h"
#include "tracker/Warning.h"

namespace {

// An object refused because it cannot be trusted is named once per run, by
// its full name: the report shows it as not connected.
void WarnIfRefused(const char* name, const platform::ObjectCheck& check) {
    static std::set<std::string> named;
    if (!platform::IsRefusal(check.status)) return;
    std::string fullName = platform::SharedObjectName(name);
    if (named.insert(fullName).second) PrintWarning(fullName, RefusalReason(check));
}

}  // namespace

TrackerClient::TrackerClient(int instrument) : ShMemChannelSet(instrument, maxChannels) {}

TrackerClient::~TrackerClient() { CloseAll(); }

// Mapping first, then its view, then the mutex; whatever fails leaves the
// channel closed. A region too short for the layout is refused here, because
// reading past the end of a shared object faults.
bool TrackerClient::OpenChannel(int index) {
    mappings[index] = platform::OpenRegion(shMemName, platform::ViewAccess::Read, &openCheck);
    WarnIfRefused(shMemName, openCheck);
    if (!MapChannel(index, MapAccess::Read)) return false;
    if (views[index].length >= station_layout::minimumRegionSize) {
        openCheckOfMutex = true;
        mutexes[index] = platform::OpenSharedMutex(mutexName, &openCheck);
        WarnIfRefused(mutexName, openCheck);
    }
    if (mutexes[index]) return true;
    CloseChannel(index);
    return false;
}
