#include "channel/TrackerClient.h"

#include <set>
#include <string>

#include "channel/ChannelState.h"
#include "channel/ObjectRefusal.h"
#include "channel/StationLayout.h"
#include "text/Warning.h"

namespace {

// An object refused because it cannot be trusted is named once per run, by
// its full name: the report shows it as not connected.
void WarnIfRefused(const char* name, const platform::ObjectCheck& check, const std::string& fix = "") {
    static std::set<std::string> named;
    if (!platform::IsRefusal(check.status)) return;
    std::string fullName = ShownName(name);
    if (named.insert(fullName).second) PrintWarning(fullName, RefusalReason(check) + fix);
}

}  // namespace

TrackerClient::TrackerClient(int instrument) : ShMemChannelSet(instrument, maxChannels) {
    WarnAboutSharedObjectSettings();
}

TrackerClient::~TrackerClient() { CloseAll(); }

// Mapping first, then its view, then the mutex, or else the write sequence;
// whatever fails leaves the channel closed. A region too short for the
// layout is refused here, because reading past the end of a shared object
// faults.
bool TrackerClient::OpenChannel(int index, ChannelTrouble& trouble) {
    mappings[index] = platform::OpenRegion(shMemName, platform::ViewAccess::Read, &trouble.check);
    if (!MapChannel(index, trouble.check)) {
        WarnIfRefused(shMemName, trouble.check);
        return false;
    }
    const std::size_t length = views[index].length;
    if (length >= station_layout::minimumRegionSize && OpenLockOrSequence(index, trouble)) return true;
    // An empty region is one its server is still sizing.
    if (length > 0 && length < station_layout::minimumRegionSize) {
        trouble.check = platform::ObjectCheck{platform::OpenStatus::TooSmall, {}, false, length};
        WarnIfRefused(shMemName, trouble.check);
    }
    CloseChannel(index);
    return false;
}

// The mutex when this user may lock it (the lock rule), which is as fast as
// reading gets; otherwise, when the mutex is refused to this user, the write
// sequence, if the server keeps one. A mutex still being set up is waited
// for. Otherwise the mutex's refusal is what the channel's trouble tells.
bool TrackerClient::OpenLockOrSequence(int index, ChannelTrouble& trouble) {
    platform::ObjectCheck mutexCheck;
    mutexes[index] = platform::OpenSharedMutex(mutexName, &mutexCheck);
    if (mutexes[index]) return true;
    uint32_t mark = 0;
    if (platform::IsRefusal(mutexCheck.status) &&
        platform::LoadRegionWord(views[index], station_layout::sequenceMarkOffset, mark) &&
        mark == station_layout::sequenceMark) {
        readOnlyMask |= 1u << index;
        return true;
    }
    trouble.mutexObject = true;
    trouble.check = mutexCheck;
    WarnIfRefused(mutexName, trouble.check, MutexRefusalFix(trouble.check.status));
    return false;
}
