#pragma once

#include <string>

// A text from outside (a tracker description a server wrote) made safe to
// print on a terminal: every control character, and every byte that is not
// part of well-formed UTF-8, becomes \xHH (two lower-case hex digits), so the
// text can neither move the cursor, retitle or clear the terminal, nor start
// a line of its own. Printable ASCII and UTF-8 other than the C1 controls
// pass unchanged.
std::string ConsoleText(const std::string& text);
