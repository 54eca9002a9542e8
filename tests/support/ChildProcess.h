#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

namespace testsupport {

using Milliseconds = std::chrono::milliseconds;

// What to start: the program (looked up in PATH when it has no slash), its
// arguments, its whole environment and the file that receives both its
// standard output and its standard error ("" discards them). Standard input
// is /dev/null.
struct Launch {
    std::vector<std::string> arguments;
    std::vector<std::string> environment;
    std::string outputPath;
};

// The environment of this process with `removed` names left out and the
// NAME=value entries of `added` put in their place.
std::vector<std::string> ChildEnvironment(const std::vector<std::string>& added,
                                          const std::vector<std::string>& removed = {});

// The path of a program built into LUMIVEX_BIN, or "" when that is not set.
std::string ProgramPath(const std::string& name);

// One child process. It is ended (TERM, then KILL) when the object goes, so
// no test leaves a process behind, whichever way it fails.
class ChildProcess {
public:
    ChildProcess() = default;
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    bool Start(const Launch& launch);
    bool Started() const { return id > 0; }
    // Seconds of CPU the running process has used so far.
    double CpuSeconds() const;
    // The process's number, as the system's tools show it.
    unsigned long Id() const;

    // Waits at most `limit` for the end; true, with the raw wait status, when
    // the process ended in time.
    bool WaitExit(Milliseconds limit, int& status);

    // Sends the signal `number`; false when there is no process to send it to.
    bool Signal(int number);

    // Asks the process to end, and kills it if it does not within a second.
    void Stop();

private:
    std::intptr_t id = -1;  // the process: its id on Linux, its handle on Windows
};

// Seconds of CPU the process `process` has used so far (Linux only); 0 when
// it cannot be read.
double CpuSecondsOf(long process);

// Result of a program run to its end.
struct Outcome {
    bool finished = false;  // false: it did not end within the limit and was killed
    int status = 0;         // raw wait status
    std::string output;     // standard output and standard error
};

Outcome RunToEnd(const std::vector<std::string>& arguments, const std::vector<std::string>& environment,
                 Milliseconds limit);

// The exit status of a process that ended by itself; -1 when a signal ended it.
int ExitStatusOf(int status);

// "exit N" or "signal N", for failure messages.
std::string DescribeStatus(int status);

}  // namespace testsupport
