#pragma once

#include <string>

// A terminal on standard output used as one screen that a program redraws in
// place. Use it only when platform::SystemConsole().OutputHandle() says that
// standard output is a terminal.
namespace platform {

// Replaces what the previous call showed with `text` (lines separated by
// '\n'), starting at the top left corner.
bool ShowScreen(const std::string& text);

}  // namespace platform
