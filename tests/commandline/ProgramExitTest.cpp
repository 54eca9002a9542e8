#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "tests/commandline/CommandLineTestSupport.h"

namespace {

struct ProgramRun {
    std::string output;
    int status = -1;
};

// Runs a shell command with no display and no input, collecting its output.
ProgramRun RunWithoutDisplay(const std::string& command) {
    ProgramRun run;
    const std::string line = "env -u DISPLAY " + command + " </dev/null";
    FILE* pipe = popen(line.c_str(), "r");
    if (pipe == nullptr) return run;
    char buffer[4096];
    size_t count;
    while ((count = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) run.output.append(buffer, count);
    run.status = pclose(pipe);
    return run;
}

TEST(ViewerProgramTest, UnknownSwitchPrintsUsageAndExitsWithMinusOne) {
    const char* binDirectory = std::getenv("LUMIVEX_BIN");
    ASSERT_NE(binDirectory, nullptr) << "LUMIVEX_BIN is not set";
    const std::string program = std::string(binDirectory) + "/lumivex";

    const ProgramRun run = RunWithoutDisplay("'" + program + "' /Z");

    ASSERT_NE(run.status, -1) << "could not run " << program;
    ASSERT_TRUE(WIFEXITED(run.status)) << "status " << run.status;
    EXPECT_EQ(WEXITSTATUS(run.status), 255);  // main returns -1
    EXPECT_EQ(run.output, processingLine + DefaultUsageText(program));
}

}  // namespace
