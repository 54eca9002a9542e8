#include "bench/bridge/BridgeBench.h"

#include <cstdio>
#include <cstdlib>
#include <vector>

#include "tests/support/ChildProcess.h"

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

std::string MakeBenchRig(const std::string& tag) {
    using namespace testsupport;
    std::string pattern = "/tmp/" + tag + "XXXXXX";
    if (!mkdtemp(pattern.data())) return std::perror("cannot make the rig's folder"), "";
    std::string rig = pattern + "/rig";
    std::string program = ProgramPath("lumivex-bridge");
    for (const std::vector<std::string>& command : {std::vector<std::string>{program, "rig", "init", rig},
                                                    {program, "rig", "add", rig, "sender", "--send", "0"},
                                                    {program, "rig", "add", rig, "viewer", "--receive"}}) {
        Outcome run = RunToEnd(command, ChildEnvironment({}), std::chrono::milliseconds(30000));
        if (!run.finished || run.status != 0) return std::fprintf(stderr, "%s", run.output.c_str()), "";
    }
    return rig;
}
