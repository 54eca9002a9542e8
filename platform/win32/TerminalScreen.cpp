#include "platform/TerminalScreen.h"

#include <windows.h>

#include <cstdio>

#include "platform/ScreenText.h"

namespace platform {
namespace {

HANDLE Output() { return GetStdHandle(STD_OUTPUT_HANDLE); }

// Consoles since Windows 10 understand the terminal sequences once asked to.
bool UnderstandsSequences() {
    static const bool understands = [] {
        DWORD mode = 0;
        return GetConsoleMode(Output(), &mode) && SetConsoleMode(Output(), mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING);
    }();
    return understands;
}

bool WriteAt(SHORT row, const std::string& line, SHORT width) {
    DWORD written = 0;
    COORD start{0, row};
    return FillConsoleOutputCharacterA(Output(), ' ', static_cast<DWORD>(width), start, &written) &&
           WriteConsoleOutputCharacterA(Output(), line.data(), static_cast<DWORD>(line.size()), start, &written);
}

// Older consoles: each row of the visible window is written in place through
// the console API, and the rows below the text are blanked.
bool ShowThroughConsole(const std::string& text) {
    CONSOLE_SCREEN_BUFFER_INFO info{};
    if (!GetConsoleScreenBufferInfo(Output(), &info)) return false;
    SHORT width = info.dwSize.X;
    SHORT row = info.srWindow.Top;
    bool written = true;
    for (std::size_t start = 0; start <= text.size() && row <= info.srWindow.Bottom; ++row) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        written = WriteAt(row, text.substr(start, std::min<std::size_t>(end - start, width)), width) && written;
        start = end + 1;
    }
    for (; row <= info.srWindow.Bottom; ++row) written = WriteAt(row, "", width) && written;
    return written;
}

}  // namespace

bool ShowScreen(const std::string& text) {
    std::fflush(stdout);
    if (!UnderstandsSequences()) return ShowThroughConsole(text);
    int columns = 0, rows = 0;
    if (!ScreenSize(columns, rows)) rows = 0;
    std::string screen = ScreenSequence(text, rows);
    return std::fwrite(screen.data(), 1, screen.size(), stdout) == screen.size() && std::fflush(stdout) == 0;
}

bool ScreenSize(int& columns, int& rows) {
    CONSOLE_SCREEN_BUFFER_INFO info{};
    if (!GetConsoleScreenBufferInfo(Output(), &info)) return false;
    columns = info.srWindow.Right - info.srWindow.Left + 1;
    rows = info.srWindow.Bottom - info.srWindow.Top + 1;
    return columns > 0 && rows > 0;
}

}  // namespace platform
