#include "bench/BenchmarkRun.h"

#include <benchmark/benchmark.h>

namespace {

// The reporter --benchmark_format asks for, noting the runs that ended in an error.
class ErrorNotingReporter : public benchmark::BenchmarkReporter {
public:
    bool ReportContext(const Context& context) override { return shown->ReportContext(context); }
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) failed = failed || run.error_occurred;
        shown->ReportRuns(runs);
    }
    void Finalize() override { shown->Finalize(); }
    bool Failed() const { return failed; }

private:
    benchmark::BenchmarkReporter* shown = benchmark::CreateDefaultDisplayReporter();
    bool failed = false;
};

}  // namespace

int BenchmarkRun::Start(int& argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    return benchmark::ReportUnrecognizedArguments(argc, argv) ? 2 : -1;
}

int BenchmarkRun::Finish() {
    ErrorNotingReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return reporter.Failed() ? 1 : 0;
}
