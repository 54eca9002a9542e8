// The test publisher's options: argument lists of any shape through the
// parser its main runs.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>

#include "fuzz/FuzzArguments.h"
#include "fuzz/FuzzCheck.h"
#include "tools/publisher/PublisherOptions.h"

namespace {

// What the publisher's loop relies on once the options are accepted.
void CheckAccepted(const PublisherOptions& options) {
    FUZZ_CHECK(options.instrument >= 0 && options.instrument <= 15);
    FUZZ_CHECK(options.bins != 0 && options.bins <= 0xFFFFu);
    FUZZ_CHECK(options.description.size() <= station_layout::maxDescriptionLength);
    FUZZ_CHECK(std::isfinite(options.rate) && options.rate >= 0.0);
    FUZZ_CHECK(std::isfinite(options.duration) && options.duration >= 0.0);
    FUZZ_CHECK(options.mode <= 0777u);
    FUZZ_CHECK(options.holdLockMs >= 0 && options.crashAfter >= 0);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // Whatever the parser prints would drown the fuzzer's own output.
    return std::freopen("/dev/null", "w", stdout) ? 0 : 1;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    FuzzArguments arguments("lumivex-publisher", data, size);
    PublisherOptions options;
    std::string error;
    const ParseOutcome outcome = ParseOptions(arguments.Count(), arguments.Vector(), options, error);
    if (outcome == ParseOutcome::Error) FUZZ_CHECK(!error.empty());
    if (outcome == ParseOutcome::Run) CheckAccepted(options);
    return 0;
}
