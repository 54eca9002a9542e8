// lumivex-bridge: carries tracker channels between machines over DDS.
// `send` runs beside the tracking server and publishes its channels; `receive`
// runs beside a viewer and writes them into local channels of the same names.
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include <CLI/CLI.hpp>

#include "bridge/BridgeDomain.h"
#include "bridge/BridgeReceiver.h"
#include "bridge/BridgeSender.h"
#include "platform/Signals.h"
#include "platform/Timing.h"
#include "tools/common/OptionRules.h"

namespace {

constexpr int badOptions = 2;
constexpr uint32_t highestDomain = 232;  // DDS port numbers run out above it

struct Options {
    int instrument = 0;
    std::vector<int> bins{0, 1};
    uint32_t domain = 0;
    int pollMicros = 100;
};

int Fail(const std::string& message) {
    std::fprintf(stderr, "lumivex-bridge: %s\n", message.c_str());
    return 1;
}

uint32_t BinMask(const std::vector<int>& bins) {
    uint32_t mask = 0;
    for (int bin : bins) mask |= 1u << bin;
    return mask;
}

int Send(const Options& options) {
    BridgeDomain domain;
    BridgeSender sender(options.instrument, BinMask(options.bins));
    std::string error;
    if (!domain.Open(options.domain, error) || !sender.Open(domain, error)) return Fail(error);
    // The sender sleeps up to --poll-us at a time and must be reading when a
    // write is due. Should the request fail, it merely wakes a little later.
    (void)platform::WakeUpOnTime();
    std::printf("sending instrument %d on DDS domain %u\n", options.instrument, options.domain);
    std::fflush(stdout);
    if (!sender.Run(platform::StopRequested, std::chrono::microseconds(options.pollMicros), error)) return Fail(error);
    return 0;
}

int Receive(const Options& options) {
    BridgeDomain domain;
    BridgeReceiver receiver;
    std::string error;
    if (!domain.Open(options.domain, error) || !receiver.Open(domain, error)) return Fail(error);
    std::printf("receiving on DDS domain %u\n", options.domain);
    std::fflush(stdout);
    return receiver.Run(platform::StopRequested, error) ? 0 : Fail(error);
}

void AddDomain(CLI::App& command, Options& options) {
    command.add_option("--domain", options.domain, "DDS domain id")->check(CLI::Range(0u, highestDomain));
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    CLI::App app("Carries tracker channels between machines over DDS.", "lumivex-bridge");
    app.require_subcommand(1);
    CLI::App* send = app.add_subcommand("send", "publish this machine's channels of one instrument");
    send->add_option("--instrument", options.instrument, "instrument 0..15 (default 0)")->check(CLI::Range(0, 15));
    send->add_option("--bins", options.bins, "comma-separated bins 0..15 (default 0,1)")
        ->delimiter(',')
        ->check(CLI::Range(0, 15));
    send->add_option("--poll-us", options.pollMicros, "microseconds between reads, 0 to spin (default 100)")
        ->check(CLI::Range(0, 1000000));
    AddDomain(*send, options);
    CLI::App* receive = app.add_subcommand("receive", "write every channel received into this machine's channels");
    AddDomain(*receive, options);
    AddVersionFlag(app, "lumivex-bridge");
    app.set_help_all_flag("--help-all", "print the help of every command and exit");
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& error) {
        int status = app.exit(error);
        return status == 0 ? 0 : badOptions;
    }
    if (!platform::CatchStopRequests()) return Fail("cannot catch SIGINT and SIGTERM");
    return send->parsed() ? Send(options) : Receive(options);
}
