#pragma once

#include <string>

// The machine a program runs on, and the program itself.
namespace platform {

// The host's name; empty when the system does not tell it.
std::string HostName();

// The name the program was started by, without its folder (and, on Windows,
// without ".exe"), for messages.
const char* ProgramName();

// This process's id, for messages.
unsigned ProcessId();

// Files this process creates from now on without naming their permissions
// (those a library writes) are its user's only.
void KeepNewFilesPrivate();

}  // namespace platform
