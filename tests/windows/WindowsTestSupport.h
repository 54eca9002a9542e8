#pragma once

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "tests/support/ChildProcess.h"
#include "tests/support/OutputFile.h"

namespace testsupport {

// Gives every test its own object-name prefix, in this process and in the
// programs it starts, so tests never meet each other or a real server.
class WindowsProgramTest : public ::testing::Test {
protected:
    void SetUp() override;

    // The programs' environment: this process's, with the test's prefix.
    std::vector<std::string> Environment() const;
    // Starts lumivex-publisher.exe with `arguments`, its output into `output`.
    bool StartPublisher(ChildProcess& publisher, const OutputFile& output, const std::vector<std::string>& arguments);
    // Runs `program` (a name in LUMIVEX_BIN) to its end.
    Outcome Run(const std::string& program, const std::vector<std::string>& arguments);

    std::string prefix;
};

// Polls `condition` until it holds or `limit` has passed.
template <typename Condition>
bool WaitUntil(Condition condition, Milliseconds limit = Milliseconds(15000)) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(Milliseconds(20));
    }
    return true;
}

}  // namespace testsupport
