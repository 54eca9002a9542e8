#pragma once

// How the Google Benchmark programs start and end. The library reads its own
// flags and answers --help itself; any other argument is refused, and a
// benchmark that could not measure (no publisher, nothing published) makes
// the run fail once every benchmark has run, so that a script never takes a
// missing figure for a result.
class BenchmarkRun {
public:
    // -1 to go on; otherwise the status to end with now: 2 after an argument
    // the library does not know (named on standard error).
    static int Start(int& argc, char** argv);
    // Runs the benchmarks the flags select: 0 when each measured, 1 when one
    // reported an error.
    static int Finish();
};
