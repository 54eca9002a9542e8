#pragma once

#include <string>
#include <vector>

#include "tests/support/ChildProcess.h"
#include "tests/support/OutputFile.h"

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
// Whether the region of a channel exists under `prefix`.
bool ChannelExists(const std::string& prefix, int instrumentNumber, int bin);
// Runs lumivex-bridge with `arguments` to its end.
testsupport::Outcome RunBridge(std::vector<std::string> arguments);
// Removes the bridged channels under `prefix`.
void Unlink(const std::string& prefix);

}  // namespace bridgetest
