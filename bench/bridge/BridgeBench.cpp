#include "bench/bridge/BridgeBench.h"

#include <cstdlib>

CoreSplit::CoreSplit() {
    if (sched_getaffinity(0, sizeof all, &all) != 0 || CPU_COUNT(&all) < 2) return;
    split = true;
    for (int core = 0; core < CPU_SETSIZE; ++core)
        if (CPU_ISSET(core, &all)) last = core;
    cpu_set_t others = all;
    CPU_CLR(last, &others);
    RunOn(others);
}

void CoreSplit::TakeLastCore() {
    cpu_set_t own;
    CPU_ZERO(&own);
    CPU_SET(last, &own);
    RunOn(own);
}

void CoreSplit::RunOn(const cpu_set_t& cores) const {
    if (split) (void)sched_setaffinity(0, sizeof cores, &cores);
}

double DdsperfField(const std::string& line, const std::string& name) {
    size_t at = line.find(" " + name + " ");
    return at == std::string::npos ? -1 : std::atof(line.c_str() + at + name.size() + 2);
}
