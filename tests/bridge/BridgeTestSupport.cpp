#include "tests/bridge/BridgeTestSupport.h"

#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <thread>

#include "bridge/SampleCodec.h"
#include "platform/SharedMemory.h"
#include "tests/support/DdsLoopback.h"
#include "tests/tracker/TrackerTestSupport.h"
#include "channel/StationReader.h"

namespace bridgetest {

namespace {

void Use(const std::string& prefix) { setenv("LUMIVEX_SHM_PREFIX", prefix.c_str(), 1); }

bool SameChannels(const std::string& source, const std::string& mirror) {
    for (int bin : bins) {
        ChannelState original, copy;
        if (!ReadChannel(source, bin, original) || !ReadChannel(mirror, bin, copy) || !SameState(original, copy))
            return false;
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

bool ReadChannel(const std::string& prefix, int bin, ChannelState& state) {
    Use(prefix);
    TrackerClient client(instrument);
    client.Attach();  // a bin is selectable only once attached
    return ReadChannelState(client, bin, state);
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

void LoopbackTest::SetUp() {
    base = "lvxbridge" + std::to_string(getpid()) + "_";
    // ctest runs each test in a process of its own; 201..232 are left for hand runs.
    domain = std::to_string(1 + getpid() % 200);
    for (const std::string& prefix : Prefixes()) Unlink(prefix);
}

void LoopbackTest::TearDown() {
    programs.clear();
    if (base.empty()) return;  // skipped before SetUp named the prefixes
    for (const std::string& prefix : Prefixes()) Unlink(prefix);
}

std::vector<std::string> LoopbackTest::Prefixes() const {
    return {Source(), Mirror(1), Mirror(2), Mirror(3), Mirror(4)};
}

std::vector<std::string> LoopbackTest::Environment(const std::string& prefix) const {
    return testsupport::ChildEnvironment(
        {"LUMIVEX_SHM_PREFIX=" + prefix, std::string("CYCLONEDDS_URI=") + testsupport::ddsLoopbackOnly}, {"DISPLAY"});
}

Program& LoopbackTest::Start(const std::string& prefix, std::vector<std::string> arguments) {
    programs.push_back(std::make_unique<Program>());
    Program& program = *programs.back();
    arguments[0] = testsupport::ProgramPath(arguments[0]);
    EXPECT_TRUE(program.process.Start({arguments, Environment(prefix), program.output.Path()})) << arguments[0];
    return program;
}

Program& LoopbackTest::StartSender() {
    return Start(Source(), {"lumivex-bridge", "send", "--instrument", "3", "--bins", "0,5", "--domain", domain});
}

Program& LoopbackTest::StartReceiver(int k, const std::string& bins) {
    return Start(Mirror(k), {"lumivex-bridge", "receive", "--instrument", "3", "--bins", bins, "--domain", domain});
}

void LoopbackTest::PublishOnce(const std::string& description) {
    testsupport::Outcome run =
        testsupport::RunToEnd({testsupport::ProgramPath("lumivex-publisher"), "--once", "--instrument", "3", "--bins",
                               "0,5", "--flags", "123", "--motion", "counter", "--description", description},
                              Environment(Source()), patience);
    ASSERT_TRUE(run.finished && run.status == 0) << run.output;
}

}  // namespace bridgetest
