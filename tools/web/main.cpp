// lumivex-web: serves a live view of the tracking server's channels to web
// browsers. It reads the channels read-only, as the monitor does, and sends
// every connected page the newest state at most 60 times a second.
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "channel/ChannelMonitor.h"
#include "platform/Signals.h"
#include "platform/Timing.h"
#include "text/Warning.h"
#include "tools/common/RunCommandLine.h"
#include "tools/web/WebOptions.h"
#include "web/StateJson.h"
#include "web/WebServer.h"

namespace {

// A page draws at most about this often, so more states would only queue.
constexpr std::chrono::microseconds statePeriod(1000000 / 60);
// Sleeps end at least this often, so that a stop request is seen soon.
constexpr std::chrono::milliseconds longestSleep(50);

WebSettings SettingsOf(const WebOptions& options, const std::string& token) {
    WebSettings settings;
    settings.address = options.listen.host;
    settings.port = options.listen.port;
    settings.certificate = options.certificate;
    settings.key = options.key;
    settings.token = token;
    return settings;
}

// The token stays out of what is printed, which may well end up in a log.
std::string Announcement(const WebServer& server, const WebOptions& options) {
    std::string token = options.tokenFile.empty() ? "" : " (add ?token= and the token in " + options.tokenFile + ")";
    return "serving " + server.Address() + token + " on port " + std::to_string(server.Port()) + "\n";
}

void Serve(ChannelMonitor& monitor, WebServer& server) {
    std::vector<MonitorEvent> events;
    MonitorClock::time_point nextState = MonitorClock::now();
    while (!platform::StopRequested()) {
        events.clear();
        MonitorClock::time_point now = MonitorClock::now();
        monitor.Poll(now, events);
        if (now >= nextState) {
            nextState = now + statePeriod;
            if (server.Pages() > 0) server.Publish(StateJson(monitor, now));
        }
        monitor.SleepUntilNextPoll(std::min(nextState, MonitorClock::now() + longestSleep));
    }
}

}  // namespace

int main(int argc, char** argv) {
    WebOptions options;
    CommandLineOutcome outcome = RunCommandLine(*WebCommandLine(options), argc, argv);
    if (!outcome.run) return outcome.status;
    std::string problem, token;
    if (!options.tokenFile.empty() && (token = ReadToken(options.tokenFile, problem)).empty())
        return PrintError(problem);
    if (!platform::CatchStopRequests()) return PrintError("cannot catch SIGINT, SIGTERM and SIGHUP");
    WebServer server(SettingsOf(options, token));
    if (!server.Start()) return PrintError(server.Failure());
    std::fputs(Announcement(server, options).c_str(), stdout);
    std::fflush(stdout);
    ChannelMonitor monitor(options.instrument, options.bins, options.stations);
    // Reads are timed to the microsecond around a foreseen write; should the
    // request fail, they merely wake a little later.
    (void)platform::WakeUpOnTime();
    Serve(monitor, server);
    return 0;
}
