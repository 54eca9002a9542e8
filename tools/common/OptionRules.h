#pragma once

#include <string>

#include <CLI/CLI.hpp>

// Rules every tool's command line follows.

// Refuses every option value that starts with "--" ("--csv --once" must not
// record into a file named "--once"). Call after all options are added.
void RefuseOptionLikeValues(CLI::App& app);
// Adds --version, answering "<program> <version>".
void AddVersionFlag(CLI::App& app, const std::string& program);
// Adds --help-all, the help of every command at every level (what the manual
// page of a program with commands is made from). Call after all commands are added.
void AddHelpAllFlag(CLI::App& app);

enum class CommandLineOutcome { Run, Help, Error };
// Parses the command line; prints nothing. On Help `message` is the help or
// version text to print (then exit 0), on Error what is wrong.
CommandLineOutcome ParseCommandLine(CLI::App& app, int argc, const char* const* argv, std::string& message);
