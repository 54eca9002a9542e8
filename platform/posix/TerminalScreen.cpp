#include "platform/TerminalScreen.h"

#include <cstdio>

namespace platform {
namespace {

const char* const cursorHome = "\033[H";
const char* const clearToLineEnd = "\033[K";
const char* const clearToScreenEnd = "\033[J";

}  // namespace

// Every line is overwritten and its rest cleared, rather than the whole screen
// cleared first, so the redraw does not flicker.
bool ShowScreen(const std::string& text) {
    std::string screen = cursorHome;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        screen.append(text, start, end - start).append(clearToLineEnd).append("\n");
        start = end + 1;
    }
    screen += clearToScreenEnd;
    return std::fwrite(screen.data(), 1, screen.size(), stdout) == screen.size() && std::fflush(stdout) == 0;
}

}  // namespace platform
