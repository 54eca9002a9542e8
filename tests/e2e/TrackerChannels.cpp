#include "tests/e2e/TrackerChannels.h"

#include <unistd.h>

namespace e2e {
namespace {

const char* const Bins = "0,1";
const Milliseconds PublisherLimit(5000);

std::string UniquePrefix() {
    static int count = 0;
    return "lumivex-e2e-" + std::to_string(getpid()) + "-" + std::to_string(++count) + "-";
}

}  // namespace

TrackerChannels::TrackerChannels() : prefixSetting("LUMIVEX_SHM_PREFIX=" + UniquePrefix()) {}

bool TrackerChannels::Unlink() {
    Outcome removal = RunToEnd(Arguments({"--unlink"}), ChildEnvironment({prefixSetting}), PublisherLimit);
    return removal.finished && removal.status == 0;
}

bool TrackerChannels::Publish(const std::vector<std::string>& options) {
    std::vector<std::string> once = options;
    once.push_back("--once");
    Outcome first = RunToEnd(Arguments(once), ChildEnvironment({prefixSetting}), PublisherLimit);
    return first.finished && first.status == 0 && StartPublisher(options);
}

bool TrackerChannels::StartPublisher(const std::vector<std::string>& options) {
    return publisher.Start({Arguments(options), ChildEnvironment({prefixSetting}), ""});
}

std::vector<std::string> TrackerChannels::Arguments(std::vector<std::string> options) const {
    options.insert(options.begin(), {ProgramPath("lumivex-publisher"), "--bins", Bins});
    return options;
}

}  // namespace e2e
