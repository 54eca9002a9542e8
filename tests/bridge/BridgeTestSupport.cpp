#include "tests/bridge/BridgeTestSupport.h"

#include <cstdlib>
#include <chrono>
#include <thread>

#include "bridge/SampleCodec.h"
#include "platform/SharedMemory.h"
#include "tests/tracker/TrackerTestSupport.h"
#include "tracker/StationReader.h"

namespace bridgetest {

namespace {

void Use(const std::string& prefix) { setenv("LUMIVEX_SHM_PREFIX", prefix.c_str(), 1); }

bool Read(const std::string& prefix, int bin, ChannelState& state) {
    Use(prefix);
    TrackerClient client(instrument);
    client.Attach();  // a bin is selectable only once attached
    return ReadChannelState(client, bin, state);
}

bool SameChannels(const std::string& source, const std::string& mirror) {
    for (int bin : bins) {
        ChannelState original, copy;
        if (!Read(source, bin, original) || !Read(mirror, bin, copy) || !SameState(original, copy)) return false;
    }
    return true;
}

}  // namespace

bool Mirrors(const std::string& source, const std::string& mirror, Milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!SameChannels(source, mirror)) {
        if (std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(Milliseconds(20));
    }
    return true;
}

bool ChannelExists(const std::string& prefix, int instrumentNumber, int bin) {
    Use(prefix);
    platform::RegionHandle region =
        platform::OpenRegion(RegionName(instrumentNumber, bin).c_str(), platform::ViewAccess::Read);
    if (region == platform::noRegion) return false;
    platform::CloseRegion(region);
    return true;
}

testsupport::Outcome RunBridge(std::vector<std::string> arguments) {
    arguments.insert(arguments.begin(), testsupport::ProgramPath("lumivex-bridge"));
    return testsupport::RunToEnd(arguments, testsupport::ChildEnvironment({}), patience);
}

void Unlink(const std::string& prefix) {
    Use(prefix);
    for (int number : {1, instrument})
        for (int bin : bins) {
            platform::UnlinkSharedObject(RegionName(number, bin).c_str());
            platform::UnlinkSharedObject(MutexName(number, bin).c_str());
        }
}

}  // namespace bridgetest
