#pragma once

#include <string>
#include <vector>

#include "tests/support/ChildProcess.h"

namespace testsupport {

// A private Xvfb server (1280 x 1024, 24 bits), so that the tests never use
// the caller's display. Unless asked otherwise, -noreset keeps it, and its
// pointer state, alive when the last client leaves; it runs until the object
// goes.
class XServer {
public:
    enum class LastClientLeaving { KeepState, Reset };

    // Starts the server, with these further options, and waits until it
    // reports its display number.
    bool Start(const std::vector<std::string>& options = {},
               LastClientLeaving lastClientLeaving = LastClientLeaving::KeepState);
    // ":N", or "" while no server runs.
    const std::string& Display() const { return display; }

private:
    bool ReadDisplayNumber(int descriptor);

    ChildProcess server;
    std::string display;
};

// Starts a server for this process alone, kept until the process ends, and
// points DISPLAY at it, so that windows of tests running side by side never
// meet (an overlapping window sends expose events that draw extra frames).
// False, with DISPLAY unchanged, when no server could be started.
bool UsePrivateDisplay();

}  // namespace testsupport
