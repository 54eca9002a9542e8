#pragma once

#include <sched.h>

#include <string>

// What the bridge's benchmarks share.

// This program's spinning read of the mirror is the measuring instrument.
// While it measures, it has the last core to itself, and the bridge's
// processes (started while this program runs on the other cores, whose
// affinity they inherit) run on the others, so that the instrument does not
// take turns with what it measures. With one core nothing is split;
// ddsperf runs on every core.
class CoreSplit {
public:
    CoreSplit();
    ~CoreSplit() { RunOn(all); }
    CoreSplit(const CoreSplit&) = delete;
    CoreSplit& operator=(const CoreSplit&) = delete;
    void TakeLastCore();

private:
    void RunOn(const cpu_set_t& cores) const;

    cpu_set_t all{};
    bool split = false;
    int last = 0;
};

// ddsperf prints one line a second: "... size 800 mean ...us min ...us 50% Xus
// 90% ...us 99% Yus ..."; the field `name` of such a line, -1 when it has none.
double DdsperfField(const std::string& line, const std::string& name);

// Makes a rig for one run the way users make one, in a new folder below /tmp
// whose name starts with `tag`: a sender member for instrument 0 and a
// receiving viewer. The rig's folder, or "" with the failure on stderr.
std::string MakeBenchRig(const std::string& tag);
