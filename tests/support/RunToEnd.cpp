// The same on every platform: what differs is how ChildProcess starts and ends.
#include "tests/support/ChildProcess.h"
#include "tests/support/OutputFile.h"

namespace testsupport {

Outcome RunToEnd(const std::vector<std::string>& arguments, const std::vector<std::string>& environment,
                 Milliseconds limit) {
    Outcome outcome;
    // A process the system could not start at all (seen once under a Wine
    // server that was still starting up) is started again, at most twice.
    for (int attempt = 0; attempt < 3; ++attempt) {
        OutputFile output;
        ChildProcess child;
        if (!output.Valid() || !child.Start({arguments, environment, output.Path()})) continue;
        outcome.finished = child.WaitExit(limit, outcome.status);
        child.Stop();
        outcome.output = output.Text();
        return outcome;
    }
    return outcome;
}

}  // namespace testsupport
