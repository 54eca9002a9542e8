#pragma once

#include <string>

// A text from outside (a tracker description a server wrote) made safe to
// print on a terminal: every control character, and every byte that is not
// part of well-formed UTF-8, becomes \xHH (two lower-case hex digits), so the
// text can neither move the cursor, retitle or clear the terminal, nor start
// a line of its own. The line and paragraph separators (U+2028, U+2029) and
// the bidirectional controls (U+061C, U+200E, U+200F, U+202A..U+202E,
// U+2066..U+2069) are escaped too, byte by byte, so that no text can make the
// terminal show it in another order. Printable ASCII and other UTF-8 (the C1 controls excepted) pass
// unchanged.
std::string ConsoleText(const std::string& text);
