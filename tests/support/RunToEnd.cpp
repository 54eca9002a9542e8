// The same on every platform: what differs is how ChildProcess starts and ends.
#include "tests/support/ChildProcess.h"
#include "tests/support/OutputFile.h"

namespace testsupport {

Outcome RunToEnd(const std::vector<std::string>& arguments, const std::vector<std::string>& environment,
                 Milliseconds limit) {
    Outcome outcome;
    OutputFile output;
    ChildProcess child;
    if (!output.Valid() || !child.Start({arguments, environment, output.Path()})) return outcome;
    outcome.finished = child.WaitExit(limit, outcome.status);
    child.Stop();
    outcome.output = output.Text();
    return outcome;
}

}  // namespace testsupport
