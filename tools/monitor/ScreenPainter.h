#pragma once

#include <mutex>
#include <string>

#include "tools/monitor/OutputThread.h"

// The live view drawn on a thread of its own: the loop that reads the
// channels posts each screen and goes on at once; the thread shows the latest
// one, skipping those that a slow terminal had no time for.
class ScreenPainter {
public:
    ScreenPainter();

    void Post(std::string screen);
    // False once a screen could not be shown.
    bool Fine() const { return !thread.Failed(); }
    // Shows the last screen posted and ends the thread; false when showing failed.
    bool Stop() { return thread.Stop(); }

private:
    bool ShowLatest();

    std::mutex guard;
    std::string latest;
    bool fresh = false;
    OutputThread thread;  // last: it starts once the members it uses exist
};
