#pragma once

#include <string>
#include <vector>

#include "tests/support/ChildProcess.h"

namespace e2e {

using namespace testsupport;

// The shared-memory channels of one test: a name prefix no other test or run
// uses, and a lumivex-publisher serving bins 0 and 1 of instrument 0 on
// request. The publisher is stopped when the object goes.
class TrackerChannels {
public:
    TrackerChannels();

    // LUMIVEX_SHM_PREFIX=..., for the environment of every process of the test.
    const std::string& PrefixSetting() const { return prefixSetting; }

    // Writes the channels once (so they exist when this returns), then keeps
    // a publisher running with the same options until the object goes.
    bool Publish(const std::vector<std::string>& options);

    // Starts the running publisher alone, over channels published before.
    bool StartPublisher(const std::vector<std::string>& options);
    void StopPublisher() { publisher.Stop(); }

    // Removes the names of both bins (those that exist); false on failure.
    bool Unlink();

private:
    std::vector<std::string> Arguments(std::vector<std::string> options) const;

    std::string prefixSetting;
    ChildProcess publisher;
};

}  // namespace e2e
