#pragma once

#include <cstdio>
#include <string>

#include <CLI/CLI.hpp>

// Every tool that makes a file for its user (a recording, a picture) makes
// it under one rule: a name that exists is refused unless --force asks to
// replace it, so that a slip of the command line never loses a recording;
// and a symbolic link at the name is refused even then, so that one planted
// in a shared folder cannot make the tool overwrite another user's file.

// Adds --force, which lets `what` ("the recording") replace a file that exists.
CLI::Option* AddForceFlag(CLI::App& app, bool& force, const std::string& what);

// Opens `path` to write under the rule: a descriptor of the C library, or -1
// once it has said why; `status` is then the exit status: 2 when the name was
// refused, 1 when the system failed.
int OpenOutput(const std::string& path, bool force, int& status);
// The same as a stdio stream.
std::FILE* OpenOutputStream(const std::string& path, bool force, int& status);
