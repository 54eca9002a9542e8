#pragma once

#include <string>
#include <vector>

#include "tests/support/ChildProcess.h"
#include "tests/support/OutputFile.h"

namespace e2e {

using namespace testsupport;

// The last line of the key help, which ends the start-up output.
extern const char* const StartupEnd;

// A running viewer whose console output goes into a file that the test reads
// while the viewer runs. Ended when the object goes.
class ViewerProcess {
public:
    // Starts build/bin/lumivex with these switches and this environment.
    bool Start(const std::vector<std::string>& switches, const std::vector<std::string>& environment);

    // Waits for `text` behind everything that earlier calls found, and moves
    // past it; false when it did not appear within `limit`.
    bool Expect(const std::string& text, Milliseconds limit = Milliseconds(5000));

    // The whole output so far, and the part behind the start-up output.
    std::string Output() const { return output.Text(); }
    std::string OutputAfterStartup() const;

    bool WaitExit(Milliseconds limit, int& status) { return process.WaitExit(limit, status); }
    void Stop() { process.Stop(); }

private:
    OutputFile output;
    ChildProcess process;
    size_t matched = 0;
};

}  // namespace e2e
