#include "platform/TerminalScreen.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <cstdio>

#include "platform/ScreenText.h"

namespace platform {

bool ShowScreen(const std::string& text) {
    int columns = 0, rows = 0;
    if (!ScreenSize(columns, rows)) rows = 0;
    std::string screen = ScreenSequence(text, rows);
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
