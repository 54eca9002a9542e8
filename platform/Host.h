#pragma once

#include <string>

// The machine a program runs on.
namespace platform {

// The host's name; empty when the system does not tell it.
std::string HostName();

// This process's id, for messages.
unsigned ProcessId();

}  // namespace platform
