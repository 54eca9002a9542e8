#pragma once

#include <windows.h>

#include <string>

namespace platform::win32 {

// The system's words for an error code, without the closing full stop.
std::string SystemText(DWORD error);

}  // namespace platform::win32
