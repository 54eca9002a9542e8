#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "tests/support/ChildProcess.h"
#include "tests/support/OutputFile.h"
#include "channel/ChannelState.h"

// What the bridge's process tests share: the channels they bridge (instrument
// 3, bins 0 and 5), each "machine" a shared-memory prefix of its own.
namespace bridgetest {

using testsupport::Milliseconds;

constexpr int instrument = 3;
const std::vector<int> bins{0, 5};
const Milliseconds patience(15000);

// A program of the build, its output in a file the test can watch.
struct Program {
    testsupport::OutputFile output;
    testsupport::ChildProcess process;
};

// True once every bridged channel under `mirror` equals the one under
// `source`, byte for byte; false when `limit` passes first.
bool Mirrors(const std::string& source, const std::string& mirror, Milliseconds limit = patience);
// Reads the state of a bridged channel under `prefix`.
bool ReadChannel(const std::string& prefix, int bin, ChannelState& state);
// Whether the region of a channel exists under `prefix`.
bool ChannelExists(const std::string& prefix, int instrumentNumber, int bin);
// Runs lumivex-bridge with `arguments` to its end.
testsupport::Outcome RunBridge(std::vector<std::string> arguments);
// Removes the bridged channels under `prefix`.
void Unlink(const std::string& prefix);

// Programs on one machine that talk DDS over the loopback interface only, on
// a domain of the test's own: a source prefix stands for the tracking
// server's machine, mirror prefixes for the viewers' machines.
class LoopbackTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    std::string Source() const { return base + "A_"; }
    std::string Mirror(int k) const { return base + "B" + std::to_string(k) + "_"; }
    std::vector<std::string> Environment(const std::string& prefix) const;

    // Starts a program of the build (arguments[0]) on the machine of `prefix`.
    Program& Start(const std::string& prefix, std::vector<std::string> arguments);
    Program& StartSender();
    // The receiver of mirror `k`.
    Program& StartReceiver(int k, const std::string& bins = "0,5");
    // Writes one state under the source prefix, as the tracking server would.
    void PublishOnce(const std::string& description);

    std::string domain;

private:
    std::vector<std::string> Prefixes() const;

    std::string base;
    std::vector<std::unique_ptr<Program>> programs;
};

}  // namespace bridgetest
