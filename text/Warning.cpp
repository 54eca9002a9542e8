#include "text/Warning.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <map>
#include <mutex>

#include "platform/Host.h"

namespace {

constexpr std::chrono::seconds warningInterval{5};

struct KindState {
    std::chrono::steady_clock::time_point next{};
    long heldBack = 0;
};

std::atomic<WarningSink> warningSink{nullptr};

}  // namespace

void RedirectWarnings(WarningSink sink) { warningSink = sink; }

void PrintWarning(const std::string& subject, const std::string& reason) {
    if (WarningSink sink = warningSink) return sink(subject, reason);
    std::fprintf(stderr, "%s: warning: %s: %s\n", platform::ProgramName(), subject.c_str(), reason.c_str());
}

void PrintNotice(const std::string& what) { std::fprintf(stderr, "%s: %s\n", platform::ProgramName(), what.c_str()); }

int PrintError(const std::string& what, int status) {
    PrintNotice(what);
    return status;
}

void PrintLimitedWarning(const std::string& kind, const std::string& subject, const std::string& reason) {
    static std::mutex guard;
    static std::map<std::string, KindState> kinds;
    std::lock_guard<std::mutex> lock(guard);
    KindState& state = kinds[kind];
    auto now = std::chrono::steady_clock::now();
    if (now < state.next) {
        ++state.heldBack;
        return;
    }
    std::string count = state.heldBack ? " (" + std::to_string(state.heldBack) + " more like it held back)" : "";
    PrintWarning(subject, reason + count);
    state = KindState{now + warningInterval, 0};
}
