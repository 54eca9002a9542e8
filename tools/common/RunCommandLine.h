#pragma once

#include <functional>
#include <string>

#include <CLI/CLI.hpp>

// What a tool's command line asks for: run, or exit at once with `status`
// (help or version answered, or the command line refused).
struct CommandLineOutcome {
    bool run = true;
    int status = 0;

    static CommandLineOutcome Run() { return {true, 0}; }
    static CommandLineOutcome Exit(int status) { return {false, status}; }
};

// The one way every tool reads its command line. It answers --help,
// --help-all and --version on standard output (status 0, or 1 when that
// output cannot be written) and a refused command line with the error line of
// the program and a pointer to --help on standard error (status 2).
CommandLineOutcome RunCommandLine(CLI::App& app, int argc, const char* const* argv);

// A rule about the options together, checked after every option was read and
// reported like a refused value: `check` returns what is wrong, or "".
void CheckTogether(CLI::App& app, std::function<std::string()> check);
