#include "platform/TerminalScreen.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <cstdio>

namespace platform {
namespace {

const char* const clearLine = "\033[2K";
const char* const clearToScreenEnd = "\033[J";

std::string MoveToRow(int row) { return "\033[" + std::to_string(row) + ";1H"; }

}  // namespace

// Each line is cleared just before it is written, in the same write, rather
// than the whole screen cleared first, so the redraw does not flicker. The
// cursor is placed at each line's start rather than moved by line feeds: a
// line feed on the bottom row would scroll the screen, and a clear behind a
// line that fills its row would erase its last character.
bool ShowScreen(const std::string& text) {
    std::string screen;
    int row = 0;
    for (std::size_t start = 0; start < text.size();) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        screen.append(MoveToRow(++row)).append(clearLine).append(text, start, end - start);
        start = end + 1;
    }
    int columns = 0, rows = 0;
    if (!ScreenSize(columns, rows) || row < rows) screen.append(MoveToRow(row + 1)).append(clearToScreenEnd);
    return std::fwrite(screen.data(), 1, screen.size(), stdout) == screen.size() && std::fflush(stdout) == 0;
}

bool ScreenSize(int& columns, int& rows) {
    winsize size{};
    if (ioctl(STDOUT_FILENO, TIOCGWINSZ, &size) != 0 || size.ws_col == 0 || size.ws_row == 0) return false;
    columns = size.ws_col;
    rows = size.ws_row;
    return true;
}

}  // namespace platform
