#include "tests/support/ChildProcess.h"

#include <windows.h>

#include <csignal>
#include <cstdlib>
#include <cstring>

namespace testsupport {
namespace {

const Milliseconds GraceToEnd(1000);

HANDLE HandleOf(std::intptr_t id) { return reinterpret_cast<HANDLE>(id); }

std::string NameOf(const std::string& entry) { return entry.substr(0, entry.find('=')); }

// The quoting the C runtime undoes when it splits a command line: quotes
// around every argument, backslashes doubled only before a quote.
std::string Quoted(const std::string& argument) {
    std::string quoted = "\"";
    std::size_t backslashes = 0;
    for (char c : argument) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        quoted.append(c == '"' ? backslashes * 2 + 1 : backslashes, '\\').push_back(c);
        backslashes = 0;
    }
    return quoted.append(backslashes * 2, '\\') + "\"";
}

std::string CommandLine(const std::vector<std::string>& arguments) {
    std::string line;
    for (const std::string& argument : arguments) line += (line.empty() ? "" : " ") + Quoted(argument);
    return line;
}

// Variables separated by NULs, ended by one more.
std::string EnvironmentBlock(const std::vector<std::string>& environment) {
    std::string block;
    for (const std::string& entry : environment) block.append(entry).push_back('\0');
    block.push_back('\0');
    return block;
}

HANDLE Inheritable(const char* path, DWORD access, DWORD disposition) {
    SECURITY_ATTRIBUTES attributes{sizeof attributes, nullptr, TRUE};
    return CreateFileA(path, access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, &attributes, disposition,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
}

}  // namespace

std::vector<std::string> ChildEnvironment(const std::vector<std::string>& added,
                                          const std::vector<std::string>& removed) {
    std::vector<std::string> environment;
    char* block = GetEnvironmentStringsA();
    for (const char* entry = block; entry && *entry; entry += std::strlen(entry) + 1) {
        const std::string name = NameOf(entry);
        bool dropped = name.empty();
        for (const std::string& addition : added) dropped = dropped || NameOf(addition) == name;
        for (const std::string& gone : removed) dropped = dropped || gone == name;
        if (!dropped) environment.push_back(entry);
    }
    FreeEnvironmentStringsA(block);
    environment.insert(environment.end(), added.begin(), added.end());
    return environment;
}

std::string ProgramPath(const std::string& name) {
    const char* directory = std::getenv("LUMIVEX_BIN");
    return directory ? std::string(directory) + "/" + name + ".exe" : std::string();
}

ChildProcess::~ChildProcess() { Stop(); }

// Standard input from NUL; output and errors into one file, or away.
bool ChildProcess::Start(const Launch& launch) {
    if (Started() || launch.arguments.empty()) return false;
    const char* target = launch.outputPath.empty() ? "NUL" : launch.outputPath.c_str();
    HANDLE input = Inheritable("NUL", GENERIC_READ, OPEN_EXISTING);
    HANDLE output = Inheritable(target, FILE_APPEND_DATA, OPEN_ALWAYS);
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = input;
    startup.hStdOutput = startup.hStdError = output;
    PROCESS_INFORMATION created{};
    std::string line = CommandLine(launch.arguments);
    std::string environment = EnvironmentBlock(launch.environment);
    bool started = input != INVALID_HANDLE_VALUE && output != INVALID_HANDLE_VALUE &&
                   CreateProcessA(nullptr, line.data(), nullptr, nullptr, TRUE, CREATE_NEW_PROCESS_GROUP,
                                  environment.data(), nullptr, &startup, &created);
    if (input != INVALID_HANDLE_VALUE) CloseHandle(input);
    if (output != INVALID_HANDLE_VALUE) CloseHandle(output);
    if (!started) return false;
    CloseHandle(created.hThread);
    id = reinterpret_cast<std::intptr_t>(created.hProcess);
    return true;
}

bool ChildProcess::WaitExit(Milliseconds limit, int& status) {
    if (!Started()) return false;
    if (WaitForSingleObject(HandleOf(id), static_cast<DWORD>(limit.count())) != WAIT_OBJECT_0) return false;
    DWORD code = 0;
    GetExitCodeProcess(HandleOf(id), &code);
    status = static_cast<int>(code);
    CloseHandle(HandleOf(id));
    id = -1;
    return true;
}

// SIGINT is Ctrl-Break to the child's own process group (Ctrl-C cannot be sent
// to a group); every other signal ends the process at once, with the signal's
// number as its exit code.
bool ChildProcess::Signal(int number) {
    if (!Started()) return false;
    if (number == SIGINT) return GenerateConsoleCtrlEvent(CTRL_BREAK_EVENT, GetProcessId(HandleOf(id))) != 0;
    return TerminateProcess(HandleOf(id), static_cast<UINT>(number)) != 0;
}

double ChildProcess::CpuSeconds() const {
    FILETIME created{}, ended{}, kernel{}, user{};
    if (!Started() || !GetProcessTimes(HandleOf(id), &created, &ended, &kernel, &user)) return 0.0;
    auto ticks = [](const FILETIME& time) {
        return (static_cast<unsigned long long>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
    };
    return static_cast<double>(ticks(kernel) + ticks(user)) / 1e7;  // 100 ns ticks
}

unsigned long ChildProcess::Id() const { return Started() ? GetProcessId(HandleOf(id)) : 0; }

void ChildProcess::Stop() {
    if (!Started()) return;
    int status = 0;
    TerminateProcess(HandleOf(id), 1);
    WaitExit(GraceToEnd, status);
}

int ExitStatusOf(int status) { return status; }

std::string DescribeStatus(int status) { return "exit " + std::to_string(status); }

}  // namespace testsupport
