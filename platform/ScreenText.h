#pragma once

#include <string>

// The terminal sequences that redraw a screen in place, for every console that
// understands them (Linux terminals, and Windows consoles with virtual-terminal
// processing). Builds text only; platform/TerminalScreen writes it.
namespace platform {

// The sequences that replace a screen of `rows` rows (0: not known) with
// `text` (lines separated by '\n').
std::string ScreenSequence(const std::string& text, int rows);

}  // namespace platform
