#pragma once

#include <string>

// Shared libraries that a program loads by name while it runs (DDS Security
// plugins), and where they are.
namespace platform {

// The file name of the library `name` ("libNAME.so", "NAME.dll").
std::string LibraryFileName(const std::string& name);
// The folder of the running program's executable.
std::string ProgramFolder();
// Whether the library at `path` loads, with all it needs; otherwise the
// system's reason, in words.
bool LibraryLoads(const std::string& path, std::string& reason);
// Whether the library `name` is loaded into this process now.
bool LibraryLoaded(const std::string& name);

}  // namespace platform
