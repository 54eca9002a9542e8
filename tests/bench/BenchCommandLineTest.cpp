#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/ChildProcess.h"

namespace {

using namespace testsupport;

// Every benchmark: hand-written ones print their own usage, Google Benchmark
// ones the library's.
struct Benchmark {
    const char* name;
    const char* usage;
};

const Benchmark benchmarks[] = {
    {"bench-bridge", "usage: bench-bridge"},     {"bench-bridge-windows", "usage: bench-bridge-windows"},
    {"bench-recorder", "usage: bench-recorder"}, {"bench-recording", "usage: bench-recording"},
    {"bench-monitor", "--benchmark_filter"},     {"bench-plot", "--benchmark_filter"},
    {"bench-tracker", "--benchmark_filter"},     {"bench-viewer", "--benchmark_filter"},
};

// Figures as each benchmark prints them; none may appear when it measured nothing.
const char* const figureMarks[] = {"p50 ", "held ", "writes read in", "Iterations"};

// `arguments` start with the benchmark's name.
Outcome RunBench(std::vector<std::string> arguments, const std::vector<std::string>& environment = {}) {
    arguments[0] = ProgramPath(arguments[0]);
    return RunToEnd(arguments, ChildEnvironment(environment), Milliseconds(60000));
}

void ExpectNoFigure(const Outcome& run) {
    for (const char* mark : figureMarks) EXPECT_EQ(run.output.find(mark), std::string::npos) << run.output;
}

TEST(BenchCommandLine, HelpSaysHowToUseAndMeasuresNothing) {
    for (const Benchmark& bench : benchmarks) {
        Outcome run = RunBench({bench.name, "--help"});
        ASSERT_TRUE(run.finished) << bench.name;
        EXPECT_EQ(ExitStatusOf(run.status), 0) << bench.name << ": " << run.output;
        EXPECT_NE(run.output.find(bench.usage), std::string::npos) << bench.name << ": " << run.output;
        ExpectNoFigure(run);
    }
}

// Arguments a benchmark does not take, each named with status 2 before anything runs.
TEST(BenchCommandLine, RefusesWhatItDoesNotTakeByName) {
    const std::vector<std::vector<std::string>> refused = {{"bench-bridge", "--no-such-flag"},
                                                           {"bench-bridge", "many"},
                                                           {"bench-bridge", "0"},
                                                           {"bench-bridge-windows", "2000", "100", "7"},
                                                           {"bench-recorder", "1", "7"},
                                                           {"bench-recorder", "-5"},
                                                           {"bench-recording", "load", "x", "3"},
                                                           {"bench-monitor", "--no-such-flag"},
                                                           {"bench-plot", "--no-such-flag"},
                                                           {"bench-tracker", "--no-such-flag"},
                                                           {"bench-viewer", "--no-such-flag"}};
    for (const std::vector<std::string>& arguments : refused) {
        Outcome run = RunBench(arguments);
        ASSERT_TRUE(run.finished) << arguments[0];
        EXPECT_EQ(ExitStatusOf(run.status), 2) << arguments[0] << ": " << run.output;
        EXPECT_NE(run.output.find(arguments.back()), std::string::npos) << run.output;
        ExpectNoFigure(run);
    }
}

// With the programs they measure missing, benchmarks fail with a message
// instead of printing figures of nothing.
TEST(BenchCommandLine, FailsWithoutFiguresWhenWhatItMeasuresDoesNotRun) {
    const std::vector<std::vector<std::string>> runs = {
        {"bench-bridge", "1"}, {"bench-recorder", "1", "1"}, {"bench-monitor"}, {"bench-tracker"}};
    for (const std::vector<std::string>& arguments : runs) {
        Outcome run = RunBench(arguments, {"LUMIVEX_BIN=/nonexistent"});
        ASSERT_TRUE(run.finished) << arguments[0];
        EXPECT_NE(ExitStatusOf(run.status), 0) << arguments[0] << ": " << run.output;
        EXPECT_FALSE(run.output.empty()) << arguments[0];
        ExpectNoFigure(run);
    }
}

}  // namespace
