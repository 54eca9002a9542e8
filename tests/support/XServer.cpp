#include "tests/support/XServer.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <cctype>
#include <cstdlib>

namespace testsupport {
namespace {

const int StartLimitMs = 10000;

// A pipe whose reading end stays in this process; the writing end is
// inherited by the server, which writes its display number into it.
bool MakeDisplayPipe(int (&ends)[2]) {
    if (pipe(ends) != 0) return false;
    if (fcntl(ends[0], F_SETFD, FD_CLOEXEC) == 0) return true;
    close(ends[0]);
    close(ends[1]);
    return false;
}

}  // namespace

bool XServer::Start(const std::vector<std::string>& options, LastClientLeaving lastClientLeaving) {
    int ends[2];
    if (!MakeDisplayPipe(ends)) return false;
    Launch launch{{"Xvfb", "-displayfd", std::to_string(ends[1]), "-nolisten", "tcp", "-screen", "0", "1280x1024x24"},
                  ChildEnvironment({}),
                  ""};
    if (lastClientLeaving == LastClientLeaving::KeepState) launch.arguments.push_back("-noreset");
    launch.arguments.insert(launch.arguments.end(), options.begin(), options.end());
    bool started = server.Start(launch);
    close(ends[1]);
    bool reported = started && ReadDisplayNumber(ends[0]);
    close(ends[0]);
    if (!reported) server.Stop();
    return reported;
}

// The server writes the number followed by a line feed once it accepts
// clients.
bool XServer::ReadDisplayNumber(int descriptor) {
    std::string number;
    pollfd request{descriptor, POLLIN, 0};
    char c = 0;
    while (poll(&request, 1, StartLimitMs) == 1 && read(descriptor, &c, 1) == 1) {
        if (c == '\n') break;
        if (!std::isdigit(static_cast<unsigned char>(c))) return false;
        number += c;
    }
    if (c != '\n' || number.empty()) return false;
    display = ":" + number;
    return true;
}

bool UsePrivateDisplay() {
    static XServer server;
    if (!server.Display().empty()) return true;
    if (!server.Start()) return false;
    return setenv("DISPLAY", server.Display().c_str(), 1) == 0;
}

}  // namespace testsupport
