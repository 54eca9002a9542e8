#pragma once

#include <string>

// A terminal on standard output used as one screen that a program redraws in
// place. Use it only when platform::SystemConsole().OutputHandle() says that
// standard output is a terminal.
namespace platform {

// Replaces what the previous call showed with `text` (lines separated by
// '\n'), starting at the top left corner. Text that is wider or taller than
// the terminal wraps or scrolls: fit it to ScreenSize first.
bool ShowScreen(const std::string& text);

// The terminal's size in character cells; false when it cannot be told.
bool ScreenSize(int& columns, int& rows);

}  // namespace platform
