#include "tools/publisher/StartLine.h"

#include <cstdio>

#include "platform/SharedMemory.h"
#include "text/NumberList.h"
#include "tools/publisher/Motion.h"
#include "text/ConsoleText.h"

namespace {

std::string Number(const char* format, double value) {
    char text[64];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

// The prefix decides which objects a reader meets, so it is always named.
std::string Prefix() {
    const std::string prefix = platform::SharedObjectName("");
    return prefix.empty() ? "no prefix" : "prefix \"" + ConsoleText(prefix) + "\"";
}

const char* MotionOf(const PublisherOptions& options) {
    for (const auto& entry : motionNames)
        if (entry.motion == options.motion) return entry.name;
    return "?";
}

std::string Pace(const PublisherOptions& options) {
    if (options.once) return "once";
    std::string pace = options.rate > 0.0 ? Number("%g writes/s", options.rate) : "as fast as it can";
    return options.duration > 0.0 ? pace + Number(" for %g s", options.duration) : pace;
}

std::string ReplayLine(const PublisherOptions& options) {
    std::string file = options.replay == "-" ? "standard input" : ConsoleText(options.replay);
    std::string line = "replaying " + file + " (instruments " + DescribeNumberList(options.replayInstruments) +
                       " bins " + DescribeNumberList(options.replayBins) + ")";
    if (options.asInstrument >= 0) line += " as instrument " + std::to_string(options.asInstrument);
    line += Number(" at %g times its pace", options.speed);
    return line + (options.loop ? ", looped, " : ", ") + Prefix();
}

}  // namespace

std::string StartLine(const PublisherOptions& options) {
    if (!options.replay.empty()) return ReplayLine(options);
    return "publishing instrument " + std::to_string(options.instrument) + " bins " + DescribeNumberList(options.bins) +
           ", " + MotionOf(options) + " motion, " + Pace(options) + ", " + Prefix();
}

std::string EndLine(uint64_t writes, double seconds) {
    return std::to_string(writes) + (writes == 1 ? " write" : " writes") + Number(" in %.2f s", seconds);
}
