#include "tests/support/ChildProcess.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <thread>

extern char** environ;

namespace testsupport {
namespace {

const Milliseconds PollInterval(10);
const Milliseconds GraceToEnd(1000);

std::string NameOf(const std::string& entry) { return entry.substr(0, entry.find('=')); }

bool Listed(const std::vector<std::string>& names, const std::string& name) {
    for (const std::string& listed : names)
        if (listed == name) return true;
    return false;
}

std::vector<char*> PointerList(const std::vector<std::string>& texts) {
    std::vector<char*> pointers;
    for (const std::string& text : texts) pointers.push_back(const_cast<char*>(text.c_str()));
    pointers.push_back(nullptr);
    return pointers;
}

// Standard input from /dev/null; output and errors into one file, or away.
bool Redirect(posix_spawn_file_actions_t& actions, const std::string& outputPath) {
    const char* target = outputPath.empty() ? "/dev/null" : outputPath.c_str();
    return posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0) == 0 &&
           posix_spawn_file_actions_addopen(&actions, 1, target, O_WRONLY | O_APPEND, 0) == 0 &&
           posix_spawn_file_actions_adddup2(&actions, 1, 2) == 0;
}

}  // namespace

std::vector<std::string> ChildEnvironment(const std::vector<std::string>& added,
                                          const std::vector<std::string>& removed) {
    std::vector<std::string> environment;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        const std::string name = NameOf(*entry);
        bool replaced = false;
        for (const std::string& addition : added) replaced = replaced || NameOf(addition) == name;
        if (!replaced && !Listed(removed, name)) environment.push_back(*entry);
    }
    environment.insert(environment.end(), added.begin(), added.end());
    return environment;
}

std::string ProgramPath(const std::string& name) {
    const char* directory = std::getenv("LUMIVEX_BIN");
    return directory ? std::string(directory) + "/" + name : std::string();
}

ChildProcess::~ChildProcess() { Stop(); }

bool ChildProcess::Start(const Launch& launch) {
    if (Started() || launch.arguments.empty()) return false;
    posix_spawn_file_actions_t actions;
    if (posix_spawn_file_actions_init(&actions) != 0) return false;
    std::vector<char*> arguments = PointerList(launch.arguments);
    std::vector<char*> environment = PointerList(launch.environment);
    pid_t child = -1;
    bool spawned = Redirect(actions, launch.outputPath) &&
                   posix_spawnp(&child, arguments[0], &actions, nullptr, arguments.data(), environment.data()) == 0;
    posix_spawn_file_actions_destroy(&actions);
    if (spawned) id = child;
    return spawned;
}

bool ChildProcess::WaitExit(Milliseconds limit, int& status) {
    if (!Started()) return false;
    const auto deadline = std::chrono::steady_clock::now() + limit;
    for (;;) {
        pid_t ended = waitpid(static_cast<pid_t>(id), &status, WNOHANG);
        if (ended == id) break;
        if (ended == -1 && errno != EINTR) {
            id = -1;  // not our child any more: nothing left to wait for
            return false;
        }
        if (std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(PollInterval);
    }
    id = -1;
    return true;
}

bool ChildProcess::Signal(int number) { return Started() && kill(static_cast<pid_t>(id), number) == 0; }

// utime and stime, fields 14 and 15 of /proc/PID/stat, counted after the
// command in parentheses, which may itself hold spaces.
double CpuSecondsOf(long process) {
    std::ifstream stat("/proc/" + std::to_string(process) + "/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    std::size_t end = text.rfind(')');
    if (process <= 0 || end == std::string::npos) return 0.0;
    std::istringstream fields(text.substr(end + 2));
    std::string skipped;
    for (int field = 3; field < 14; ++field) fields >> skipped;
    double user = 0, system = 0;
    fields >> user >> system;
    return (user + system) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

double ChildProcess::CpuSeconds() const { return Started() ? CpuSecondsOf(static_cast<long>(id)) : 0.0; }

unsigned long ChildProcess::Id() const { return static_cast<unsigned long>(id); }

void ChildProcess::Stop() {
    if (!Started()) return;
    int status = 0;
    if (kill(static_cast<pid_t>(id), SIGTERM) == 0 && WaitExit(GraceToEnd, status)) return;
    if (kill(static_cast<pid_t>(id), SIGKILL) != 0) {
        id = -1;
        return;
    }
    WaitExit(GraceToEnd, status);
    id = -1;
}

int ExitStatusOf(int status) { return WIFEXITED(status) ? WEXITSTATUS(status) : -1; }

std::string DescribeStatus(int status) {
    if (WIFEXITED(status)) return "exit " + std::to_string(WEXITSTATUS(status));
    if (WIFSIGNALED(status))
        return "signal " + std::to_string(WTERMSIG(status)) + " (" + strsignal(WTERMSIG(status)) + ")";
    return "status " + std::to_string(status);
}

}  // namespace testsupport
